// Pool buffers with accounting, and the memory services.
#ifndef BOARDCFG_SIM_FIRMWARE_MEMORY_SERVICES_H
#define BOARDCFG_SIM_FIRMWARE_MEMORY_SERVICES_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/uefi.h"
#include "sim/firmware/call_log.h"

namespace sim {

class MemoryServices {
 public:
  explicit MemoryServices(CallLog &calls) : calls_(calls) {}
  MemoryServices(const MemoryServices &) = delete;
  MemoryServices &operator=(const MemoryServices &) = delete;
  ~MemoryServices();

  // --- The services, as the boot-services table calls them -------------
  EFI_STATUS AllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer);
  EFI_STATUS FreePool(VOID *buffer);
  VOID CopyMem(VOID *destination, const VOID *source, UINTN length);
  VOID SetMem(VOID *buffer, UINTN size, UINT8 value);

  // --- Acting as the rest of the firmware ------------------------------
  // A pool buffer handed out by a service double; it must come back
  // through FreePool exactly once.
  VOID *AllocatePoolBuffer(size_t size);
  // CopyMem reads a source byte through this when it claims the address,
  // so copies out of modelled device memory reach the chipset model.
  using DeviceByteReader = std::function<bool(uint64_t address, uint8_t *)>;
  void SetDeviceByteReader(DeviceByteReader reader) {
    deviceByteReader_ = std::move(reader);
  }

  // --- What happened -------------------------------------------------
  size_t OutstandingPoolBuffers() const { return pool_.size(); }
  // Each pool buffer handed out, with the call that was being served then.
  struct PoolHandout {
    VOID *buffer;
    size_t call;
  };
  const std::vector<PoolHandout> &PoolHandouts() const { return handouts_; }
  uint64_t PoolBuffersHandedOut() const { return poolHandedOut_; }

 private:
  CallLog &calls_;
  std::map<VOID *, size_t> pool_;
  uint64_t poolHandedOut_ = 0;
  std::vector<PoolHandout> handouts_;
  DeviceByteReader deviceByteReader_;
};

}  // namespace sim

#endif
