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
