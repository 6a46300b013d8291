#include "sim/board/invariants.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/board_actions.h"
#include "sim/chipset/chipset_model.h"
#include "sim/facts/board.h"
#include "sim/facts/efi_guids.h"
#include "sim/facts/gpio_layout.h"
#include "sim/firmware/firmware_model.h"
#include "sim/hex_text.h"

namespace sim {

namespace {

// GPP_B0 lies at the same place in both series.
constexpr uint64_t kGppB0Dw0 = facts::PadDw0(facts::Series::H, facts::kGppB0);
static_assert(facts::PadDw0(facts::Series::Lp, facts::kGppB0) == kGppB0Dw0);

// In (address, value) pairs sorted by address, the first at or past the
// address.
template <typename Pairs>
auto FirstAtOrPast(Pairs &pairs, uint64_t address) {
  return std::lower_bound(
      pairs.begin(), pairs.end(), address,
      [](const auto &pair, uint64_t key) { return pair.first < key; });
}

// A store the driver makes to a pad's DW0 or DW1 needs a read of the pad's
// ownership, the last one before the store, that showed the host owning it.
// Pads are taken in the layout of the series the driver last read the
// LPC/eSPI device ID of.
class PadOwnershipSeen {
 public:
  void Note(const Access &access) {
    if (access.op != AccessOp::Read || access.width != 32) {
      if (access.address == facts::kLpcDeviceId &&
          access.op == AccessOp::Read) {
        series_ =
            facts::SeriesOfLpcDeviceId(static_cast<uint16_t>(access.value));
      }
      return;
    }
    auto read = FirstAtOrPast(ownershipRead_, access.address);
    if (read == ownershipRead_.end() || read->first != access.address) {
      read = ownershipRead_.insert(read, {access.address, 0});
    }
    read->second = access.value;
  }
  // Empty for a store to no pad, or to a pad the driver saw host-owned.
  std::optional<std::string> StoreToPadNotOwned(const Access &access) const {
    if (access.op != AccessOp::Write) {
      return std::nullopt;
    }
    const facts::GpioLayout &layout = facts::LayoutOf(series_);
    for (uint32_t index = 0; index < layout.count; ++index) {
      const facts::GpioGroup &group = layout[index];
      for (uint16_t number = 0; number < group.pads; ++number) {
        const uint64_t dw0 = facts::PadDw0(group, number);
        if (access.address != dw0 && access.address != dw0 + 4) {
          continue;
        }
        const facts::RegisterBits owner = facts::PadOwnership(group, number);
        auto read = FirstAtOrPast(ownershipRead_, owner.address);
        if (read != ownershipRead_.end() && read->first == owner.address &&
            (read->second & owner.mask) == 0) {
          return std::nullopt;
        }
        return "a store to pad " + std::to_string(number) + " of group " +
               std::to_string(index) +
               " without the host owning it: " + Describe(access);
      }
    }
    return std::nullopt;
  }

 private:
  using Reads = std::vector<std::pair<uint64_t, uint32_t>>;
  facts::Series series_ = facts::Series::H;
  Reads ownershipRead_;  // the last value of every 32-bit read, by address
};

// (address, op, width) of every access the driver may make: the registers
// it names whatever the board (built once, on first use) and those the
// boot's bridges, controllers and BARs add.
class NamedRegisters {
 public:
  void AllowBridge(uint16_t bridge) {
    Allow(facts::PciRegister(bridge, facts::kBridgeSubordinateBusOffset),
          AccessOp::Read, 8);
  }
  void AllowController(uint16_t device) {
    Allow(facts::PciRegister(device, facts::kPciIdsOffset), AccessOp::Read, 32);
    Allow(facts::PciRegister(device, facts::kPciCommandOffset), AccessOp::Read,
          8);
    Allow(facts::PciRegister(device, facts::kPciCommandOffset), AccessOp::Write,
          8);
    Allow(facts::PciRegister(device, facts::kPciBar0Offset), AccessOp::Read,
          32);
  }
  void AllowReceiveAddress(uint32_t base) {
    for (uint32_t i = 0; i < 6; ++i) {
      Allow(base + facts::kReceiveAddressOffset + i, AccessOp::Read, 8);
    }
  }
  bool Allows(const Access &access) const {
    const Key key{access.address, access.op, access.width};
    return std::binary_search(Fixed().begin(), Fixed().end(), key) ||
           std::find(added_.begin(), added_.end(), key) != added_.end();
  }

 private:
  using Key = std::tuple<uint64_t, AccessOp, uint8_t>;

