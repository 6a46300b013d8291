#include "gpio/gpio.h"
#include "platform/register_access.h"

namespace {

UINT32 PadNumber(PadCode pad) { return pad & 0xFFFF; }

// The pad's group record, or null when the pad does not exist on this PCH.
const GpioGroupRecord *ValidPadGroup(PadCode pad) {
  const UINT32 chipsetId =
      GetPchSeries() == kPchSeriesLp ? kChipsetIdLp : kChipsetIdH;
  if ((pad >> 24) != chipsetId) {
    return nullptr;
  }
  UINT32 count;
  const GpioGroupRecord *table = GetGroupTable(&count);
  const UINT32 group = (pad >> 16) & 0xFF;
  if (group >= count || PadNumber(pad) >= table[group].Pads) {
    return nullptr;
  }
  return &table[group];
}

}  // namespace

BOOLEAN IsPadValid(PadCode pad) { return ValidPadGroup(pad) != nullptr; }

EFI_STATUS GetPadOwnership(PadCode pad, UINT32 *owner) {
  const GpioGroupRecord *rec = ValidPadGroup(pad);
  if (rec == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT32 number = PadNumber(pad);
  const UINT32 own = RegisterRead32(
      PrivateRegisterAddress(rec->Port, rec->Own + (number >> 3) * 4));
  *owner = (own >> ((number & 7) * 4)) & 3;
  return EFI_SUCCESS;
}

EFI_STATUS GetInputValue(PadCode pad, UINT32 *level) {
  UINT32 owner;
  const EFI_STATUS status = GetPadOwnership(pad, &owner);
  if (status != EFI_SUCCESS) {
    return status;
  }
  if (owner != 0) {
    return EFI_UNSUPPORTED;
  }
  *level = (ReadPadDw0(pad) >> 1) & 1;
  return EFI_SUCCESS;
}

UINT32 ReadPadDw0(PadCode pad) {
  UINT32 count;
  const GpioGroupRecord &rec = GetGroupTable(&count)[(pad >> 16) & 0xFF];
  return RegisterRead32(
      PrivateRegisterAddress(rec.Port, rec.PadCfg + PadNumber(pad) * 16));
}
