# The boot-service driver image: firmware sources with the volatile register
# backend, linked without any library.
set(IMAGE_COMPILE_OPTIONS
  -ffreestanding -fno-builtin -Oz -flto -fno-stack-protector -mno-stack-arg-probe
  -fno-asynchronous-unwind-tables -fno-unwind-tables
  -ffunction-sections -fdata-sections -fshort-wchar
  -Wglobal-constructors -Wexit-time-destructors)

set(CMAKE_CXX_LINK_EXECUTABLE
  "<CMAKE_LINKER> <LINK_FLAGS> /out:<TARGET> <OBJECTS> <LINK_LIBRARIES>")

# A native object, so that the linker keeps memcpy and memset only when the
# optimised code calls them.
set_source_files_properties(${PROJECT_SOURCE_DIR}/platform/image_runtime.cpp
  PROPERTIES COMPILE_OPTIONS -fno-lto)

add_executable(BoardConfigDxe ${FIRMWARE_SOURCES} ${PLATFORM_IMAGE_BACKEND_SOURCES})
target_include_directories(BoardConfigDxe PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(BoardConfigDxe PRIVATE
  ${FIRMWARE_COMPILE_OPTIONS} ${IMAGE_COMPILE_OPTIONS})
set_target_properties(BoardConfigDxe PROPERTIES SUFFIX .efi LINK_FLAGS
  "/nologo /WX /subsystem:efi_boot_service_driver /entry:DriverEntry /nodefaultlib /opt:ref /opt:icf /debug:none /driver /align:4096 /filealign:32 /base:0 /merge:.rdata=.text /timestamp:0")

include(${PROJECT_SOURCE_DIR}/cmake/firmware-file.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/edk2-package.cmake)

# Test-only EFI programs for the firmware harness, built the same way.
if(EXISTS ${PROJECT_SOURCE_DIR}/firmware-tests/CMakeLists.txt)
  add_subdirectory(firmware-tests)
endif()