  // Sorted, without repeats.
  static const std::vector<Key> &Fixed() {
    static const std::vector<Key> fixed = [] {
      std::vector<Key> keys = {
          {facts::kLpcDeviceId, AccessOp::Read, 16},
          {facts::kP2sbVendorId, AccessOp::Read, 16},
          {facts::kP2sbAddress, AccessOp::Write, 32},
          {facts::kP2sbData, AccessOp::Write, 32},
          {facts::kP2sbStatus, AccessOp::Read, 16},
          {facts::kP2sbStatus, AccessOp::Write, 16},
          {facts::kP2sbRouting, AccessOp::Write, 16},
          {facts::kP2sbExtendedAddress, AccessOp::Write, 32},
          {kGppB0Dw0, AccessOp::Write, 32}};
      AddLayout(facts::kGpioLayoutH, keys);
      AddLayout(facts::kGpioLayoutLp, keys);
      std::sort(keys.begin(), keys.end());
      keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
      return keys;
    }();
    return fixed;
  }
  // What the driver may read by group: ownership, the registers it reads by
  // kind, and every pad's DW0.
  static void AddLayout(const facts::GpioLayout &layout,
                        std::vector<Key> &keys) {
    auto read = [&](const facts::GpioGroup &group, uint32_t offset) {
      keys.emplace_back(facts::GroupRegister(group, offset), AccessOp::Read,
                        32);
    };
    for (const facts::GpioGroup &group : layout) {
      for (uint32_t k = 0; k < facts::OwnershipRegisterCount(group); ++k) {
        read(group, group.own + k * facts::kOwnershipStride);
      }
      const uint16_t kinds[] = {group.hostSw, group.gpeEn,  group.gpeSts,
                                group.smiEn,  group.smiSts, group.nmiEn};
      for (uint32_t dw = 0; dw < facts::PadBitRegisterCount(group); ++dw) {
        for (uint16_t field : kinds) {
          if (field != facts::kNoRegister) {
            read(group, field + dw * facts::kPadBitStride);
          }
        }
        read(group, group.lock + dw * facts::kLockStride);
        read(group, group.lockTx + dw * facts::kLockStride);
      }
      for (uint16_t pad = 0; pad < group.pads; ++pad) {
        keys.emplace_back(facts::PadDw0(group, pad), AccessOp::Read, 32);
      }
    }
  }
  void Allow(uint64_t address, AccessOp op, uint8_t width) {
    const Key key{address, op, width};
    if (std::find(added_.begin(), added_.end(), key) == added_.end()) {
      added_.push_back(key);
    }
  }

