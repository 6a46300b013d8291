// PCH GPIO library: series detection, the per-series group layout, pad
// queries, lock-register updates through the sideband and the GPP_B0 output.
// Reaches hardware only through the register seam.
#ifndef BOARDCFG_GPIO_GPIO_H
#define BOARDCFG_GPIO_GPIO_H

#include "platform/uefi.h"

// Chipset ID in bits 31..24, group index in bits 23..16, pad number in 15..0.
typedef UINT32 PadCode;
// Chipset ID in bits 15..8, group index in bits 7..0: PadCode >> 16.
typedef UINT16 GroupCode;
typedef UINT8 PchSeries;

inline constexpr PchSeries kPchSeriesH = 1;
inline constexpr PchSeries kPchSeriesLp = 2;
inline constexpr PchSeries kPchSeriesNotDetected = 0xFF;

inline constexpr UINT8 kChipsetIdH = 3;
inline constexpr UINT8 kChipsetIdLp = 4;

// Offsets within the group's port; kNoRegister where the group lacks one.
struct __attribute__((packed)) GpioGroupRecord {
  UINT8 Port;
  UINT16 Own;  // 4 bits per pad, the owner in the low two; 0 is the host
  UINT16 HostSw;
  UINT16 IntSts;
  UINT16 IntEn;
  UINT16 GpeSts;
  UINT16 GpeEn;
  UINT16 SmiSts;
  UINT16 SmiEn;
  UINT16 NmiSts;
  UINT16 NmiEn;
  UINT16 Lock;    // 1 bit per pad, successive 32-pad blocks 8 bytes apart
  UINT16 LockTx;  // 4 bytes after the matching Lock register
  UINT16 PadCfg;  // 16 bytes per pad; DW0 bit 0 TX state, bit 1 RX state
  UINT16 Pads;
};

inline constexpr UINT16 kNoRegister = 0xFFFF;

enum GpioRegisterKind : UINT32 {
  GpioHostSw = 0,
  GpioGpeEn = 1,
  GpioGpeSts = 2,
  GpioSmiEn = 3,
  GpioSmiSts = 4,
  GpioNmiEn = 5,
  GpioLock = 6,
  GpioLockTx = 7,
};

inline constexpr PadCode kPadGppB0 = 0x03010000;
inline constexpr GroupCode kGroupGppB = 0x0301;
inline constexpr INT32 kSidebandOpcodeGpioLock = 0x13;

// Detected series, or kPchSeriesNotDetected while detection has not
// succeeded.
extern PchSeries SeriesCache;

PchSeries GetPchSeries();
const GpioGroupRecord *GetGroupTable(UINT32 *count);

BOOLEAN IsPadValid(PadCode pad);
EFI_STATUS GetPadOwnership(PadCode pad, UINT32 *owner);
EFI_STATUS GetInputValue(PadCode pad, UINT32 *level);
// Callers validate the pad first.
UINT32 ReadPadDw0(PadCode pad);

BOOLEAN IsGroupAndDwValid(GroupCode group, UINT32 dw);
// Yields 0 for an unknown kind or group index or a register the group lacks.
VOID ReadGroupRegister(GpioRegisterKind kind, UINT8 groupIndex, UINT32 dw,
                       UINT32 *value);
EFI_STATUS ReadLockRegister(GroupCode group, UINT32 dw, UINT32 *value);
EFI_STATUS ReadLockTxRegister(GroupCode group, UINT32 dw, UINT32 *value);
EFI_STATUS WriteLockRegister(GpioRegisterKind kind, GroupCode group, UINT32 dw,
                             UINT32 andMask, UINT32 orMask);
EFI_STATUS UnlockPadTx(GroupCode group, UINT32 dw, UINT32 bits);
EFI_STATUS LockPadTx(GroupCode group, UINT32 dw, UINT32 bits);
VOID DriveGppB0Low();

EFI_STATUS SendSidebandMessage(UINT8 port, UINT32 offset, UINT32 *data,
                               UINT8 *response, INT32 opcode);

#endif
