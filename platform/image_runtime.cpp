// The image links no C library; the compiler may still emit calls to these
// for struct copies and zeroing.
#include "platform/uefi.h"

extern "C" void *memcpy(void *destination, const void *source, size_t length) {
  auto *to = static_cast<volatile UINT8 *>(destination);
  const auto *from = static_cast<const UINT8 *>(source);
  for (size_t i = 0; i < length; ++i) {
    to[i] = from[i];
  }
  return destination;
}

extern "C" void *memset(void *buffer, int value, size_t length) {
  auto *to = static_cast<volatile UINT8 *>(buffer);
  for (size_t i = 0; i < length; ++i) {
    to[i] = static_cast<UINT8>(value);
  }
  return buffer;
}
