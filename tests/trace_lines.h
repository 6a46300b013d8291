// Expected chipset accesses written as the trace describes them.
#ifndef BOARDCFG_TESTS_TRACE_LINES_H
#define BOARDCFG_TESTS_TRACE_LINES_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/chipset/chipset_model.h"

using Lines = std::vector<std::string>;

// An access of `width` bits that the model answers.
inline std::string TraceLine(sim::AccessOp op, uint8_t width, uint64_t address,
                             uint32_t value) {
  return sim::Describe(sim::Access{op, width, address, value, true, 1, 0});
}
inline std::string Read32Line(uint64_t address, uint32_t value) {
  return TraceLine(sim::AccessOp::Read, 32, address, value);
}

// Runs of equal lines folded as the trace folds repeated accesses.
inline Lines Folded(const Lines &lines) {
  Lines folded;
  size_t run = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    ++run;
    if (i + 1 == lines.size() || lines[i + 1] != lines[i]) {
      folded.push_back(run > 1 ? lines[i] + " x" + std::to_string(run)
                               : lines[i]);
      run = 0;
    }
  }
  return folded;
}

// The whole trace, one line per entry.
inline Lines ChipsetTraceLines(const sim::ChipsetModel &chipset) {
  Lines lines;
  for (const sim::Access &access : chipset.Trace().Entries()) {
    lines.push_back(sim::Describe(access));
  }
  return lines;
}

#endif
