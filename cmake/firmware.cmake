# Sources and flags shared by the image and the host build of the firmware.
include(${PROJECT_SOURCE_DIR}/platform/sources.cmake)
include(${PROJECT_SOURCE_DIR}/gpio/sources.cmake)
include(${PROJECT_SOURCE_DIR}/driver/sources.cmake)

set(FIRMWARE_SOURCES ${PLATFORM_SOURCES} ${GPIO_SOURCES} ${DRIVER_SOURCES})
list(TRANSFORM FIRMWARE_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
list(TRANSFORM PLATFORM_IMAGE_BACKEND_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)

# Freestanding C++: no exceptions, no RTTI, no C++ library headers.
set(FIRMWARE_COMPILE_OPTIONS
  -fno-exceptions -fno-rtti -nostdinc++ -fno-threadsafe-statics
  -Wall -Wextra -Werror)

# A GUID in registry format (8-4-4-4-12 hex digits) as a C initializer,
# {0x..., 0x..., 0x..., {0x.., ...}}, the form EDK2's GenDepex reads too.
function(boardcfg_guid_initializer out guid)
  string(REPLACE "-" "" digits ${guid})
  string(SUBSTRING ${digits} 0 8 data1)
  string(SUBSTRING ${digits} 8 4 data2)
  string(SUBSTRING ${digits} 12 4 data3)
  set(data4 "")
  foreach(at RANGE 16 30 2)
    string(SUBSTRING ${digits} ${at} 2 byte)
    list(APPEND data4 "0x${byte}")
  endforeach()
  list(JOIN data4 ", " data4)
  set(${out} "{0x${data1}, 0x${data2}, 0x${data3}, {${data4}}}" PARENT_SCOPE)
endfunction()

# The file GUID under which the driver ships in a firmware volume, written
# once: the firmware file and its module description carry it, and the test
# side finds the dispatched driver by it (generated/driver_file.h).
set(BOARDCFG_FILE_GUID EE004913-32A0-49F1-BAB8-D6B172F11AC6)
boardcfg_guid_initializer(BOARDCFG_FILE_GUID_INIT ${BOARDCFG_FILE_GUID})
configure_file(${PROJECT_SOURCE_DIR}/cmake/driver_file.h.in
               ${CMAKE_BINARY_DIR}/generated/driver_file.h @ONLY)

# The EDK2 package the driver ships in (cmake/edk2-package.cmake): its GUID
# and version, written once; the module's VERSION_STRING is the version too.
set(BOARDCFG_PACKAGE_GUID D8722CBF-2F20-4B60-BB25-A79C28A3DB7B)
set(BOARDCFG_PACKAGE_VERSION 1.0)
