// One boot of the driver on a simulated board: the firmware, the chipset and
// the outside services set up from a BoardSetup, then driven step by step.
#ifndef BOARDCFG_SIM_BOARD_SIMULATED_BOOT_H
#define BOARDCFG_SIM_BOARD_SIMULATED_BOOT_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/uefi.h"
#include "sim/board/board_setup.h"

namespace sim {

inline constexpr uint8_t kCanary = 0xEE;

struct LanAnswer {
  EFI_STATUS status = EFI_SUCCESS;
  std::array<uint8_t, 10> first{};
  std::array<uint8_t, 7> second{};
};

struct PadState {
  uint32_t dw0 = 0;
  bool txLocked = false;
};

class SimulatedBoot {
 public:
  // Builds a fresh firmware, chipset and service doubles for the setup and
  // returns the driver to its freshly loaded state.
  explicit SimulatedBoot(const BoardSetup &setup);

  const BoardSetup &Setup() const { return setup_; }

  EFI_STATUS RunEntry();
  void Install(OutsideService service);
  void SignalReadyToBoot();
  LanAnswer CallCollectOnboardLanMacs();

  // The whole boot as the simulator plays it: preinstalled services, the
  // entry, the other services in order, ready-to-boot twice, entry 4.
  void PlayDefaultSequence();

  EFI_STATUS EntryStatus() const { return entryStatus_; }
  const LanAnswer &LastLanAnswer() const { return lanAnswer_; }
  // 1-based positions, in the original table, of the type-9 records left.
  std::vector<unsigned> SlotRecordsLeft() const;
  const std::vector<uint16_t> &OriginalSlotHandles() const {
    return originalSlotHandles_;
  }
  PadState GppB0Before() const { return gppB0Before_; }
  PadState GppB0Now() const;
  // The riser the straps name now, read without leaving a trace.
  uint8_t RiserIdSeen() const;

 private:
  void ConfigureChipset();

  BoardSetup setup_;
  std::vector<uint16_t> originalSlotHandles_;
  PadState gppB0Before_;
  EFI_STATUS entryStatus_ = EFI_SUCCESS;
  LanAnswer lanAnswer_;
};

}  // namespace sim

#endif
