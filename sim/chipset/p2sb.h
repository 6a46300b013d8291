// The P2SB function (bus 0, device 31, function 1) and its sideband message
// engine, which delivers GPIO lock updates to the communities.
#ifndef BOARDCFG_SIM_CHIPSET_P2SB_H
#define BOARDCFG_SIM_CHIPSET_P2SB_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/chipset/gpio_community.h"
#include "sim/chipset/pci_function.h"

namespace sim {

enum class P2sbState : uint8_t {
  Ok,                  // messages complete with status 0
  Absent,              // the function reads all-ones, as when hidden
  Stuck,               // busy never clears
  HangsOnMessage,      // idle, but the first message started never completes
  CompletesWithError,  // messages complete with a chosen non-zero status
};

struct SidebandMessage {
  uint8_t port;
  uint32_t offset;  // extended address << 16 | address bits 15..0
  uint8_t opcode;
  uint16_t routing;
  uint32_t data;
  std::optional<uint8_t> completion;  // empty while it never completes
  bool applied;                       // a lock register took the data
  // Reads of the status register from the start up to and including the
  // one that saw the completion (or so far, while it has not completed).
  uint64_t statusReads = 0;
};

class P2sb {
 public:
  P2sb(PciFunction &function, GpioCommunities &gpio,
       std::vector<std::string> &notes);
  P2sb(const P2sb &) = delete;
  P2sb &operator=(const P2sb &) = delete;

  // Status reads a message started stays busy for before the read after
  // them sees it complete.
  static constexpr uint32_t kDefaultBusyReads = 3;

  // completion is the status (1..3) of CompletesWithError.
  void SetState(P2sbState state, uint8_t completion = 1);
  void SetBusyReads(uint32_t reads) { busyReads_ = reads; }
  const std::vector<SidebandMessage> &Messages() const { return messages_; }

  // A read covering the status register is about to be answered: while a
  // message is under way it counts, and the read after the busy ones
  // completes it.
  void BeforeStatusRead();
  // How many status reads after this one are certain to answer as it did
  // (UINT64_MAX when none will change it: no message is under way, or one
  // never completes).
  uint64_t StatusReadsUnchanged() const;
  // A message is under way: every status read counts, a repeat answered
  // without BeforeStatusRead through CountRepeatedStatusRead.
  bool CountsStatusReads() const { return pending_; }
  void CountRepeatedStatusRead() { ++messages_.back().statusReads; }

 private:
  void AfterWrite(uint16_t offset, uint8_t width, uint32_t value);
  void Start();
  void Complete();

  PciFunction &function_;
  GpioCommunities &gpio_;
  std::vector<std::string> &notes_;
  P2sbState state_ = P2sbState::Ok;
  uint8_t completion_ = 1;
  uint32_t busyReads_ = kDefaultBusyReads;
  bool pending_ = false;  // the last message has not completed
  std::vector<SidebandMessage> messages_;
};

}  // namespace sim

#endif
