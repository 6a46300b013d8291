// The boot fuzzers' input read as a board scenario. Bytes are taken from the
// front, each choosing part of the board or the boot (fuzz/README.md lays
// them out; make-seeds.py writes them); past the end every byte is 0, and
// the all-zero input is the default board and boot, so short inputs stay
// meaningful.
#ifndef BOARDCFG_FUZZ_INPUT_DECODER_H
#define BOARDCFG_FUZZ_INPUT_DECODER_H

#include <cstdint>
#include <span>

#include "sim/scenario/board_setup.h"

namespace fuzz {

// Board: the input is the scenario alone, and the hardware reads are the
// model's. Hostile: the bytes after the scenario become its hostile reads.
enum class InputMode { Board, Hostile };

sim::BoardSetup DecodeInput(std::span<const uint8_t> input, InputMode mode);

}  // namespace fuzz

#endif
