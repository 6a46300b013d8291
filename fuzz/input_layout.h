// The boot fuzzers' input layout, the one place it is written: a walk over
// the fields of a sim::BoardSetup, in input order, that a visitor either
// fills from an input (input_decoder.h) or turns into one (input_encoder.h).
//
// Every field travels as a code from 0 to a maximum. The walk derives the
// code from the field before the visitor sees it (what an encoder writes)
// and sets the field from the code after (what a decoder read), so a field
// that the layout cannot carry leaves an encoder's walk as the value that it
// does carry. Code 0 is the default board's value throughout: the empty
// input is the default board and boot.
//
// A visitor provides, in FuzzedDataProvider's terms:
//   void Number(uint32_t &code, uint32_t max);  // 0..max, from the back
//   void Bytes(std::vector<uint8_t> &bytes, size_t count);  // from the front
//   void Rest(std::vector<uint8_t> &bytes);  // every byte left, last of all
#ifndef BOARDCFG_FUZZ_INPUT_LAYOUT_H
#define BOARDCFG_FUZZ_INPUT_LAYOUT_H

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/field_codes.h"
#include "fuzz/input_menus.h"
#include "fuzz/input_mode.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/scenario/board_setup.h"

namespace fuzz::layout {

inline const sim::BoardSetup &Defaults() {
  static const sim::BoardSetup defaults;
  return defaults;
}

// The H or LP family with the ID's low bits, or any raw ID.
template <class V>
void WalkDeviceId(V &v, uint16_t &id) {
  constexpr uint16_t kFamilies[] = {facts::kHFamily, facts::kLpFamily};
  constexpr uint16_t kLowBits = ~facts::kLpcFamilyMask & 0xFFFF;
  uint16_t family = id & facts::kLpcFamilyMask;
  uint32_t which = std::min(IndexIn(kFamilies, family), 2U);
  v.Number(which, 2);
  if (which == 2) {
    Plain(v, id, 0xFFFF);
    return;
  }
  family = kFamilies[which];
  uint16_t low = id & kLowBits;
  Relative<V, uint16_t>(v, low, facts::kDefaultLpcDeviceId & kLowBits,
                        kLowBits);
  id = static_cast<uint16_t>(family | low);
}

template <class V>
void WalkPads(V &v, sim::BoardSetup &setup) {
  uint32_t straps = 0;
  uint32_t owners = 0;
  uint32_t defaultStraps = 0;
  for (unsigned i = 0; i < 4; ++i) {
    straps |= uint32_t{setup.straps[i] & 1U} << i;
    owners |= uint32_t{setup.strapOwners[i] & 3U} << (2 * i);
    defaultStraps |= uint32_t{Defaults().straps[i]} << i;
  }
  Relative<V, uint32_t>(v, straps, defaultStraps, 0xF);
  v.Number(owners, 0xFF);
  for (unsigned i = 0; i < 4; ++i) {
    setup.straps[i] = (straps >> i) & 1;
    setup.strapOwners[i] = (owners >> (2 * i)) & 3;
  }
  Plain(v, setup.gppB0.owner, 3);
  bool unlocked = !setup.gppB0.txLocked;
  Flag(v, unlocked);
  setup.gppB0.txLocked = !unlocked;
  Relative<V, uint32_t>(v, setup.gppB0.dw0, Defaults().gppB0.dw0, 0xFFFFFFFF);
}

template <class V>
void WalkP2sb(V &v, sim::BoardSetup &setup) {
  Coded(
      v, setup.p2sb, 0xFFFF,
      [](sim::P2sbBehaviour p2sb) {
        return p2sb == sim::P2sbBehaviour::Stuck ? kStuckP2sb
                                                 : IndexIn(kP2sbMenu, p2sb);
      },
      [](uint32_t code) {
        return code == kStuckP2sb ? sim::P2sbBehaviour::Stuck
                                  : kP2sbMenu[code % std::size(kP2sbMenu)];
      });
  if (setup.p2sb == sim::P2sbBehaviour::Error) {
    Coded(
        v, setup.p2sbCompletion, 2,
        [](uint8_t completion) { return completion - 1U; },
        [](uint32_t code) { return static_cast<uint8_t>(code + 1); });
  } else {
    setup.p2sbCompletion = Defaults().p2sbCompletion;
  }
  Relative<V, uint32_t>(v, setup.p2sbBusyReads, sim::P2sb::kDefaultBusyReads,
                        0xF);
}

template <class V>
void WalkDevices(V &v, sim::BoardSetup &setup) {
  for (sim::DeviceKind &device : setup.lan) {
    Picked(v, device, kLanMenu);
  }
  bool ownMacs = setup.macs != Defaults().macs;
  Flag(v, ownMacs);
  for (size_t i = 0; i < setup.macs.size(); ++i) {
    if (!ownMacs) {
      setup.macs[i] = Defaults().macs[i];
      continue;
    }
    std::vector<uint8_t> mac(setup.macs[i].begin(), setup.macs[i].end());
    v.Bytes(mac, mac.size());
    mac.resize(setup.macs[i].size());
    std::copy(mac.begin(), mac.end(), setup.macs[i].begin());
  }
  // 0..16 records, 0 the default board's three.
  constexpr uint32_t kCounts = 17;
  Coded(
      v, setup.slotRecords, kCounts - 1,
      [](unsigned count) {
        return count < kCounts ? (count + kCounts - 3) % kCounts : kNotCarried;
      },
      [](uint32_t code) { return (code + 3) % kCounts; });
  Flag(v, setup.smmBase);
  RareFlag(v, setup.readsZero, 7);

  // Listed in this order, each at most once.
  using sim::ConfigurationTable;
  std::vector<ConfigurationTable> &tables = setup.configurationTables;
  for (ConfigurationTable table :
       {ConfigurationTable::Acpi20, ConfigurationTable::HobList}) {
    bool listed =
        std::find(tables.begin(), tables.end(), table) != tables.end();
    Flag(v, listed);
    std::erase(tables, table);
    if (listed) {
      tables.push_back(table);
    }
  }
}

// A register of the menu, or a raw private register (port, offset) or
// configuration register (function, offset).
template <class V>
void WalkRegisterAddress(V &v, uint64_t &address) {
  constexpr uint32_t kPrivate = std::size(kRegisterMenu);
  constexpr uint32_t kConfig = kPrivate + 1;
  uint32_t which = IndexIn(kRegisterMenu, address);
  if (which == kNotCarried) {
    which = facts::InPrivateWindow(address) ? kPrivate : kConfig;
  }
  v.Number(which, kConfig);
  if (which < kPrivate) {
    address = kRegisterMenu[which];
    return;
  }
  const bool isPrivate = which == kPrivate;
  const uint64_t base =
      isPrivate ? facts::kPrivateWindowBase : facts::kPciWindowBase;
  const unsigned unitShift = isPrivate ? 16 : 12;
  const uint32_t maxUnit = isPrivate ? 0xFF : 0xFFFF;
  const uint32_t maxWord = isPrivate ? 0x3FFF : 0x3F;
  const uint64_t at = address - base;
  uint32_t unit = (at >> unitShift) <= maxUnit
                      ? static_cast<uint32_t>(at >> unitShift)
                      : kNotCarried;
  const uint64_t offset = at & ((uint64_t{1} << unitShift) - 1);
  uint32_t word = offset % 4 == 0 && offset / 4 <= maxWord
                      ? static_cast<uint32_t>(offset / 4)
                      : kNotCarried;
  v.Number(unit, maxUnit);
  v.Number(word, maxWord);
  address = base + (uint64_t{unit} << unitShift) + uint64_t{word} * 4;
}

template <class V>
void WalkRegisters(V &v, sim::BoardSetup &setup) {
  Entries(v, setup.registers, kMaxRegisters,
          [&v, &setup](uint64_t &address, uint32_t &value) {
            WalkRegisterAddress(v, address);
            v.Number(value, 0xFFFFFFFF);
            // A busy P2SB only through the rare stuck choice.
            if (address == facts::kP2sbStatus &&
                setup.p2sb != sim::P2sbBehaviour::Stuck) {
              value &= ~uint32_t{facts::kP2sbBusy};
            }
          });
}

// Per LAN port: its own bridge, one of the menu, or any raw function.
template <class V>
void WalkBridgeKeys(V &v, sim::BoardSetup &setup) {
  std::map<uint64_t, uint16_t> keys;
  for (const facts::LanPort &port : facts::kLanPorts) {
    const auto given = setup.bridgeKeys.find(port.key);
    uint16_t bridge =
        given == setup.bridgeKeys.end() ? port.bridge : given->second;
    constexpr uint32_t kRaw = std::size(kBridgeMenu) + 1;
    const uint32_t inMenu = IndexIn(kBridgeMenu, bridge);
    uint32_t which = bridge == port.bridge   ? 0
                     : inMenu == kNotCarried ? kRaw
                                             : inMenu + 1;
    v.Number(which, kRaw);
    if (which == kRaw) {
      Plain(v, bridge, 0xFFFF);
    } else {
      bridge = which == 0 ? port.bridge : kBridgeMenu[which - 1];
    }
    keys[port.key] = bridge;
  }
  setup.bridgeKeys = std::move(keys);
}

template <class V>
void WalkServices(V &v, sim::BoardSetup &setup) {
  WalkBridgeKeys(v, setup);
  Entries(v, setup.recordCopies, kMaxRecordCopies,
          [&v](uint8_t &instance, std::vector<uint8_t> &bytes) {
            Coded(
                v, instance, 3,
                [](uint8_t at) { return at >= 1 ? at - 1U : kNotCarried; },
                [](uint32_t code) { return static_cast<uint8_t>(code + 1); });
            size_t size =
                std::clamp(bytes.size(), kMinRecordCopy, kMaxRecordCopy);
            Coded(
                v, size, kMaxRecordCopy - kMinRecordCopy,
                [](size_t count) {
                  return static_cast<uint32_t>(count - kMinRecordCopy);
                },
                [](uint32_t code) { return code + kMinRecordCopy; });
            v.Bytes(bytes, size);
            bytes.resize(size);
          });
  RareFlag(v, setup.recordReadsWithoutBuffer, 15);
  Sequence(v, setup.faults, kMaxFaults, [&v](sim::InjectedFault &fault) {
    Coded(
        v, fault.service, std::size(kFaultMenu) - 1,
        [](const std::string &service) {
          const auto at =
              std::find(std::begin(kFaultMenu), std::end(kFaultMenu), service);
          return static_cast<uint32_t>(at - std::begin(kFaultMenu));
        },
        [](uint32_t code) { return std::string(kFaultMenu[code]); });
    Picked(v, fault.status, kStatusMenu);
    Plain(v, fault.occurrence, kMaxOccurrence);
  });
}

// Installs, signals and calls past their limits are dropped, the entry is
// kept once and comes first when the steps never name it.
inline void KeepStepsWithinLimits(std::vector<sim::BootStep> &steps) {
  std::vector<sim::BootStep> kept;
  unsigned entries = 0;
  unsigned signals = 0;
  unsigned calls = 0;
  unsigned installs[3] = {};
  for (const sim::BootStep &step : steps) {
    bool keep = false;
    switch (step.kind) {
      case Kind::Entry:
        keep = entries++ == 0;
        break;
      case Kind::Install:
        keep = installs[static_cast<size_t>(step.service)]++ < kMaxInstallsEach;
        break;
      case Kind::ReadyToBoot:
        keep = signals++ < kMaxReadyToBoot;
        break;
      case Kind::Entry4:
      case Kind::Entry4Exact:
        keep = calls++ < kMaxEntry4Calls;
        break;
    }
    if (keep) {
      kept.push_back(step);
    }
  }
  if (entries == 0) {
    kept.insert(kept.begin(), {Kind::Entry});
  }
  steps = std::move(kept);
}

// No steps: the default boot.
template <class V>
void WalkSteps(V &v, sim::BoardSetup &setup) {
  uint32_t count = setup.steps == Defaults().steps
                       ? 0
                       : static_cast<uint32_t>(std::clamp<size_t>(
                             setup.steps.size(), 1, kMaxSteps));
  v.Number(count, kMaxSteps);
  if (count == 0) {
    setup.steps = Defaults().steps;
    return;
  }
  setup.steps.resize(count);
  for (sim::BootStep &step : setup.steps) {
    Picked(v, step, kStepMenu);
  }
  KeepStepsWithinLimits(setup.steps);
}

// Hostile mode: every byte after the scenario is a hardware read's.
template <class V>
void WalkHostileReads(V &v, sim::BoardSetup &setup, InputMode mode) {
  if (mode == InputMode::Board) {
    setup.hostileReads.reset();
    return;
  }
  std::vector<uint8_t> reads =
      setup.hostileReads.value_or(std::vector<uint8_t>{});
  v.Rest(reads);
  setup.hostileReads = std::move(reads);
}

template <class V>
void WalkInput(V &v, sim::BoardSetup &setup, InputMode mode) {
  WalkDeviceId(v, setup.pchDeviceId);
  WalkPads(v, setup);
  WalkP2sb(v, setup);
  WalkDevices(v, setup);
  WalkRegisters(v, setup);
  WalkServices(v, setup);
  WalkSteps(v, setup);
  WalkHostileReads(v, setup, mode);
}

}  // namespace fuzz::layout

#endif
