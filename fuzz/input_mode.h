// The two ways the boot fuzzers read an input.
#ifndef BOARDCFG_FUZZ_INPUT_MODE_H
#define BOARDCFG_FUZZ_INPUT_MODE_H

namespace fuzz {

// Board: the input is the scenario alone, and the hardware reads are the
// model's. Hostile: the bytes after the scenario become its hostile reads.
enum class InputMode { Board, Hostile };

}  // namespace fuzz

#endif
