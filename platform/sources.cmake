set(PLATFORM_SOURCES
  platform/service_globals.cpp)
set(PLATFORM_IMAGE_BACKEND_SOURCES
  platform/mmio_register_access.cpp
  platform/image_runtime.cpp)
