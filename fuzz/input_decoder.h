// The boot fuzzers' input read as a board scenario, with clang's
// FuzzedDataProvider, in the layout of input_layout.h. Any input decodes;
// past its end every code is 0, and the empty input is the default board and
// boot, so short inputs stay meaningful.
#ifndef BOARDCFG_FUZZ_INPUT_DECODER_H
#define BOARDCFG_FUZZ_INPUT_DECODER_H

#include <cstdint>
#include <span>

#include "fuzz/input_mode.h"
#include "sim/scenario/board_setup.h"

namespace fuzz {

sim::BoardSetup DecodeInput(std::span<const uint8_t> input, InputMode mode);

}  // namespace fuzz

#endif