  std::vector<Key> added_;
};

bool IsCloseOf(const ServiceCall &call, EFI_EVENT event) {
  return call.caller == Caller::Driver && call.service == "CloseEvent" &&
         call.args[0] == reinterpret_cast<uint64_t>(event);
}

struct CommandProbe {
  std::optional<uint32_t> read;
  std::optional<uint32_t> lastWrite;
};

// A probe that wrote the command register ends by writing back what it read.
void CheckRestored(uint64_t address, const CommandProbe &probe,
                   std::vector<std::string> &broken) {
  if (probe.lastWrite && probe.lastWrite != probe.read) {
    broken.push_back("command register " + Hex(address) +
                     " not written back as its probe read it");
  }
}

void CheckAccesses(const FirmwareModel &firmware, const ChipsetModel &chipset,
                   HardwareReads reads, std::vector<std::string> &broken) {
  NamedRegisters named;
  std::set<uint16_t> bridges;
  for (const ServiceCall &call :
       firmware.Calls().To("PciLocationService.LookupBridge")) {
    const auto bridge = static_cast<uint16_t>(call.status);
    named.AllowBridge(bridge);
    bridges.insert(bridge);
  }

  PadOwnershipSeen ownership;
  // By command-register address: each probe reads it, may write it, and
  // writes back what it read.
  std::map<uint64_t, uint32_t> firstCommand;
  std::map<uint64_t, CommandProbe> probes;
  for (const Access &access : chipset.Trace().Entries()) {
    if (access.op == AccessOp::Read && access.width == 8) {
      for (uint16_t bridge : bridges) {
        if (access.address ==
            facts::PciRegister(bridge, facts::kBridgeSubordinateBusOffset)) {
          named.AllowController(static_cast<uint16_t>(access.value << 8));
        }
      }
    }
    const bool inPciWindow = facts::InPciWindow(access.address);
    if (inPciWindow && access.op == AccessOp::Read && access.width == 32 &&
        (access.address & 0xFFF) == facts::kPciBar0Offset) {
      named.AllowReceiveAddress(access.value & ~0xFU);
    }
    ownership.Note(access);
    if (auto store = ownership.StoreToPadNotOwned(access)) {
      broken.push_back(*store);
    }
    if (!named.Allows(access)) {
      broken.push_back("access to a register the driver does not name: " +
                       Describe(access));
      continue;
    }
    if (inPciWindow && (access.address & 0xFFF) == facts::kPciCommandOffset &&
        access.width == 8) {
      CommandProbe &probe = probes[access.address];
      if (access.op == AccessOp::Read) {
        CheckRestored(access.address, probe, broken);
        firstCommand.emplace(access.address, access.value);
        probe = {access.value, std::nullopt};
      } else {
        probe.lastWrite = access.value;
      }
    }
  }
  for (const auto &[address, probe] : probes) {
    CheckRestored(address, probe, broken);
    // Invented reads may differ from one probe to the next; a modelled
    // register holds what was last written.
    const auto first = firstCommand.find(address);
    if (reads == HardwareReads::Modelled && probe.lastWrite &&
        (first == firstCommand.end() || *probe.lastWrite != first->second)) {
      broken.push_back("command register " + Hex(address) +
                       " does not end as it began");
    }
  }
  if (reads == HardwareReads::Modelled) {
    for (const std::string &note : chipset.Notes()) {
      broken.push_back("chipset: " + note);
    }
  }
}

// A buffer's address may be handed out again once it is freed, so each
// handout owns the FreePool calls up to the next handout of its address.
void CheckPool(const FirmwareModel &firmware,
               std::vector<std::string> &broken) {
  const std::vector<ServiceCall> &calls = firmware.Calls().All();
  const auto &handouts = firmware.Memory().PoolHandouts();
  for (size_t h = 0; h < handouts.size(); ++h) {
    const auto address = reinterpret_cast<uint64_t>(handouts[h].buffer);
    size_t end = calls.size();
    for (size_t later = h + 1; later < handouts.size(); ++later) {
      if (handouts[later].buffer == handouts[h].buffer) {
        end = handouts[later].call;
        break;
      }
    }
    size_t frees = 0;
    for (size_t i = handouts[h].call; i < end; ++i) {
      frees += calls[i].caller == Caller::Driver &&
               calls[i].service == "FreePool" && calls[i].args[0] == address;
    }
    const bool handedToDriver = !EFI_ERROR(calls.at(handouts[h].call).status);
    if (frees != (handedToDriver ? 1U : 0U)) {
      broken.push_back("pool buffer " + Hex(address) + " freed " +
                       std::to_string(frees) + " times");
    }
  }
  for (const std::string &violation : firmware.Calls().Violations()) {
    broken.push_back("firmware: " + violation);
  }
}

// A notify function that did its work must have closed its own event.
void CheckEvents(const FirmwareModel &firmware,
                 std::vector<std::string> &broken) {
  const std::vector<ServiceCall> &calls = firmware.Calls().All();
  for (const EventQueue::NotifyRun &run : firmware.Events().NotifyRuns()) {
    bool closed = false;
    bool serviceFound = false;
    for (size_t i = run.firstCall; i < run.endCall; ++i) {
      closed |= IsCloseOf(calls[i], run.event);
      serviceFound |=
          calls[i].caller == Caller::Driver &&
          calls[i].service == "LocateProtocol" && calls[i].guid &&
          SameGuid(*calls[i].guid, facts::efi::kSetupStringService) &&
          !EFI_ERROR(calls[i].status);
    }
    const bool mustClose =
        run.notify != OnStringServiceInstalled || serviceFound;
    if (mustClose != closed) {
      broken.push_back(std::string("a notify run ") +
                       (closed ? "closed an event it had to keep open"
                               : "left its event open after its work"));
    }
  }
}

// An image whose entry fails is unloaded: nothing may point into it.
void CheckErrorEntry(const SimulatedBoot &boot, const FirmwareModel &firmware,
                     std::vector<std::string> &broken) {
  if (!EFI_ERROR(boot.EntryStatus())) {
    return;
  }
  const std::vector<ServiceCall> &calls = firmware.Calls().All();
  auto failed = [&](auto matches) {
    for (const ServiceCall &call : calls) {
      if (matches(call) && EFI_ERROR(call.status)) {
        return true;
      }
    }
    return false;
  };
  if (!firmware.Protocols().HandlesWith(facts::efi::kBoardService).empty() &&
      !failed([](const ServiceCall &call) {
        return call.service == "UninstallProtocolInterface";
      })) {
    broken.push_back("board service still installed after an error entry");
  }
  if (firmware.Events().OpenCount() != 0 &&
      !failed([](const ServiceCall &call) {
        return call.service == "CloseEvent";
      })) {
    broken.push_back("driver events still open after an error entry");
  }
}

// Entry 4 leaves the first three bytes of its first buffer to the caller.
void CheckBoardServiceAnswers(const SimulatedBoot &boot,
                              std::vector<std::string> &broken) {
  for (const BoardServiceAnswer &answer : boot.Answers()) {
    for (size_t i = 0; i < 3; ++i) {
      if (answer.first[i] != facts::kLanFirstCanary) {
        broken.push_back("entry 4 wrote byte " + std::to_string(i) +
                         " of its first buffer");
      }
    }
  }
}

}  // namespace

std::vector<std::string> CheckInvariants(const SimulatedBoot &boot,
                                         HardwareReads reads) {
  std::vector<std::string> broken;
  const FirmwareModel &firmware = boot.Board().Firmware();
  CheckAccesses(firmware, boot.Board().Chipset(), reads, broken);
  CheckPool(firmware, broken);
  CheckEvents(firmware, broken);
  CheckErrorEntry(boot, firmware, broken);
  CheckBoardServiceAnswers(boot, broken);
  return broken;
}

}  // namespace sim
