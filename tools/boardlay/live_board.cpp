#include "tools/boardlay/live_board.h"

#include <stdexcept>
#include <string>

#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/hex_text.h"
#include "sim/outcome/chipset_json.h"

namespace boardlay {

namespace {

using nlohmann::json;
using sim::Hex;

bool Busy(uint16_t status) { return (status & facts::kP2sbBusy) != 0; }

}  // namespace

void LayBoard(const sim::ChipsetModel &chipset, WindowFile &pci,
              WindowFile &privateRegisters) {
  std::string outside;
  chipset.ForEachRegister([&](uint64_t address, uint8_t width, uint32_t value) {
    WindowFile *file = pci.Holds(address, width / 8) ? &pci
                       : privateRegisters.Holds(address, width / 8)
                           ? &privateRegisters
                           : nullptr;
    if (file == nullptr) {
      if (outside.empty()) {
        outside = Hex(address);
      }
      return;
    }
    if (width == 32) {
      file->Store<uint32_t>(address, value);
    } else {
      file->Store<uint8_t>(address, static_cast<uint8_t>(value));
    }
  });
  if (!outside.empty()) {
    // Controller memory must sit inside a window, or nothing backs it.
    throw std::runtime_error("the board holds a register at " + outside +
                             ", which neither window file backs");
  }
}

LiveBoard::LiveBoard(sim::ChipsetModel &chipset, WindowFile &pci,
                     WindowFile &privateRegisters)
    : chipset_(chipset), pci_(pci), private_(privateRegisters) {
  chipset_.ForEachRegister(
      [&](uint64_t address, uint8_t width, uint32_t value) {
        if (width == 32 && private_.Holds(address, 4)) {
          registers_.push_back({address, value});
        }
      });
  const auto id =
      static_cast<uint16_t>(chipset_.Peek(facts::kLpcDeviceId, 16).value_or(0));
  const facts::Series series = facts::SeriesOfLpcDeviceId(id);
  gppB0Dw0_ = facts::PadDw0(series, facts::kGppB0);
  gppB0LockTx_ = facts::PadLockTx(series, facts::kGppB0).address;
  lastBusy_ = Busy(pci_.Load<uint16_t>(facts::kP2sbStatus));
}

std::vector<AddressRange> LiveBoard::StoreRanges() const {
  std::vector<uint64_t> addresses;
  for (const PrivateRegister &reg : registers_) {
    addresses.push_back(reg.address);
  }
  std::vector<AddressRange> ranges = {{facts::kP2sbStatus, 2}};
  for (const AddressRange &range : CoveringRanges(addresses, 4)) {
    ranges.push_back(range);
  }
  return ranges;
}

void LiveBoard::Step() {
  FollowPrivateStores();
  const uint16_t status = pci_.Load<uint16_t>(facts::kP2sbStatus);
  if (Busy(status) && !lastBusy_) {
    ServeMessage(status);
  } else {
    lastBusy_ = Busy(status);
  }
}

void LiveBoard::StatusRead() {
  if (!WantsStatusReads()) {
    return;
  }
  chipset_.Read(facts::kP2sbStatus, 16);
  AfterCompletion();
  PrepareNextStatusRead();
}

bool LiveBoard::WantsStatusReads() const {
  return chipset_.P2sbCountsStatusReads() &&
         chipset_.P2sbStatusReadsUnchanged() != UINT64_MAX;
}

json LiveBoard::Account() const {
  json notes = json::array();
  for (const std::string &note : chipset_.Notes()) {
    notes.push_back(note);
  }
  const json gppB0 = {{"dw0_address", Hex(gppB0Dw0_)},
                      {"dw0", Hex(private_.Load<uint32_t>(gppB0Dw0_))},
                      {"lock_tx_address", Hex(gppB0LockTx_)},
                      {"lock_tx", Hex(private_.Load<uint32_t>(gppB0LockTx_))}};
  json messages = json::array();
  for (size_t i = 0; i < chipset_.SidebandMessages().size(); ++i) {
    json served = sim::SidebandMessageJson(chipset_.SidebandMessages()[i]);
    if (i < lockChanges_.size()) {
      served.update(lockChanges_[i]);
    }
    messages.push_back(served);
  }
  return {{"gpp_b0", gppB0},
          {"messages", messages},
          {"stores_changed", changed_},
          {"notes", notes}};
}

// A store the guest made to a private register goes through the model's
// store rules; what the model keeps is what memory holds afterwards.
void LiveBoard::FollowPrivateStores() {
  for (PrivateRegister &reg : registers_) {
    const uint32_t stored = private_.Load<uint32_t>(reg.address);
    if (stored == reg.value) {
      continue;
    }
    chipset_.Write(reg.address, 32, stored);
    const uint32_t kept = chipset_.Peek(reg.address).value_or(stored);
    if (kept != stored) {
      private_.Store<uint32_t>(reg.address, kept);
      changed_.push_back({{"address", Hex(reg.address)},
                          {"stored", Hex(stored)},
                          {"kept", Hex(kept)}});
    }
    reg.value = kept;
  }
}

// The guest set busy: the message registers as it left them go to the
// model's P2SB in the driver's order, the status register last.
void LiveBoard::ServeMessage(uint16_t status) {
  chipset_.Write(facts::kP2sbAddress, 32,
                 pci_.Load<uint32_t>(facts::kP2sbAddress));
  chipset_.Write(facts::kP2sbExtendedAddress, 32,
                 pci_.Load<uint32_t>(facts::kP2sbExtendedAddress));
  chipset_.Write(facts::kP2sbRouting, 16,
                 pci_.Load<uint16_t>(facts::kP2sbRouting));
  chipset_.Write(facts::kP2sbData, 32, pci_.Load<uint32_t>(facts::kP2sbData));
  chipset_.Write(facts::kP2sbStatus, 16, status);
  PrepareNextStatusRead();
}

// When the guest's next status read is the one the message completes on,
// the model takes that read now, so memory shows the completion to it.
void LiveBoard::PrepareNextStatusRead() {
  if (WantsStatusReads() && chipset_.P2sbStatusReadsUnchanged() == 0) {
    chipset_.Read(facts::kP2sbStatus, 16);
    AfterCompletion();
  }
  const auto answer = static_cast<uint16_t>(
      chipset_.Peek(facts::kP2sbStatus, 16).value_or(0xFFFF));
  pci_.Store<uint16_t>(facts::kP2sbStatus, answer);
  lastBusy_ = Busy(answer);
}

// A message that completed wrote its lock register in the model: memory
// takes the value.
void LiveBoard::AfterCompletion() {
  const std::vector<sim::SidebandMessage> &sent = chipset_.SidebandMessages();
  while (lockChanges_.size() < sent.size() &&
         (sent[lockChanges_.size()].completion.has_value() ||
          lockChanges_.size() + 1 < sent.size())) {
    const sim::SidebandMessage &message = sent[lockChanges_.size()];
    json change = json::object();
    if (message.applied) {
      const uint64_t lock = facts::PrivateRegister(
          message.port, static_cast<uint16_t>(message.offset));
      const uint32_t was = private_.Load<uint32_t>(lock);
      const uint32_t now = chipset_.Peek(lock).value_or(was);
      private_.Store<uint32_t>(lock, now);
      for (PrivateRegister &reg : registers_) {
        if (reg.address == lock) {
          reg.value = now;
        }
      }
      change = {{"lock_register", Hex(lock)},
                {"lock_before", Hex(was)},
                {"lock_after", Hex(now)}};
    }
    lockChanges_.push_back(change);
  }
}

}  // namespace boardlay
