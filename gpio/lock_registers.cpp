#include "gpio/gpio.h"
#include "gpio/group_tables.h"
#include "platform/register_access.h"

namespace {

constexpr bool HasLockRegisters(const GpioGroupRecord *table, UINT32 count) {
  for (UINT32 i = 0; i < count; ++i) {
    if (table[i].Lock == kNoRegister || table[i].LockTx == kNoRegister) {
      return false;
    }
  }
  return true;
}

// Every group of both series has both lock registers, so a lock update never
// meets a missing one.
static_assert(HasLockRegisters(kGpioGroupsLp, kGpioGroupCountLp) &&
              HasLockRegisters(kGpioGroupsH, kGpioGroupCountH));
// With the base's low byte clear and at most 256 groups, the range check of
// IsGroupAndDwValid bounds the group index as well.
static_assert(kGpioGroupCountLp <= 0x100 && kGpioGroupCountH <= 0x100);

// Where in the record each GpioRegisterKind's first register is kept.
constexpr UINT8 kKindFieldOffsets[] = {
    offsetof(GpioGroupRecord, HostSw), offsetof(GpioGroupRecord, GpeEn),
    offsetof(GpioGroupRecord, GpeSts), offsetof(GpioGroupRecord, SmiEn),
    offsetof(GpioGroupRecord, SmiSts), offsetof(GpioGroupRecord, NmiEn),
    offsetof(GpioGroupRecord, Lock),   offsetof(GpioGroupRecord, LockTx),
};

UINT16 KindField(const GpioGroupRecord &rec, GpioRegisterKind kind) {
  if (kind >= sizeof kKindFieldOffsets) {
    return kNoRegister;
  }
  // The record is packed: its fields may sit at odd addresses.
  UINT16 field;
  __builtin_memcpy(&field,
                   reinterpret_cast<const UINT8 *>(&rec) +
                       kKindFieldOffsets[kind],
                   sizeof field);
  return field;
}

}  // namespace

BOOLEAN IsGroupAndDwValid(GroupCode group, UINT32 dw) {
  const UINT32 base = GetPchSeries() == kPchSeriesLp ? 0x400 : 0x300;
  UINT32 count;
  const GpioGroupRecord *table = GetGroupTable(&count);
  if (group < base || group > (base | (count - 1))) {
    return FALSE;
  }
  return dw <= (table[group & 0xFF].Pads - 1U) >> 5;
}

VOID ReadGroupRegister(GpioRegisterKind kind, UINT8 groupIndex, UINT32 dw,
                       UINT32 *value) {
  UINT32 count;
  const GpioGroupRecord *table = GetGroupTable(&count);
  *value = 0;
  if (groupIndex >= count) {
    return;
  }
  const GpioGroupRecord &rec = table[groupIndex];
  const UINT16 field = KindField(rec, kind);
  if (field == kNoRegister) {
    return;
  }
  const UINT32 stride = kind == GpioLock || kind == GpioLockTx ? 8 : 4;
  *value =
      RegisterRead32(PrivateRegisterAddress(rec.Port, field + dw * stride));
}

EFI_STATUS ReadLockRegister(GroupCode group, UINT32 dw, UINT32 *value) {
  if (!IsGroupAndDwValid(group, dw)) {
    return EFI_INVALID_PARAMETER;
  }
  ReadGroupRegister(GpioLock, group & 0xFF, dw, value);
  return EFI_SUCCESS;
}

EFI_STATUS ReadLockTxRegister(GroupCode group, UINT32 dw, UINT32 *value) {
  if (!IsGroupAndDwValid(group, dw)) {
    return EFI_INVALID_PARAMETER;
  }
  ReadGroupRegister(GpioLockTx, group & 0xFF, dw, value);
  return EFI_SUCCESS;
}

// The group is validated before its record is taken from the table, so an
// out-of-table group never reads past it.
EFI_STATUS WriteLockRegister(GpioRegisterKind kind, GroupCode group, UINT32 dw,
                             UINT32 andMask, UINT32 orMask) {
  if (kind != GpioLock && kind != GpioLockTx) {
    return EFI_UNSUPPORTED;
  }
  if (!IsGroupAndDwValid(group, dw)) {
    return EFI_INVALID_PARAMETER;
  }
  UINT32 count;
  const GpioGroupRecord &rec = GetGroupTable(&count)[group & 0xFF];
  const UINT32 offset = KindField(rec, kind) + dw * 8;
  UINT32 value =
      (RegisterRead32(PrivateRegisterAddress(rec.Port, offset)) & andMask) |
      orMask;
  UINT8 response;
  return SendSidebandMessage(rec.Port, offset, &value, &response,
                             kSidebandOpcodeGpioLock);
}

// WriteLockRegister validates the group and dw itself.
EFI_STATUS UnlockPadTx(GroupCode group, UINT32 dw, UINT32 bits) {
  return WriteLockRegister(GpioLockTx, group, dw, ~bits, 0);
}

EFI_STATUS LockPadTx(GroupCode group, UINT32 dw, UINT32 bits) {
  return WriteLockRegister(GpioLockTx, group, dw, 0xFFFFFFFF, bits);
}
