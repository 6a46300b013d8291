# The shipped firmware file: BoardConfigDxe.ffs, a DXE driver file holding
# the dependency expression, the image byte for byte and its name, built
# with EDK2's own GenDepex, GenSec and GenFfs (tools/ensure-basetools.sh).
# The dependency expression is written here once, the file GUID once in
# cmake/firmware.cmake; the integration files a platform adds
# (integration/*.in) are made from them.
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

set(sections ${CMAKE_BINARY_DIR}/sections)
set(image ${CMAKE_BINARY_DIR}/BoardConfigDxe.efi)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/BoardConfigDxe.ffs ${CMAKE_BINARY_DIR}/BoardConfigDxe.depex
  COMMAND ${CMAKE_COMMAND} -E make_directory ${sections}
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${BASETOOLS}/Python
          ${Python3_EXECUTABLE} ${BASETOOLS}/Python/AutoGen/GenDepex.py -q
          -t DXE_DRIVER -e "${BOARDCFG_DEPEX}"
          -o ${CMAKE_BINARY_DIR}/BoardConfigDxe.depex
  COMMAND ${BASETOOLS}/bin/GenSec -s EFI_SECTION_DXE_DEPEX
          -o ${sections}/depex.sec ${CMAKE_BINARY_DIR}/BoardConfigDxe.depex
  COMMAND ${BASETOOLS}/bin/GenSec -s EFI_SECTION_PE32 -o ${sections}/pe32.sec ${image}
  COMMAND ${BASETOOLS}/bin/GenSec -s EFI_SECTION_USER_INTERFACE
          -n BoardConfigDxe -o ${sections}/ui.sec
  COMMAND ${BASETOOLS}/bin/GenFfs -t EFI_FV_FILETYPE_DRIVER -g ${BOARDCFG_FILE_GUID}
          -o ${CMAKE_BINARY_DIR}/BoardConfigDxe.ffs
          -i ${sections}/depex.sec -i ${sections}/pe32.sec -i ${sections}/ui.sec
  DEPENDS BoardConfigDxe
  COMMENT "Firmware file BoardConfigDxe.ffs (file GUID ${BOARDCFG_FILE_GUID})"
  VERBATIM)
add_custom_target(BoardConfigDxeFile ALL
  DEPENDS ${CMAKE_BINARY_DIR}/BoardConfigDxe.ffs)

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
  COMMAND ${CMAKE_COMMAND} -E copy ${image} ${CMAKE_BINARY_DIR}/BoardConfigDxe.depex
          ${integration}/
  VERBATIM)
