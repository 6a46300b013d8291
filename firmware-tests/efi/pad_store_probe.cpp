#include "firmware-tests/efi/pad_store_probe.h"

#include "firmware-tests/efi/shared_memory_devices.h"
#include "sim/facts/gpio_layout.h"

namespace {

// The load is the instruction right after the store: nothing the board
// does later than the store itself can show in what it reads.
UINT32 StoreThenLoad(UINTN address, UINT32 value) {
  UINT32 read;
  __asm__ volatile("movl %1, (%2)\n\tmovl (%2), %0"
                   : "=&r"(read)
                   : "r"(value), "r"(address)
                   : "memory");
  return read;
}

}  // namespace

BOOLEAN ProbePadStore(PadStore &probe) {
  if (!WindowBacked(facts::kPciWindowBase) ||
      !WindowBacked(facts::kPrivateWindowBase)) {
    return FALSE;
  }
  const facts::Series series =
      facts::SeriesOfLpcDeviceId(RegisterRead16(facts::kLpcDeviceId));
  const facts::RegisterBits ownership =
      facts::PadOwnership(series, facts::kGppB0);
  probe.address = facts::PadDw0(series, facts::kGppB0);
  probe.owner =
      (RegisterRead32(ownership.address) & ownership.mask) >> ownership.shift;
  probe.before = RegisterRead32(probe.address);
  probe.stored = probe.before ^ facts::kDw0TxState;
  probe.readBack = probe.before;
  if (probe.owner == 0) {
    probe.readBack = StoreThenLoad(probe.address, probe.stored);
    RegisterWrite32(probe.address, probe.before);
  }
  probe.restored = RegisterRead32(probe.address);
  return TRUE;
}
