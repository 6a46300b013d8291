# The shipped firmware file: BoardConfigDxe.ffs, a DXE driver file holding
# the dependency expression, the image byte for byte and its name, built
# with EDK2's own GenDepex, GenSec and GenFfs from the EDK2 tree that
# tools/ensure-edk2.sh prepares (make image runs it; this file only finds
# it). The dependency expression is written here once, the file GUID once
# in cmake/firmware.cmake; the EDK2 package a platform adds
# (cmake/edk2-package.cmake) takes both from here. boardcfg_firmware_file,
# below, makes the file; the firmware stage's companion is made the same way
# (firmware-tests/CMakeLists.txt).
# The entry needs only the DXE core's own services (protocol installation,
# events, protocol notification, LocateProtocol), and the driver's
# notifications must be registered before the services they watch are
# installed: it may run as soon as the DXE core dispatches.
set(BOARDCFG_DEPEX TRUE)

execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/tools/ensure-edk2.sh --locate
  OUTPUT_VARIABLE EDK2_TREE OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE edk2Status)
if(NOT edk2Status EQUAL 0)
  message(FATAL_ERROR "EDK2's tree is not prepared (above): the firmware file needs its "
    "BaseTools; 'make image' prepares it")
endif()
set(BASETOOLS ${EDK2_TREE}/BaseTools)
set(BASETOOLS_BIN ${BASETOOLS}/Source/C/bin)
set(BASETOOLS_PYTHON ${BASETOOLS}/Source/Python)
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
    COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${BASETOOLS_PYTHON}
            ${Python3_EXECUTABLE} ${BASETOOLS_PYTHON}/AutoGen/GenDepex.py -q
            -t DXE_DRIVER -e "${expression}" -o ${depex}
    COMMAND ${BASETOOLS_BIN}/GenSec -s EFI_SECTION_DXE_DEPEX -o ${sections}/depex.sec ${depex}
    COMMAND ${BASETOOLS_BIN}/GenSec -s EFI_SECTION_PE32 -o ${sections}/pe32.sec
            $<TARGET_FILE:${program}>
    COMMAND ${BASETOOLS_BIN}/GenSec -s EFI_SECTION_USER_INTERFACE
            -n ${program} -o ${sections}/ui.sec
    COMMAND ${BASETOOLS_BIN}/GenFfs -t EFI_FV_FILETYPE_DRIVER -g ${file_GUID} -o ${ffs}
            -i ${sections}/depex.sec -i ${sections}/pe32.sec -i ${sections}/ui.sec
    DEPENDS ${program}
    COMMENT "Firmware file ${program}.ffs"
    VERBATIM)
  add_custom_target(${program}File ALL DEPENDS ${ffs})
endfunction()

boardcfg_firmware_file(BoardConfigDxe GUID ${BOARDCFG_FILE_GUID} DEPEX ${BOARDCFG_DEPEX})
