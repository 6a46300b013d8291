#include "sim/chipset/p2sb.h"

#include <cstdio>
#include <stdexcept>

#include "sim/facts/board.h"

namespace sim {

P2sb::P2sb(PciFunction &function, GpioCommunities &gpio,
           std::vector<std::string> &notes)
    : function_(function), gpio_(gpio), notes_(notes) {
  function_.Define(facts::kP2sbVendorIdOffset, 2, facts::kIntelVendorId);
  function_.Define(facts::kP2sbVendorIdOffset + 2, 2, facts::kP2sbDeviceId);
  function_.Define(facts::kP2sbAddressOffset, 4, 0, 0xFFFFFFFF);
  function_.Define(facts::kP2sbDataOffset, 4, 0, 0xFFFFFFFF);
  function_.Define(facts::kP2sbStatusOffset, 2, 0,
                   ~facts::kP2sbCompletionBits & 0xFFFF);
  function_.Define(facts::kP2sbRoutingOffset, 2, 0, 0xFFFF);
  function_.Define(facts::kP2sbExtendedAddressOffset, 4, 0, 0xFFFFFFFF);
  function_.afterWrite = [this](uint16_t offset, uint8_t width,
                                uint32_t value) {
    AfterWrite(offset, width, value);
  };
}

void P2sb::SetState(P2sbState state, uint8_t completion) {
  if (state == P2sbState::CompletesWithError &&
      (completion < 1 || completion > 3)) {
    throw std::invalid_argument("completion status must be 1, 2 or 3");
  }
  state_ = state;
  completion_ = completion;
  function_.SetPresent(state != P2sbState::Absent);
  const uint32_t status = function_.Get(facts::kP2sbStatusOffset, 2);
  function_.Set(facts::kP2sbStatusOffset, 2,
                state == P2sbState::Stuck ? status | facts::kP2sbBusy
                                          : status & ~facts::kP2sbBusy);
}

void P2sb::AfterWrite(uint16_t offset, uint8_t width, uint32_t value) {
  if (facts::kP2sbStatusOffset < offset ||
      facts::kP2sbStatusOffset >= offset + width / 8) {
    return;
  }
  const uint32_t written = value >> (8 * (facts::kP2sbStatusOffset - offset));
  const bool wasUnderWay = pending_;
  if (state_ == P2sbState::Stuck || pending_) {
    // Busy is the engine's: a store cannot clear it.
    function_.Set(
        facts::kP2sbStatusOffset, 2,
        function_.Get(facts::kP2sbStatusOffset, 2) | facts::kP2sbBusy);
  }
  if ((written & facts::kP2sbBusy) == 0) {
    return;
  }
  if (wasUnderWay) {
    notes_.push_back("sideband message started while the one before is busy");
    return;
  }
  Start();
}

// The message is taken as the registers hold it when busy is set; it
// completes on the status read after the busy ones.
void P2sb::Start() {
  const uint32_t address = function_.Get(facts::kP2sbAddressOffset, 4);
  const uint16_t status =
      static_cast<uint16_t>(function_.Get(facts::kP2sbStatusOffset, 2));
  messages_.push_back(SidebandMessage{
      static_cast<uint8_t>(address >> 24),
      function_.Get(facts::kP2sbExtendedAddressOffset, 4) << 16 |
          (address & 0xFFFF),
      static_cast<uint8_t>(status >> 8),
      static_cast<uint16_t>(function_.Get(facts::kP2sbRoutingOffset, 2)),
      function_.Get(facts::kP2sbDataOffset, 4), std::nullopt, false, 0});
  pending_ = true;
  if (state_ == P2sbState::HangsOnMessage) {
    state_ = P2sbState::Stuck;
  }
  function_.Set(facts::kP2sbStatusOffset, 2, status | facts::kP2sbBusy);
}

void P2sb::BeforeStatusRead() {
  if (!pending_) {
    return;
  }
  SidebandMessage &message = messages_.back();
  ++message.statusReads;
  if (state_ != P2sbState::Stuck && message.statusReads > busyReads_) {
    Complete();
  }
}

uint64_t P2sb::StatusReadsUnchanged() const {
  if (!pending_ || state_ == P2sbState::Stuck) {
    return UINT64_MAX;
  }
  const uint64_t seen = messages_.back().statusReads;
  return seen < busyReads_ ? busyReads_ - seen : 0;
}

// One that is not a GPIO lock update of a Lock or LockTx register changes
// nothing and completes with status 1 (unsuccessful), as the fabric reports
// a request no endpoint accepts; it is also noted as a fault of the
// firmware.
void P2sb::Complete() {
  pending_ = false;
  SidebandMessage &message = messages_.back();
  uint8_t completion = completion_;
  if (state_ == P2sbState::Ok) {
    message.applied =
        message.opcode == facts::kSidebandGpioLockOpcode &&
        gpio_.SidebandWrite(message.port, message.offset, message.data);
    completion = message.applied ? 0 : 1;
    if (!message.applied) {
      char text[96];
      std::snprintf(text, sizeof text,
                    "sideband opcode 0x%02X to port 0x%02X offset 0x%X "
                    "reaches no lock register",
                    message.opcode, message.port, message.offset);
      notes_.push_back(text);
    }
  }
  message.completion = completion;
  const uint32_t status = function_.Get(facts::kP2sbStatusOffset, 2);
  function_.Set(facts::kP2sbStatusOffset, 2,
                (status & ~(facts::kP2sbBusy | facts::kP2sbCompletionBits)) |
                    (completion << 1));
}

}  // namespace sim
