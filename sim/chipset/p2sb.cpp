#include "sim/chipset/p2sb.h"

#include <cstdio>
#include <stdexcept>

#include "sim/facts/board.h"

namespace sim {

namespace {

constexpr uint16_t kAddress = facts::kP2sbAddressOffset;
constexpr uint16_t kData = facts::kP2sbDataOffset;
constexpr uint16_t kStatus = facts::kP2sbStatusOffset;
constexpr uint16_t kRouting = facts::kP2sbRoutingOffset;
constexpr uint16_t kExtendedAddress = facts::kP2sbExtendedAddressOffset;
constexpr uint16_t kBusy = facts::kP2sbBusy;
constexpr uint16_t kCompletionBits = facts::kP2sbCompletionBits;

}  // namespace

P2sb::P2sb(PciFunction &function, GpioCommunities &gpio,
           std::vector<std::string> &notes)
    : function_(function), gpio_(gpio), notes_(notes) {
  function_.Define(facts::kP2sbVendorIdOffset, 2, facts::kIntelVendorId);
  function_.Define(facts::kP2sbVendorIdOffset + 2, 2, facts::kP2sbDeviceId);
  function_.Define(kAddress, 4, 0, 0xFFFFFFFF);
  function_.Define(kData, 4, 0, 0xFFFFFFFF);
  function_.Define(kStatus, 2, 0, ~kCompletionBits & 0xFFFF);
  function_.Define(kRouting, 2, 0, 0xFFFF);
  function_.Define(kExtendedAddress, 4, 0, 0xFFFFFFFF);
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
  const uint32_t status = function_.Get(kStatus, 2);
  function_.Set(kStatus, 2,
                state == P2sbState::Stuck ? status | kBusy : status & ~kBusy);
}

void P2sb::AfterWrite(uint16_t offset, uint8_t width, uint32_t value) {
  if (kStatus < offset || kStatus >= offset + width / 8) {
    return;
  }
  const uint32_t written = value >> (8 * (kStatus - offset));
  if (state_ == P2sbState::Stuck) {
    function_.Set(kStatus, 2, function_.Get(kStatus, 2) | kBusy);
  }
  if ((written & kBusy) != 0) {
    Start();
  }
}

// The message completes within the store that starts it. One that is not
// a GPIO lock update of a Lock or LockTx register changes nothing and
// completes with status 1 (unsuccessful), as the fabric reports a request
// no endpoint accepts; it is also noted as a fault of the firmware.
void P2sb::Start() {
  const uint32_t address = function_.Get(kAddress, 4);
  const uint16_t status = static_cast<uint16_t>(function_.Get(kStatus, 2));
  SidebandMessage message{
      static_cast<uint8_t>(address >> 24),
      function_.Get(kExtendedAddress, 4) << 16 | (address & 0xFFFF),
      static_cast<uint8_t>(status >> 8),
      static_cast<uint16_t>(function_.Get(kRouting, 2)),
      function_.Get(kData, 4),
      std::nullopt,
      false};
  if (state_ == P2sbState::Stuck || state_ == P2sbState::HangsOnMessage) {
    state_ = P2sbState::Stuck;
    function_.Set(kStatus, 2, status | kBusy);
    messages_.push_back(message);
    return;
  }
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
  messages_.push_back(message);
  function_.Set(kStatus, 2,
                (status & ~(kBusy | kCompletionBits)) | (completion << 1));
}

}  // namespace sim
