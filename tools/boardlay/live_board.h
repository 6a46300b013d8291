// A scenario's board in the two window files: laid from the chipset model,
// then kept live while a guest runs on them.
//
// Memory answers loads and stores but cannot act, so the model acts in its
// place, right after each guest store to a register whose stores it
// constrains (StoreRanges: the guest stops there, boardlay's write
// watchpoints), before the guest's next instruction: a P2SB message started
// by the busy bit is handed to the model's own P2SB, and a store to a
// private register is handed to the model's GPIO communities, whose
// resulting value (a TX state kept under its lock, a pad the host does not
// own or whose configuration is locked, a read-only lock or ownership
// register left as it was) goes back to memory.
//
// Memory cannot count the guest's loads either: each status read the guest
// makes while a message is under way is told to the board (StatusRead) by
// whoever sees it (boardlay's read watchpoint on the status register). The
// model counts it, and memory is set to what the guest's next status read
// must see: still busy, or, when that read is the one the P2SB completes
// the message on, the completion, which the model then counts at once.
#ifndef BOARDCFG_TOOLS_BOARDLAY_LIVE_BOARD_H
#define BOARDCFG_TOOLS_BOARDLAY_LIVE_BOARD_H

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "sim/chipset/chipset_model.h"
#include "tools/boardlay/watched_ranges.h"
#include "tools/boardlay/window_file.h"

namespace boardlay {

// Writes every value the model holds into the file of its window; throws
// std::runtime_error for a register neither file holds.
void LayBoard(const sim::ChipsetModel &chipset, WindowFile &pci,
              WindowFile &privateRegisters);

class LiveBoard {
 public:
  // The files must hold the board as LayBoard laid it from this model.
  LiveBoard(sim::ChipsetModel &chipset, WindowFile &pci,
            WindowFile &privateRegisters);

  // Where a guest store must stop the guest for the board to act on it:
  // the P2SB status register, then every private register, folded into a
  // few ranges.
  std::vector<AddressRange> StoreRanges() const;
  // Looks at the files once and acts on what the guest stored since.
  void Step();
  // The guest read the status register once while a message was under way.
  void StatusRead();
  // A message is under way whose completion waits for status reads.
  bool WantsStatusReads() const;

  // What the board did: the P2SB messages served (with the status reads
  // each stayed busy for, up to the one that saw it complete), the stores
  // the model changed, the model's notes, and where GPP_B0's DW0 and LockTx
  // lie with the values memory holds there now.
  nlohmann::json Account() const;

 private:
  struct PrivateRegister {
    uint64_t address;
    uint32_t value;  // as last seen in memory and agreed by the model
  };

  void FollowPrivateStores();
  void ServeMessage(uint16_t status);
  // Memory's status as the guest's next read must find it.
  void PrepareNextStatusRead();
  void AfterCompletion();

  sim::ChipsetModel &chipset_;
  WindowFile &pci_;
  WindowFile &private_;
  std::vector<PrivateRegister> registers_;
  uint64_t gppB0Dw0_;
  uint64_t gppB0LockTx_;
  bool lastBusy_ = false;
  nlohmann::json lockChanges_ = nlohmann::json::array();  // one per message
  nlohmann::json changed_ = nlohmann::json::array();
};

}  // namespace boardlay

#endif
