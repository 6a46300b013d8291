// Readers of single scenario values. Each returns the value or refuses it
// with one line naming the key, the value and what is accepted.
#ifndef BOARDCFG_SIM_SCENARIO_SCENARIO_VALUES_H
#define BOARDCFG_SIM_SCENARIO_SCENARIO_VALUES_H

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace sim::scenario {

using nlohmann::json;

// Thrown by the readers; the parser turns it into its result.
struct Refusal {
  std::string message;
};

[[noreturn]] void Refuse(const std::string &key, const json &value,
                         const std::string &accepted);
// Refuses a key not in the list, naming the keys the object accepts.
void CheckKeys(const std::string &where, const json &object,
               const std::vector<std::string> &known);

// A JSON number or a "0x" string, at most maximum.
uint64_t Number(const std::string &key, const json &value, uint64_t maximum,
                const std::string &accepted);
bool Boolean(const std::string &key, const json &value);
const json &FixedArray(const std::string &key, const json &value, size_t length,
                       const std::string &items);
const json &Array(const std::string &key, const json &value,
                  const std::string &items);
// Hex digit pairs, optionally separated by spaces.
std::vector<uint8_t> Bytes(const std::string &key, const json &value,
                           size_t minimum, size_t maximum);
std::array<uint8_t, 6> Mac(const std::string &key, const json &value);

template <typename T>
T Choice(const std::string &key, const json &value,
         const std::vector<std::pair<std::string, T>> &choices) {
  std::string accepted;
  for (const auto &[name, choice] : choices) {
    accepted += (accepted.empty() ? "\"" : ", \"") + name + "\"";
    if (value.is_string() && value.get<std::string>() == name) {
      return choice;
    }
  }
  Refuse(key, value, accepted);
}

template <size_t N>
void Levels(const std::string &key, const json &value,
            std::array<uint8_t, N> &into, uint64_t maximum,
            const std::string &accepted) {
  const json &array = FixedArray(key, value, N, accepted);
  for (size_t i = 0; i < N; ++i) {
    into[i] = static_cast<uint8_t>(Number(key + "[" + std::to_string(i) + "]",
                                          array[i], maximum, accepted));
  }
}

}  // namespace sim::scenario

#endif
