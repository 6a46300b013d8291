// Ordered record of every hardware access. A run of identical consecutive
// accesses is kept once with a count, so long polling loops stay cheap.
#ifndef BOARDCFG_SIM_CHIPSET_ACCESS_TRACE_H
#define BOARDCFG_SIM_CHIPSET_ACCESS_TRACE_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sequence.h"

namespace sim {

enum class AccessOp : uint8_t { Read, Write };

struct Access {
  AccessOp op;
  uint8_t width;  // bits: 8, 16 or 32
  uint64_t address;
  uint32_t value;
  bool implemented;  // false: no register of the model answers here
  uint64_t count;    // consecutive identical accesses folded into this one
  uint64_t sequence;

  bool SameAccessAs(const Access &other) const {
    return op == other.op && width == other.width && address == other.address &&
           value == other.value && implemented == other.implemented;
  }
};

std::string Describe(const Access &access);

class AccessTrace {
 public:
  explicit AccessTrace(Sequence &sequence) : sequence_(sequence) {
    entries_.reserve(128);
  }

  void Record(AccessOp op, uint8_t width, uint64_t address, uint32_t value,
              bool implemented);
  // Counts one more of the last entry when it is a read of the address at
  // that width; false, recording nothing, otherwise.
  bool RepeatLastRead(uint8_t width, uint64_t address) {
    if (entries_.empty() || entries_.back().op != AccessOp::Read ||
        entries_.back().width != width || entries_.back().address != address ||
        !NothingSince(entries_.back())) {
      return false;
    }
    ++entries_.back().count;
    ++accessCount_;
    return true;
  }
  const std::vector<Access> &Entries() const { return entries_; }
  // Every access, counting each folded repetition.
  uint64_t AccessCount() const { return accessCount_; }
  std::vector<Access> Unimplemented() const;
  void Clear();

 private:
  // A run folds only while nothing else (a service call) came after it.
  bool NothingSince(const Access &last) const {
    return sequence_.Peek() == last.sequence + 1;
  }

  Sequence &sequence_;
  std::vector<Access> entries_;
  uint64_t accessCount_ = 0;
};

}  // namespace sim

#endif
