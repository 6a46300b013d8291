# BoardConfigPkg, the EDK2 package a platform team adds to its tree
# (build/efi/BoardConfigPkg/, and build/efi/BoardConfigPkg.tar.gz): its DEC,
# the board service's header as Include/Protocol/BoardService.h, the driver
# as a binary module (INF, image, dependency expression), the lines for the
# platform's DSC and FDF with the rule its firmware file is made by, a sample
# consumer in C, the README's integration section, and SHA256SUMS.
#
# The texts come from integration/; every GUID from its one place: the file
# GUID, package GUID and version from cmake/firmware.cmake, the board
# service's from driver/board_service.h, the consumed services' from
# platform/guids.h.

# boardcfg_guid_from_source(<out> <file> <name>): the GUID that <name> stands
# for in <file> (a C initializer of 11 numbers after the name), as a DEC
# writes it: { 0x..., 0x..., 0x..., { 0x.., ... }}.
function(boardcfg_guid_from_source out file name)
  file(READ ${file} text)
  string(REGEX MATCH "${name}[^{]*({[^;]*})" found "${text}")
  if(NOT found)
    message(FATAL_ERROR "${file}: no GUID initializer after ${name}")
  endif()
  string(REGEX MATCHALL "0x[0-9A-Fa-f]+" numbers "${CMAKE_MATCH_1}")
  list(LENGTH numbers count)
  if(NOT count EQUAL 11)
    message(FATAL_ERROR "${file}: ${name}'s initializer has ${count} numbers, not 11")
  endif()
  list(SUBLIST numbers 0 3 head)
  list(SUBLIST numbers 3 8 tail)
  list(JOIN head ", " head)
  list(JOIN tail ", " tail)
  set(${out} "{ ${head}, { ${tail} }}" PARENT_SCOPE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
endfunction()

boardcfg_guid_from_source(BOARDCFG_BOARD_SERVICE_GUID
  ${PROJECT_SOURCE_DIR}/driver/board_service.h "#define BOARD_SERVICE_PROTOCOL_GUID")
boardcfg_guid_from_source(BOARDCFG_SMBIOS_RECORD_SERVICE_GUID
  ${PROJECT_SOURCE_DIR}/platform/guids.h kSmbiosRecordServiceGuid)
boardcfg_guid_from_source(BOARDCFG_SETUP_STRING_SERVICE_GUID
  ${PROJECT_SOURCE_DIR}/platform/guids.h kSetupStringServiceGuid)

# The package's texts, made at configure time into a staging folder that
# the packing step copies beside the image.
set(templates ${PROJECT_SOURCE_DIR}/integration)
set(staging ${CMAKE_BINARY_DIR}/package-staging/BoardConfigPkg)
file(REMOVE_RECURSE ${staging})
file(GLOB_RECURSE templateFiles RELATIVE ${templates} CONFIGURE_DEPENDS ${templates}/*)
foreach(template IN LISTS templateFiles)
  string(REGEX REPLACE "\\.in$" "" target ${template})
  if(template MATCHES "\\.in$")
    configure_file(${templates}/${template} ${staging}/${target} @ONLY)
  else()
    configure_file(${templates}/${template} ${staging}/${target} COPYONLY)
  endif()
endforeach()

# The public header, relying there on the platform's own Uefi.h.
set(publicHeader ${PROJECT_SOURCE_DIR}/driver/board_service.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${publicHeader})
file(READ ${publicHeader} header)
string(REPLACE "#include \"platform/uefi.h\"\n\n" "" header "${header}")
file(WRITE ${staging}/Include/Protocol/BoardService.h "${header}")

# The README's section on adding the driver to a platform, as the package's
# own README.
set(readme ${PROJECT_SOURCE_DIR}/README.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${readme})
file(READ ${readme} readmeText)
string(REGEX MATCH "<!-- package-readme: begin -->\n(.*)<!-- package-readme: end -->"
       section "${readmeText}")
if(NOT section)
  message(FATAL_ERROR "README.md lacks the package-readme markers around its integration section")
endif()
file(WRITE ${staging}/README.md "# BoardConfigPkg\n\n${CMAKE_MATCH_1}")

set(BOARDCFG_PACKAGE ${CMAKE_BINARY_DIR}/BoardConfigPkg)
set(BOARDCFG_PACKAGE_ARCHIVE ${CMAKE_BINARY_DIR}/BoardConfigPkg.tar.gz)
file(GLOB_RECURSE stagedFiles ${staging}/*)
add_custom_command(
  OUTPUT ${BOARDCFG_PACKAGE_ARCHIVE}
  COMMAND ${CMAKE_COMMAND} -DSTAGING=${staging} -DOUTPUT=${BOARDCFG_PACKAGE}
          -DARCHIVE=${BOARDCFG_PACKAGE_ARCHIVE}
          "-DMODULE_FILES=BoardConfigDxe/$<TARGET_FILE_NAME:BoardConfigDxe>=$<TARGET_FILE:BoardConfigDxe>;BoardConfigDxe/BoardConfigDxe.depex=${CMAKE_BINARY_DIR}/BoardConfigDxe.depex"
          -P ${PROJECT_SOURCE_DIR}/cmake/pack-edk2-package.cmake
  DEPENDS BoardConfigDxe BoardConfigDxeFile ${CMAKE_BINARY_DIR}/BoardConfigDxe.depex
          ${stagedFiles} ${PROJECT_SOURCE_DIR}/cmake/pack-edk2-package.cmake
  COMMENT "EDK2 package BoardConfigPkg and BoardConfigPkg.tar.gz"
  VERBATIM)
add_custom_target(BoardConfigPkg ALL DEPENDS ${BOARDCFG_PACKAGE_ARCHIVE})
