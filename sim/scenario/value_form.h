// What a scenario value may be. One form gives the reader's check of a
// value (a refusal names the key, the value and what is accepted) and the
// value's JSON Schema (form_schema.cpp).
#ifndef BOARDCFG_SIM_SCENARIO_VALUE_FORM_H
#define BOARDCFG_SIM_SCENARIO_VALUE_FORM_H

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace sim::scenario {

using nlohmann::json;
using nlohmann::ordered_json;

// Thrown by the checks; the parser turns it into its result.
struct Refusal {
  std::string message;
};

[[noreturn]] void Refuse(const std::string &key, const json &value,
                         const std::string &accepted);

// Numbers as text hold at most as many digits as the largest 64-bit number.
constexpr size_t kDecimalDigits = 20;
constexpr size_t kHexDigits = 16;

struct Form {
  enum class Kind : uint8_t {
    Text,          // any string
    Boolean,       // true or false
    Number,        // a JSON number or a "0x" string, minimum to maximum
    Name,          // one of names
    NameOrNumber,  // one of names, or a Number
    Bytes,         // hex digit pairs, spaces anywhere: minimum to maximum
    Mac,           // six hex pairs joined by ':'
    Address,       // a "0x" address in a chipset window, 4-byte aligned
    Array,         // of parts[0]
    Object,        // of the keys in names, each of the part at its index
    Map,           // keys of the form parts[0], each a value of parts[1]
  };
  Kind kind;
  std::string accepted;  // what a refusal names as accepted
  uint64_t minimum = 0;
  uint64_t maximum = 0;
  bool decimalText = false;  // Number as an object key: decimal text too
  std::vector<std::string> names = {};
  std::vector<Form> parts = {};
  size_t required = 0;  // Object: its first keys must be given
  size_t length = 0;    // Array: its fixed length; 0 for any
  // Array: what a repeated item refuses with (empty: repeats are fine).
  // Map: what a number given twice as keys, in two spellings, refuses with.
  std::string repeated = {};
  std::string once = {};          // Array: an item it holds exactly once,
  std::string onceAccepted = {};  // and what its absence or repeat refuses with
};

std::string Quoted(const std::vector<std::string> &names);

Form Text(const std::string &accepted);
Form Boolean();
Form Number(uint64_t minimum, uint64_t maximum, const std::string &accepted);
Form Name(const std::vector<std::string> &names);
Form NameOrNumber(const std::vector<std::string> &names, uint64_t maximum,
                  const std::string &accepted);
Form Bytes(size_t minimum, size_t maximum);
Form Mac();
Form Address(const std::string &accepted);
Form Array(const Form &item, size_t length, const std::string &accepted);
Form Object(const std::vector<std::pair<std::string, Form>> &keys,
            size_t required, const std::string &accepted);
Form Map(const Form &key, const Form &value, const std::string &accepted,
         const std::string &repeated);

// Refuses a key not in the list, naming the keys the object accepts.
void CheckKeys(const std::string &where, const json &object,
               const std::vector<std::string> &known);
// Refuses a value outside the form, naming it by path.
void Check(const std::string &path, const json &value, const Form &form);
// The form as JSON Schema (form_schema.cpp).
ordered_json SchemaOf(const Form &form);

// Values that passed their check, converted.
uint64_t NumberOf(const json &value);
std::vector<uint8_t> BytesOf(const json &value);
std::array<uint8_t, 6> MacOf(const json &value);

template <typename T>
using Names = std::vector<std::pair<std::string, T>>;

template <typename T>
std::vector<std::string> NamesOf(const Names<T> &names) {
  std::vector<std::string> all;
  for (const auto &[name, value] : names) {
    all.push_back(name);
  }
  return all;
}

template <typename T>
T Named(const Names<T> &names, const json &value) {
  for (const auto &[name, named] : names) {
    if (value == name) {
      return named;
    }
  }
  return names.front().second;
}

template <typename T>
const char *NameOf(const Names<T> &names, const T &value) {
  for (const auto &[name, named] : names) {
    if (named == value) {
      return name.c_str();
    }
  }
  return "?";
}

}  // namespace sim::scenario

#endif
