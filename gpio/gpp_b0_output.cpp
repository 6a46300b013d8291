#include "gpio/gpio.h"
#include "platform/register_access.h"

// The TX-state lock, when set, is lifted for the store and set again; a
// failed unlock still leads to the store.
VOID DriveGppB0Low() {
  const UINT8 groupIndex = kGroupGppB & 0xFF;
  BOOLEAN locked = FALSE;
  if (IsPadValid(kPadGppB0)) {
    UINT32 lockTx;
    ReadGroupRegister(GpioLockTx, groupIndex, 0, &lockTx);
    locked = lockTx & 1;
    if (locked) {
      UnlockPadTx(kGroupGppB, 0, 1);
    }
  }
  UINT32 count;
  const GpioGroupRecord &rec = GetGroupTable(&count)[groupIndex];
  const UINT32 dw0 = PrivateRegisterAddress(rec.Port, rec.PadCfg);
  RegisterWrite32(dw0, RegisterRead32(dw0) & 0xFFFFFFFE);
  if (locked) {
    LockPadTx(kGroupGppB, 0, 1);
  }
}
