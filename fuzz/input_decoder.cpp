#include "fuzz/input_decoder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "fuzz/input_layout.h"

namespace fuzz {

namespace {

// Fills each code of the layout from the input.
class InputReader {
 public:
  explicit InputReader(std::span<const uint8_t> input)
      : input_(input.data(), input.size()) {}

  void Number(uint32_t &code, uint32_t max) {
    code = input_.ConsumeIntegralInRange<uint32_t>(0, max);
  }
  void Bytes(std::vector<uint8_t> &bytes, size_t count) {
    bytes = input_.ConsumeBytes<uint8_t>(count);
  }
  void Rest(std::vector<uint8_t> &bytes) {
    bytes = input_.ConsumeRemainingBytes<uint8_t>();
  }

 private:
  FuzzedDataProvider input_;
};

}  // namespace

sim::BoardSetup DecodeInput(std::span<const uint8_t> input, InputMode mode) {
  InputReader reader(input);
  sim::BoardSetup setup;
  layout::WalkInput(reader, setup, mode);
  return setup;
}

}  // namespace fuzz
