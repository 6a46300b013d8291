// What the test side knows of the PCH GPIO registers, written once: the
// series an LPC/eSPI device ID names, the group layout of each series and
// the pads the board wires. The chipset model lays its communities out from
// these tables, and the checks name registers by them; the driver keeps its
// own tables, and a test holds the two against each other.
//
// Freestanding: the EFI programs may include it too.
#ifndef BOARDCFG_SIM_FACTS_GPIO_LAYOUT_H
#define BOARDCFG_SIM_FACTS_GPIO_LAYOUT_H

#include <stddef.h>
#include <stdint.h>

#include "sim/facts/board.h"

namespace facts {

// --- Series ------------------------------------------------------------
enum class Series : uint8_t { H, Lp, Undetected };

// Bits 15..5 of the LPC/eSPI device ID name the series.
inline constexpr uint16_t kLpcFamilyMask = 0xFFE0;
inline constexpr uint16_t kLpFamily = 0x9D80;
inline constexpr uint16_t kHFamily = 0xA300;

constexpr Series SeriesOfLpcDeviceId(uint16_t id) {
  const uint16_t family = id & kLpcFamilyMask;
  if (family == kLpFamily) {
    return Series::Lp;
  }
  if (family == kHFamily) {
    return Series::H;
  }
  return Series::Undetected;
}

// The chipset ID in bits 31..24 of a pad code.
inline constexpr uint8_t kChipsetIdH = 3;
inline constexpr uint8_t kChipsetIdLp = 4;

// --- Group layout --------------------------------------------------------
// An offset for a register the group lacks.
inline constexpr uint16_t kNoRegister = 0xFFFF;

// One group: the sideband port of its community and the offsets of its
// registers among that port's private registers.
struct GpioGroup {
  const char *name;
  uint8_t port;
  // Four bits per pad, eight pads per register; the owner is the low two
  // bits of the pad's nibble, 0 meaning the host.
  uint16_t own;
  uint16_t hostSw;
  uint16_t intSts;
  uint16_t intEn;
  uint16_t gpeSts;
  uint16_t gpeEn;
  uint16_t smiSts;
  uint16_t smiEn;
  uint16_t nmiSts;
  uint16_t nmiEn;
  // One bit per pad, 32 pads per register, successive registers 8 apart.
  uint16_t lock;
  uint16_t lockTx;
  // 16 bytes per pad, DW0 first.
  uint16_t padCfg;
  uint16_t pads;
};

// Strides between the registers of successive pads or pad blocks.
inline constexpr uint16_t kOwnershipStride = 4;   // per 8 pads
inline constexpr uint16_t kPadBitStride = 4;      // status, enable: per 32
inline constexpr uint16_t kLockStride = 8;        // lock, lock TX: per 32
inline constexpr uint16_t kPadConfigStride = 16;  // per pad

// DW0 of a pad: its output level and its input level.
inline constexpr uint32_t kDw0TxState = 1U << 0;
inline constexpr uint32_t kDw0RxState = 1U << 1;

// clang-format off
inline constexpr GpioGroup kGpioGroupsLp[] = {
  // Name   Port  Own    HostSw IntSts       IntEn        GpeSts       GpeEn        SmiSts       SmiEn        NmiSts       NmiEn        Lock   LockTx PadCfg Pads
  {"GPP_A", 0x6E, 0x020, 0x0B0, 0x100,       0x120,       0x140,       0x160,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,   25},
  {"GPP_B", 0x6E, 0x030, 0x0B4, 0x104,       0x124,       0x144,       0x164,       0x184,       0x1A4,       0x1C4,       0x1E4,       0x088, 0x08C, 0x790,   26},
  {"GPP_C", 0x6A, 0x020, 0x0B0, 0x100,       0x120,       0x140,       0x160,       0x180,       0x1A0,       0x1C0,       0x1E0,       0x080, 0x084, 0x600,   24},
  {"GPP_D", 0x6D, 0x020, 0x0B0, 0x100,       0x120,       0x140,       0x160,       0x180,       0x1A0,       0x1C0,       0x1E0,       0x080, 0x084, 0x600,   24},
  {"GPP_E", 0x6A, 0x02C, 0x0B4, 0x104,       0x124,       0x144,       0x164,       0x184,       0x1A4,       0x1C4,       0x1E4,       0x088, 0x08C, 0x780,   24},
  {"GPP_F", 0x6D, 0x030, 0x0B4, 0x104,       0x124,       0x144,       0x164,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x088, 0x08C, 0x790,   24},
  {"GPP_G", 0x6E, 0x040, 0x0B8, 0x108,       0x128,       0x148,       0x168,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x090, 0x094, 0x930,    8},
  {"GPP_H", 0x6D, 0x03C, 0x0B8, 0x108,       0x128,       0x148,       0x168,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x090, 0x094, 0x910,   24},
  {"GPD",   0x6C, 0x020, 0x0B0, 0x100,       0x120,       0x140,       0x160,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,   16},
  {"VGPIO", 0x6D, 0x048, 0x0BC, 0x10C,       0x12C,       0x14C,       0x16C,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x098, 0x09C, 0xA90,   40},
  {"SPI",   0x6E, 0x044, 0x0BC, 0x10C,       0x12C,       0x14C,       0x16C,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x098, 0x09C, 0x9B0,    9},
  {"AZA",   0x6B, 0x020, 0x0B0, 0x100,       0x120,       0x140,       0x160,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,    8},
  {"CPU",   0x6B, 0x024, 0x0B4, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x088, 0x08C, 0x680,   11},
  {"JTAG",  0x6A, 0x038, 0x0B8, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x090, 0x094, 0x900,    9},
  {"HVMOS", 0x6A, 0x040, 0x0BC, 0x10C,       0x12C,       0x14C,       0x16C,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x098, 0x09C, 0x990,    6},
};

inline constexpr GpioGroup kGpioGroupsH[] = {
  // Name   Port  Own    HostSw IntSts       IntEn        GpeSts       GpeEn        SmiSts       SmiEn        NmiSts       NmiEn        Lock   LockTx PadCfg Pads
  {"GPP_A", 0x6E, 0x020, 0x0C0, 0x100,       0x120,       0x140,       0x160,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,   25},
  {"GPP_B", 0x6E, 0x030, 0x0C4, 0x104,       0x124,       0x144,       0x164,       0x184,       0x1A4,       0x1C4,       0x1E4,       0x088, 0x08C, 0x790,   26},
  {"GPP_C", 0x6D, 0x020, 0x0C0, 0x100,       0x120,       0x140,       0x160,       0x180,       0x1A0,       0x1C0,       0x1E0,       0x080, 0x084, 0x600,   24},
  {"GPP_D", 0x6D, 0x02C, 0x0C4, 0x104,       0x124,       0x144,       0x164,       0x184,       0x1A4,       0x1C4,       0x1E4,       0x088, 0x08C, 0x780,   24},
  {"GPP_E", 0x6B, 0x038, 0x0C8, 0x108,       0x128,       0x148,       0x168,       0x188,       0x1A8,       0x1C8,       0x1E8,       0x090, 0x094, 0x900,   13},
  {"GPP_F", 0x6B, 0x040, 0x0CC, 0x10C,       0x12C,       0x14C,       0x16C,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x098, 0x09C, 0x9D0,   24},
  {"GPP_G", 0x6D, 0x038, 0x0C8, 0x108,       0x128,       0x148,       0x168,       0x188,       0x1A8,       kNoRegister, kNoRegister, 0x090, 0x094, 0x900,    8},
  {"GPP_H", 0x6B, 0x02C, 0x0C4, 0x104,       0x124,       0x144,       0x164,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x088, 0x08C, 0x780,   24},
  {"GPP_I", 0x6A, 0x030, 0x0C8, 0x108,       0x128,       0x148,       0x168,       0x188,       0x1A8,       0x1C8,       0x1E8,       0x090, 0x094, 0x740,   18},
  {"GPP_J", 0x6A, 0x03C, 0x0CC, 0x10C,       0x12C,       0x14C,       0x16C,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x098, 0x09C, 0x860,   12},
  {"GPP_K", 0x6B, 0x020, 0x0C0, 0x100,       0x120,       0x140,       0x160,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,   24},
  {"GPD",   0x6C, 0x020, 0x0B0, 0x100,       0x120,       0x140,       0x160,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,   16},
  {"VGPIO", 0x6D, 0x040, 0x0D0, 0x110,       0x130,       0x150,       0x170,       kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x0A0, 0x0A4, 0xA00,   40},
  {"SPI",   0x6B, 0x04C, 0x0D0, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x0A0, 0x0A4, 0xB50,    9},
  {"AZA",   0x6D, 0x03C, 0x0CC, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x098, 0x09C, 0x980,    8},
  {"CPU",   0x6A, 0x020, 0x0C0, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x080, 0x084, 0x600,   11},
  {"JTAG",  0x6A, 0x028, 0x0C4, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, kNoRegister, 0x088, 0x08C, 0x6B0,    9},
};
// clang-format on

// The groups of one series, indexed by the group index of a pad code.
struct GpioLayout {
  const GpioGroup *groups;
  uint32_t count;
  uint8_t chipsetId;

