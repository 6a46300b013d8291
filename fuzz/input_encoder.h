// A board scenario written as a boot fuzzer's input: the bytes that
// DecodeInput turns back into it, in the layout of input_layout.h.
#ifndef BOARDCFG_FUZZ_INPUT_ENCODER_H
#define BOARDCFG_FUZZ_INPUT_ENCODER_H

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/input_mode.h"
#include "sim/scenario/board_setup.h"

namespace fuzz {

struct EncodedInput {
  std::vector<uint8_t> bytes;
  // What the bytes decode to: the setup, but for the parts the layout
  // cannot carry (a board input carries no hostile reads, and each field
  // has its limits), which come back as the value the layout gives them.
  sim::BoardSetup carried;
};

EncodedInput EncodeInput(const sim::BoardSetup &setup, InputMode mode);

// The scenario-file keys whose values the carried setup does not give back.
std::vector<std::string> UncarriedKeys(const sim::BoardSetup &setup,
                                       const sim::BoardSetup &carried);

}  // namespace fuzz

#endif
