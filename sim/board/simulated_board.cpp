#include "sim/board/simulated_board.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "sim/driver_state.h"

namespace sim {

namespace detail {

SimulatedBoard *currentBoard = nullptr;

void NoCurrentBoard() {
  std::fputs(
      "the driver reached the firmware or the chipset with no "
      "simulated board alive\n",
      stderr);
  std::abort();
}

}  // namespace detail

SimulatedBoard::SimulatedBoard() {
  if (detail::currentBoard != nullptr) {
    throw std::logic_error(
        "a simulated board is built while another is still alive");
  }
  ResetDriverState();
  detail::currentBoard = this;
}

SimulatedBoard::~SimulatedBoard() { detail::currentBoard = nullptr; }

}  // namespace sim
