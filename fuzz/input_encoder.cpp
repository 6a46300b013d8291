#include "fuzz/input_encoder.h"

#include <algorithm>

#include "fuzz/input_layout.h"
#include "sim/scenario/scenario_json.h"

namespace fuzz {

namespace {

// Writes each code of the layout where FuzzedDataProvider reads it: byte
// strings from the front, in order; numbers from the back, each in as few
// bytes as its maximum needs, the most significant byte read (last in the
// input) first.
class InputWriter {
 public:
  void Number(uint32_t &code, uint32_t max) {
    code = std::min(code, max);
    unsigned width = 0;
    while (width < sizeof max && (uint64_t{max} >> (8 * width)) != 0) {
      ++width;
    }
    for (unsigned i = width; i-- > 0;) {
      back_.push_back(static_cast<uint8_t>(code >> (8 * i)));
    }
  }
  void Bytes(std::vector<uint8_t> &bytes, size_t count) {
    bytes.resize(count);
    front_.insert(front_.end(), bytes.begin(), bytes.end());
  }
  void Rest(std::vector<uint8_t> &bytes) {
    front_.insert(front_.end(), bytes.begin(), bytes.end());
  }

  std::vector<uint8_t> Input() const {
    std::vector<uint8_t> input = front_;
    input.insert(input.end(), back_.rbegin(), back_.rend());
    return input;
  }

 private:
  std::vector<uint8_t> front_;
  std::vector<uint8_t> back_;  // in the order they are read
};

}  // namespace

EncodedInput EncodeInput(const sim::BoardSetup &setup, InputMode mode) {
  InputWriter writer;
  EncodedInput encoded{{}, setup};
  layout::WalkInput(writer, encoded.carried, mode);
  encoded.bytes = writer.Input();
  return encoded;
}

std::vector<std::string> UncarriedKeys(const sim::BoardSetup &setup,
                                       const sim::BoardSetup &carried) {
  const nlohmann::ordered_json given = sim::ScenarioJson(setup);
  const nlohmann::ordered_json back = sim::ScenarioJson(carried);
  std::vector<std::string> keys;
  for (const auto &[key, value] : given.items()) {
    if (!back.contains(key) || back[key] != value) {
      keys.push_back(key);
    }
  }
  for (const auto &[key, value] : back.items()) {
    if (!given.contains(key)) {
      keys.push_back(key);
    }
  }
  return keys;
}

}  // namespace fuzz
