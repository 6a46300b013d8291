// One simulated board: the chipset behind the register seam, the firmware
// behind the system table and the three outside services, with the driver
// freshly loaded onto it. The functions the model puts into the UEFI tables
// and the register seam take no pointer to their model, so they reach it
// through the current board: the one board alive.
#ifndef BOARDCFG_SIM_BOARD_SIMULATED_BOARD_H
#define BOARDCFG_SIM_BOARD_SIMULATED_BOARD_H

#include "sim/chipset/chipset_model.h"
#include "sim/firmware/firmware_model.h"
#include "sim/sequence.h"
#include "sim/services/service_doubles.h"

namespace sim {

class SimulatedBoard {
 public:
  // Returns the driver's globals to their load-time values and becomes the
  // current board; another board must not be alive.
  SimulatedBoard();
  ~SimulatedBoard();
  SimulatedBoard(const SimulatedBoard &) = delete;
  SimulatedBoard &operator=(const SimulatedBoard &) = delete;

  ChipsetModel &Chipset() { return chipset_; }
  const ChipsetModel &Chipset() const { return chipset_; }
  FirmwareModel &Firmware() { return firmware_; }
  const FirmwareModel &Firmware() const { return firmware_; }
  ServiceDoubles &Services() { return services_; }
  const ServiceDoubles &Services() const { return services_; }

 private:
  Sequence sequence_;  // orders the chipset's accesses and the firmware's calls
  ChipsetModel chipset_{sequence_};
  FirmwareModel firmware_{sequence_};
  ServiceDoubles services_;
};

namespace detail {
extern SimulatedBoard *currentBoard;
[[noreturn]] void NoCurrentBoard();
}  // namespace detail

// The board the UEFI tables' functions and the register seam serve.
inline SimulatedBoard &CurrentBoard() {
  if (detail::currentBoard == nullptr) {
    detail::NoCurrentBoard();
  }
  return *detail::currentBoard;
}

}  // namespace sim

#endif
