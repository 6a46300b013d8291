#include "sim/chipset/access_trace.h"

#include <cstdio>

namespace sim {

std::string Describe(const Access &access) {
  char text[128];
  std::snprintf(text, sizeof text, "%s%u 0x%08llX = 0x%0*X%s",
                access.op == AccessOp::Read ? "read" : "write",
                static_cast<unsigned>(access.width),
                static_cast<unsigned long long>(access.address),
                access.width / 4, access.value,
                access.implemented ? "" : " (unimplemented)");
  std::string result = text;
  if (access.count > 1) {
    result += " x" + std::to_string(access.count);
  }
  return result;
}

void AccessTrace::Record(AccessOp op, uint8_t width, uint64_t address,
                         uint32_t value, bool implemented) {
  ++accessCount_;
  Access access{op, width, address, value, implemented, 1, 0};
  if (!entries_.empty() && entries_.back().SameAccessAs(access) &&
      NothingSince(entries_.back())) {
    ++entries_.back().count;
    return;
  }
  access.sequence = sequence_.Next();
  entries_.push_back(access);
}

std::vector<Access> AccessTrace::Unimplemented() const {
  std::vector<Access> result;
  for (const Access &access : entries_) {
    if (!access.implemented) {
      result.push_back(access);
    }
  }
  return result;
}

void AccessTrace::Clear() {
  entries_.clear();
  accessCount_ = 0;
}

}  // namespace sim
