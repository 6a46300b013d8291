# The shipped firmware file: BoardConfigDxe.ffs, a DXE driver file holding
# the dependency expression, the image byte for byte and its name, built
# with EDK2's own GenDepex, GenSec and GenFfs (tools/ensure-basetools.sh).
# The dependency expression is written here once, the file GUID once in
# cmake/firmware.cmake; the integration files a platform adds
# (integration/*.in) are made from them. boardcfg_firmware_file, below,
# makes the file; the firmware stage's companion is made the same way
# (firmware-tests/CMakeLists.txt).
# The entry needs only the DXE core's own services (protocol installation,
# events, protocol notification, LocateProtocol), and the driver's
# notifications must be registered before the services they watch are
# installed: it may run as soon as the DXE core dispatches.
set(BOARDCFG_DEPEX TRUE)

execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/tools/ensure-basetools.sh
  OUTPUT_VARIABLE BASETOOLS OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE basetoolsStatus)
if(NOT basetoolsStatus EQUAL 0)
  message(FATAL_ERROR "EDK2's BaseTools are missing and could not be built "
    "(tools/ensure-basetools.sh, above); the firmware file needs them")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# boardcfg_firmware_file(<program> GUID <file GUID> DEPEX <expression>)
# makes <program>.ffs beside the program's image: a DXE driver file
# (EFI_FV_FILETYPE_DRIVER) under the file GUID holding the dependency
# expression, the image byte for byte and the program's name, in that
# order; and <program>.depex, the expression as GenDepex writes it. The
# expression is in EDK2's words (TRUE, AND, OR, NOT, ...) with each GUID in
# registry format. The target is <program>File.
function(boardcfg_firmware_file program)
  cmake_parse_arguments(PARSE_ARGV 1 file "" "GUID;DEPEX" "")
  if(NOT file_GUID OR NOT file_DEPEX OR file_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "boardcfg_firmware_file(${program}): GUID and DEPEX, nothing else")
  endif()
  set(hex4 "[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]")
  string(REGEX MATCHALL "${hex4}${hex4}-${hex4}-${hex4}-${hex4}-${hex4}${hex4}${hex4}"
         guids "${file_DEPEX}")
  set(expression "${file_DEPEX}")
  foreach(guid IN LISTS guids)
    boardcfg_guid_initializer(initializer ${guid})
    string(REPLACE ${guid} "${initializer}" expression "${expression}")
  endforeach()

  set(ffs ${CMAKE_BINARY_DIR}/${program}.ffs)
  set(depex ${CMAKE_BINARY_DIR}/${program}.depex)
  set(sections ${CMAKE_BINARY_DIR}/sections/${program})
  add_custom_command(
    OUTPUT ${ffs} ${depex}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${sections}
    COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${BASETOOLS}/Python
            ${Python3_EXECUTABLE} ${BASETOOLS}/Python/AutoGen/GenDepex.py -q
            -t DXE_DRIVER -e "${expression}" -o ${depex}
    COMMAND ${BASETOOLS}/bin/GenSec -s EFI_SECTION_DXE_DEPEX -o ${sections}/depex.sec ${depex}
    COMMAND ${BASETOOLS}/bin/GenSec -s EFI_SECTION_PE32 -o ${sections}/pe32.sec
            $<TARGET_FILE:${program}>
    COMMAND ${BASETOOLS}/bin/GenSec -s EFI_SECTION_USER_INTERFACE
            -n ${program} -o ${sections}/ui.sec
    COMMAND ${BASETOOLS}/bin/GenFfs -t EFI_FV_FILETYPE_DRIVER -g ${file_GUID} -o ${ffs}
            -i ${sections}/depex.sec -i ${sections}/pe32.sec -i ${sections}/ui.sec
    DEPENDS ${program}
    COMMENT "Firmware file ${program}.ffs"
    VERBATIM)
  add_custom_target(${program}File ALL DEPENDS ${ffs})
endfunction()

boardcfg_firmware_file(BoardConfigDxe GUID ${BOARDCFG_FILE_GUID} DEPEX ${BOARDCFG_DEPEX})

# What a platform team takes (build/efi/integration/): the module
# description, the FDF lines, the image, its dependency expression and the
# public header, which there relies on the platform's own Uefi.h.
set(integration ${CMAKE_BINARY_DIR}/integration)
configure_file(${PROJECT_SOURCE_DIR}/integration/BoardConfigDxe.inf.in
               ${integration}/BoardConfigDxe.inf @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/integration/BoardConfigDxe.fdf.in
               ${integration}/BoardConfigDxe.fdf @ONLY)
set(publicHeader ${PROJECT_SOURCE_DIR}/driver/board_service.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${publicHeader})
file(READ ${publicHeader} header)
string(REPLACE "#include \"platform/uefi.h\""
       "/* Include the platform's Uefi.h (or PiDxe.h) before this header. */"
       header "${header}")
file(WRITE ${integration}/board_service.h "${header}")
add_custom_command(TARGET BoardConfigDxeFile POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/BoardConfigDxe.efi
          ${CMAKE_BINARY_DIR}/BoardConfigDxe.depex
          ${integration}/
  VERBATIM)
