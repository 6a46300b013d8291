// One boot of the driver on a simulated board of its own: the firmware, the
// chipset and the outside services set up from a BoardSetup, then driven
// step by step.
#ifndef BOARDCFG_SIM_BOARD_SIMULATED_BOOT_H
#define BOARDCFG_SIM_BOARD_SIMULATED_BOOT_H

#include <array>
#include <cstdint>
#include <vector>

#include "platform/uefi.h"
#include "sim/board/simulated_board.h"
#include "sim/facts/board.h"
#include "sim/scenario/board_setup.h"

namespace sim {

// What another driver got from the board service: the answers of its
// plain entries, then entry 4 with canary-filled buffers.
struct BoardServiceAnswer {
  bool asked = false;
  bool installed = false;
  bool exactBuffers = false;  // entry 4 alone, buffers of the promised size
  // Entries 0, 2 and 5 answer a BOOLEAN, 1 and 6 a status; 3 and 7 are
  // expected to be null.
  bool entry0 = false;
  EFI_STATUS entry1 = EFI_SUCCESS;
  bool entry2 = false;
  bool entry3Null = false;
  bool entry5 = false;
  EFI_STATUS entry6 = EFI_SUCCESS;
  bool entry7Null = false;
  EFI_STATUS status = EFI_SUCCESS;  // of entry 4; EFI_NOT_FOUND if absent
  std::array<uint8_t, facts::kLanFirstBufferSize> first{};
  std::array<uint8_t, facts::kLanSecondBufferSize> second{};
};

struct PadState {
  uint32_t dw0 = 0;
  bool txLocked = false;
};

class SimulatedBoot {
 public:
  // Builds a board for the setup, the driver freshly loaded onto it.
  explicit SimulatedBoot(const BoardSetup &setup);

  const BoardSetup &Setup() const { return setup_; }
  SimulatedBoard &Board() { return board_; }
  const SimulatedBoard &Board() const { return board_; }

  // Plays the setup's steps in order.
  void Play();
  void Play(const BootStep &step);

  EFI_STATUS RunEntry();
  void Install(OutsideService service);
  void SignalReadyToBoot();
  // Asks the board service as another driver would: entries 0, 1, 2, 5
  // and 6, then entry 4.
  BoardServiceAnswer AskBoardService();
  // Entry 4 alone, with buffers of exactly the promised sizes on the heap.
  BoardServiceAnswer CallEntry4Exactly();

  EFI_STATUS EntryStatus() const { return entryStatus_; }
  // Whether the board service stood installed when the entry returned,
  // before any later step.
  bool BoardServiceAtEntry() const { return boardServiceAtEntry_; }
  // Every answer, in order; the last one is the boot's.
  const std::vector<BoardServiceAnswer> &Answers() const { return answers_; }
  // The last answer, or an empty one when the service was never asked.
  BoardServiceAnswer LastAnswer() const;
  // 1-based positions, in the original table, of the type-9 records left.
  std::vector<unsigned> SlotRecordsLeft() const;
  const std::vector<uint16_t> &OriginalSlotHandles() const {
    return originalSlotHandles_;
  }
  PadState GppB0Before() const { return gppB0Before_; }
  PadState GppB0Now() const;

 private:
  SimulatedBoard board_;
  BoardSetup setup_;
  std::vector<uint16_t> originalSlotHandles_;
  PadState gppB0Before_;
  EFI_STATUS entryStatus_ = EFI_SUCCESS;
  bool boardServiceAtEntry_ = false;
  std::vector<BoardServiceAnswer> answers_;
  size_t hostileReadAt_ = 0;
};

}  // namespace sim

#endif
