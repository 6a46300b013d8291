#include "sim/scenario/scenario_values.h"

#include <algorithm>
#include <cctype>

namespace sim::scenario {

namespace {

// Arrays and objects are named by kind and size, long texts cut short: the
// message stays one readable line whatever the input holds.
std::string Shown(const json &value) {
  if (value.is_array()) {
    return "an array of " + std::to_string(value.size()) + " items";
  }
  if (value.is_object()) {
    return "an object of " + std::to_string(value.size()) + " keys";
  }
  std::string text = value.dump();
  if (text.size() > 40) {
    text = text.substr(0, 37) + "...";
  }
  return text;
}

bool IsHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

void Refuse(const std::string &key, const json &value,
            const std::string &accepted) {
  throw Refusal{"key \"" + key + "\": value " + Shown(value) +
                " is not accepted; accepted: " + accepted};
}

void CheckKeys(const std::string &where, const json &object,
               const std::vector<std::string> &known) {
  for (const auto &[key, value] : object.items()) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      std::string accepted;
      for (const std::string &name : known) {
        accepted += (accepted.empty() ? "" : ", ") + name;
      }
      throw Refusal{"unknown key \"" + where + key +
                    "\"; accepted keys: " + accepted};
    }
  }
}

uint64_t Number(const std::string &key, const json &value, uint64_t maximum,
                const std::string &accepted) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<uint64_t>();
    if (number <= maximum) {
      return number;
    }
  } else if (value.is_string()) {
    const auto text = value.get<std::string>();
    if (text.size() > 2 && text.size() <= 18 && text[0] == '0' &&
        (text[1] == 'x' || text[1] == 'X') &&
        std::all_of(text.begin() + 2, text.end(), IsHexDigit)) {
      const uint64_t number = std::stoull(text.substr(2), nullptr, 16);
      if (number <= maximum) {
        return number;
      }
    }
  }
  Refuse(key, value, accepted);
}

bool Boolean(const std::string &key, const json &value) {
  if (!value.is_boolean()) {
    Refuse(key, value, "true or false");
  }
  return value.get<bool>();
}

const json &FixedArray(const std::string &key, const json &value, size_t length,
                       const std::string &items) {
  if (!value.is_array() || value.size() != length) {
    Refuse(key, value, "an array of " + std::to_string(length) + " " + items);
  }
  return value;
}

const json &Array(const std::string &key, const json &value,
                  const std::string &items) {
  if (!value.is_array()) {
    Refuse(key, value, "an array of " + items);
  }
  return value;
}

std::vector<uint8_t> Bytes(const std::string &key, const json &value,
                           size_t minimum, size_t maximum) {
  const std::string accepted = "a string of " + std::to_string(minimum) +
                               " to " + std::to_string(maximum) +
                               " bytes as hex digit pairs, such as \"0911\"";
  if (!value.is_string()) {
    Refuse(key, value, accepted);
  }
  std::string digits = value.get<std::string>();
  std::erase(digits, ' ');
  if (digits.size() % 2 != 0 ||
      !std::all_of(digits.begin(), digits.end(), IsHexDigit) ||
      digits.size() / 2 < minimum || digits.size() / 2 > maximum) {
    Refuse(key, value, accepted);
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::array<uint8_t, 6> Mac(const std::string &key, const json &value) {
  const std::string accepted = "a MAC address such as \"00:1b:21:a0:00:01\"";
  if (!value.is_string()) {
    Refuse(key, value, accepted);
  }
  const auto text = value.get<std::string>();
  std::array<uint8_t, 6> mac{};
  bool wellFormed = text.size() == 17;
  for (size_t i = 0; wellFormed && i < text.size(); ++i) {
    wellFormed = i % 3 == 2 ? text[i] == ':' : IsHexDigit(text[i]);
  }
  if (!wellFormed) {
    Refuse(key, value, accepted);
  }
  for (size_t i = 0; i < mac.size(); ++i) {
    mac[i] =
        static_cast<uint8_t>(std::stoul(text.substr(3 * i, 2), nullptr, 16));
  }
  return mac;
}

}  // namespace sim::scenario
