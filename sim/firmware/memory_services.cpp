#include "sim/firmware/memory_services.h"

#include <cstdlib>
#include <cstring>

namespace sim {

MemoryServices::~MemoryServices() {
  for (auto &[buffer, size] : pool_) {
    std::free(buffer);
  }
}

EFI_STATUS MemoryServices::AllocatePool(EFI_MEMORY_TYPE type, UINTN size,
                                        VOID **buffer) {
  if (buffer == nullptr || type >= EfiMaxMemoryType) {
    return EFI_INVALID_PARAMETER;
  }
  *buffer = AllocatePoolBuffer(size);
  return *buffer == nullptr ? EFI_OUT_OF_RESOURCES : EFI_SUCCESS;
}

VOID *MemoryServices::AllocatePoolBuffer(size_t size) {
  VOID *buffer = std::malloc(size == 0 ? 1 : size);
  if (buffer != nullptr) {
    pool_[buffer] = size;
    ++poolHandedOut_;
    handouts_.push_back(
        {buffer, calls_.All().empty() ? 0 : calls_.All().size() - 1});
  }
  return buffer;
}

EFI_STATUS MemoryServices::FreePool(VOID *buffer) {
  auto found = pool_.find(buffer);
  if (found == pool_.end()) {
    calls_.ReportViolation(
        "FreePool of a buffer that is not an outstanding pool "
        "buffer (freed twice, or never handed out)");
    return EFI_INVALID_PARAMETER;
  }
  std::free(buffer);
  pool_.erase(found);
  return EFI_SUCCESS;
}

VOID MemoryServices::CopyMem(VOID *destination, const VOID *source,
                             UINTN length) {
  auto *to = static_cast<uint8_t *>(destination);
  const auto *from = static_cast<const uint8_t *>(source);
  const auto fromAddress = reinterpret_cast<uint64_t>(source);
  if (deviceByteReader_) {
    uint8_t first = 0;
    if (length > 0 && deviceByteReader_(fromAddress, &first)) {
      to[0] = first;
      for (UINTN i = 1; i < length; ++i) {
        if (!deviceByteReader_(fromAddress + i, &to[i])) {
          calls_.ReportViolation("CopyMem ran past the end of device memory");
          return;
        }
      }
      return;
    }
  }
  std::memmove(to, from, length);
}

VOID MemoryServices::SetMem(VOID *buffer, UINTN size, UINT8 value) {
  std::memset(buffer, value, size);
}

}  // namespace sim
