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

// The series of this PCH. Once detected it is served from SeriesCache;
// until then each call reads the LPC/eSPI device ID (bus 0, device 31,
// function 0) and stores what it names, kPchSeriesNotDetected for an ID of
// neither series.
PchSeries GetPchSeries();
// The group table of the detected series: the LP table for LP, the H table
// otherwise, a series not detected included. Always sets *count to its number
// of groups.
const GpioGroupRecord *GetGroupTable(UINT32 *count);

// TRUE when the pad's chipset ID is that of the detected series (H while none
// is detected), its group index lies within the table and its pad number
// within the group.
BOOLEAN IsPadValid(PadCode pad);
// The owner of a pad: the low two bits of its ownership nibble, 0 the host.
// @retval EFI_SUCCESS            *owner holds the owner.
// @retval EFI_INVALID_PARAMETER  IsPadValid rejects pad; *owner untouched and
//                                no GPIO register read.
EFI_STATUS GetPadOwnership(PadCode pad, UINT32 *owner);
// The input level of a host-owned pad: the RX state, bit 1 of its DW0.
// @retval EFI_SUCCESS            *level is 0 or 1.
// @retval EFI_INVALID_PARAMETER  IsPadValid rejects pad; *level untouched.
// @retval EFI_UNSUPPORTED        The host does not own the pad; *level
//                                untouched and DW0 not read.
EFI_STATUS GetInputValue(PadCode pad, UINT32 *level);
// DW0 of the pad's configuration. Checks nothing: callers validate the pad
// with IsPadValid first.
UINT32 ReadPadDw0(PadCode pad);

// dw names a 32-pad block of a group: pad n lies in block n >> 5, bit n & 31.
// TRUE when group is a GroupCode of the detected series (chipset ID 4 for LP,
// 3 otherwise) whose index lies within the table, and the group has block dw.
BOOLEAN IsGroupAndDwValid(GroupCode group, UINT32 dw);
// Register dw of the given kind of group groupIndex, read by a plain load;
// Lock and LockTx registers lie 8 bytes apart, the other kinds 4. dw is not
// checked. Always writes *value: 0, with no GPIO register read, for a
// groupIndex beyond the table, a kind above GpioLockTx or a register the group
// lacks.
VOID ReadGroupRegister(GpioRegisterKind kind, UINT8 groupIndex, UINT32 dw,
                       UINT32 *value);
// Configuration lock (ReadLockRegister) or TX-state lock (ReadLockTxRegister)
// register dw of group, one bit per pad.
// @retval EFI_SUCCESS            *value holds the register.
// @retval EFI_INVALID_PARAMETER  IsGroupAndDwValid rejects group or dw; *value
//                                untouched and no GPIO register read.
EFI_STATUS ReadLockRegister(GroupCode group, UINT32 dw, UINT32 *value);
EFI_STATUS ReadLockTxRegister(GroupCode group, UINT32 dw, UINT32 *value);
// Sets lock register dw of group, of kind GpioLock or GpioLockTx, to
// (current & andMask) | orMask: the current value read by a plain load, the
// new one sent as a sideband lock message (SendSidebandMessage). The kind,
// then group and dw, are checked before any GPIO register or sideband access.
// @retval EFI_SUCCESS            The message completed with status 0.
// @retval EFI_UNSUPPORTED        kind is neither GpioLock nor GpioLockTx.
// @retval EFI_INVALID_PARAMETER  IsGroupAndDwValid rejects group or dw.
// @retval EFI_DEVICE_ERROR       The P2SB does not answer (nothing sent), or
//                                the message completed with a non-zero status.
// @retval EFI_TIMEOUT            The P2SB stayed busy.
EFI_STATUS WriteLockRegister(GpioRegisterKind kind, GroupCode group, UINT32 dw,
                             UINT32 andMask, UINT32 orMask);
// Clear (UnlockPadTx) or set (LockPadTx) the given bits of TX-state lock
// register dw of group through WriteLockRegister, and return its status:
// @retval EFI_SUCCESS            The message completed with status 0.
// @retval EFI_INVALID_PARAMETER  IsGroupAndDwValid rejects group or dw.
// @retval EFI_DEVICE_ERROR       As for WriteLockRegister.
// @retval EFI_TIMEOUT            As for WriteLockRegister.
EFI_STATUS UnlockPadTx(GroupCode group, UINT32 dw, UINT32 bits);
EFI_STATUS LockPadTx(GroupCode group, UINT32 dw, UINT32 bits);
// Drives pad GPP_B0 low: clears bit 0 (TX state) of its DW0 with a plain
// store. When the pad is valid and its TX-state lock is set, the lock is
// lifted for the store and set again; the statuses of the unlock and relock
// are ignored, and a failed unlock still leads to the store. Callers check the
// pad first: where GPP_B0 is not valid (LP series), the store goes to pad 0 of
// group 1 of the table in use, without the lock handling.
VOID DriveGppB0Low();

// Sends *data (only read) as one GPIO lock message to offset of port through
// the P2SB. The message carries kSidebandOpcodeGpioLock whatever opcode says;
// opcode is only checked (accepted: at most 1 as a signed value, 4 to 7, or
// 0x13). Each wait for the P2SB ends after at most 0x0FFFFFFF status reads.
// *response is preset to 4 once the P2SB is found idle, and set to the
// completion status (0 to 3) once the message has completed.
// @retval EFI_SUCCESS            Completion status 0; *response is 0.
// @retval EFI_INVALID_PARAMETER  opcode not accepted; no register access,
//                                *response untouched.
// @retval EFI_DEVICE_ERROR       The P2SB's vendor ID reads 0xFFFF (nothing
//                                sent, *response untouched), or a non-zero
//                                completion status (*response holds it).
// @retval EFI_TIMEOUT            The P2SB stayed busy, before the message
//                                (*response untouched) or after it
//                                (*response is 4).
EFI_STATUS SendSidebandMessage(UINT8 port, UINT32 offset, UINT32 *data,
                               UINT8 *response, INT32 opcode);

#endif