  constexpr const GpioGroup *begin() const { return groups; }
  constexpr const GpioGroup *end() const { return groups + count; }
  constexpr const GpioGroup &operator[](uint32_t index) const {
    return groups[index];
  }
};

inline constexpr GpioLayout kGpioLayoutLp = {
    kGpioGroupsLp, sizeof kGpioGroupsLp / sizeof kGpioGroupsLp[0],
    kChipsetIdLp};
inline constexpr GpioLayout kGpioLayoutH = {
    kGpioGroupsH, sizeof kGpioGroupsH / sizeof kGpioGroupsH[0], kChipsetIdH};

// An undetected series is served the H layout.
constexpr const GpioLayout &LayoutOf(Series series) {
  return series == Series::Lp ? kGpioLayoutLp : kGpioLayoutH;
}

// Registers of a group with one 4-bit field per pad, and with one bit per
// pad (status, enable, lock).
constexpr uint32_t OwnershipRegisterCount(const GpioGroup &group) {
  return (group.pads + 7U) / 8U;
}
constexpr uint32_t PadBitRegisterCount(const GpioGroup &group) {
  return (group.pads + 31U) / 32U;
}

// --- Pads ----------------------------------------------------------------
// A pad by its place in a layout.
struct GpioPad {
  uint8_t group;
  uint16_t number;
};

// The riser straps: GPP_K0..K3 of the H series. The LP series has no GPP_K.
inline constexpr GpioPad kGppK[4] = {{10, 0}, {10, 1}, {10, 2}, {10, 3}};
// The output the driver drives low: the same place in both series.
inline constexpr GpioPad kGppB0 = {1, 0};

// A pad as chipset ID in bits 31..24, group index in 23..16 and pad number
// in 15..0.
using PadCode = uint32_t;

constexpr PadCode PadCodeOf(Series series, GpioPad pad) {
  return uint32_t{LayoutOf(series).chipsetId} << 24 |
         uint32_t{pad.group} << 16 | pad.number;
}
constexpr GpioPad PadOfCode(PadCode padCode) {
  return {static_cast<uint8_t>(padCode >> 16), static_cast<uint16_t>(padCode)};
}

// Bits of one 32-bit private register: the field reads as
// (value & mask) >> shift.
struct RegisterBits {
  uint64_t address;
  uint32_t shift;
  uint32_t mask;
};

constexpr uint64_t GroupRegister(const GpioGroup &group, uint32_t offset) {
  return PrivateRegister(group.port, static_cast<uint16_t>(offset));
}

constexpr uint64_t PadDw0(const GpioGroup &group, uint16_t number) {
  return GroupRegister(group, group.padCfg + number * kPadConfigStride);
}
constexpr RegisterBits PadRxState(const GpioGroup &group, uint16_t number) {
  return {PadDw0(group, number), 1, kDw0RxState};
}
// The two-bit owner in the pad's nibble.
constexpr RegisterBits PadOwnership(const GpioGroup &group, uint16_t number) {
  const uint32_t shift = (number % 8U) * 4U;
  return {GroupRegister(group, group.own + number / 8U * kOwnershipStride),
          shift, 3U << shift};
}
// The pad's bit among lock registers whose first lies at `first`.
constexpr RegisterBits PadLockBit(const GpioGroup &group, uint16_t first,
                                  uint16_t number) {
  const uint32_t shift = number % 32U;
  return {GroupRegister(group, first + number / 32U * kLockStride), shift,
          1U << shift};
}
constexpr RegisterBits PadLock(const GpioGroup &group, uint16_t number) {
  return PadLockBit(group, group.lock, number);
}
constexpr RegisterBits PadLockTx(const GpioGroup &group, uint16_t number) {
  return PadLockBit(group, group.lockTx, number);
}

constexpr const GpioGroup &GroupOf(Series series, GpioPad pad) {
  return LayoutOf(series)[pad.group];
}
constexpr uint64_t PadDw0(Series series, GpioPad pad) {
  return PadDw0(GroupOf(series, pad), pad.number);
}
constexpr RegisterBits PadOwnership(Series series, GpioPad pad) {
  return PadOwnership(GroupOf(series, pad), pad.number);
}
constexpr RegisterBits PadLock(Series series, GpioPad pad) {
  return PadLock(GroupOf(series, pad), pad.number);
}
constexpr RegisterBits PadLockTx(Series series, GpioPad pad) {
  return PadLockTx(GroupOf(series, pad), pad.number);
}

}  // namespace facts

#endif
