#include "sim/scenario/value_form.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "sim/facts/board.h"

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

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

constexpr char kLargestDecimal[] = "18446744073709551615";

std::optional<uint64_t> ParsedNumber(const json &value, bool decimalText) {
  if (value.is_number_unsigned()) {
    return value.get<uint64_t>();
  }
  if (!value.is_string()) {
    return std::nullopt;
  }
  const auto text = value.get<std::string>();
  if (decimalText && !text.empty() &&
      (text.size() < kDecimalDigits ||
       (text.size() == kDecimalDigits && text <= kLargestDecimal)) &&
      std::all_of(text.begin(), text.end(), IsDigit)) {
    return std::stoull(text);
  }
  if (text.size() > 2 && text.size() <= 2 + kHexDigits && text[0] == '0' &&
      (text[1] == 'x' || text[1] == 'X') &&
      std::all_of(text.begin() + 2, text.end(), IsHexDigit)) {
    return std::stoull(text.substr(2), nullptr, 16);
  }
  return std::nullopt;
}

bool InChipsetWindow(uint64_t address) {
  return (facts::InPciWindow(address) || facts::InPrivateWindow(address)) &&
         address % 4 == 0;
}

}  // namespace

void Refuse(const std::string &key, const json &value,
            const std::string &accepted) {
  throw Refusal{"key \"" + key + "\": value " + Shown(value) +
                " is not accepted; accepted: " + accepted};
}

std::string Quoted(const std::vector<std::string> &names) {
  std::string text;
  for (const std::string &name : names) {
    text += (text.empty() ? "\"" : ", \"") + name + "\"";
  }
  return text;
}

Form Text(const std::string &accepted) {
  return {.kind = Form::Kind::Text, .accepted = accepted};
}

Form Boolean() {
  return {.kind = Form::Kind::Boolean, .accepted = "true or false"};
}

Form Number(uint64_t minimum, uint64_t maximum, const std::string &accepted) {
  return {.kind = Form::Kind::Number,
          .accepted = accepted,
          .minimum = minimum,
          .maximum = maximum};
}

Form Name(const std::vector<std::string> &names) {
  return {.kind = Form::Kind::Name, .accepted = Quoted(names), .names = names};
}

Form NameOrNumber(const std::vector<std::string> &names, uint64_t maximum,
                  const std::string &accepted) {
  Form form = Number(0, maximum, accepted);
  form.kind = Form::Kind::NameOrNumber;
  form.names = names;
  return form;
}

Form Bytes(size_t minimum, size_t maximum) {
  return {.kind = Form::Kind::Bytes,
          .accepted = "a string of " + std::to_string(minimum) + " to " +
                      std::to_string(maximum) +
                      " bytes as hex digit pairs, such as \"0911\"",
          .minimum = minimum,
          .maximum = maximum};
}

Form Mac() {
  return {.kind = Form::Kind::Mac,
          .accepted = "a MAC address such as \"00:1b:21:a0:00:01\""};
}

Form Address(const std::string &accepted) {
  return {.kind = Form::Kind::Address, .accepted = accepted};
}

Form Array(const Form &item, size_t length, const std::string &accepted) {
  return {.kind = Form::Kind::Array,
          .accepted = accepted,
          .parts = {item},
          .length = length};
}

Form Object(const std::vector<std::pair<std::string, Form>> &keys,
            size_t required, const std::string &accepted) {
  Form form{.kind = Form::Kind::Object, .accepted = accepted};
  for (const auto &[name, part] : keys) {
    form.names.push_back(name);
    form.parts.push_back(part);
  }
  form.required = required;
  return form;
}

Form Map(const Form &key, const Form &value, const std::string &accepted,
         const std::string &repeated) {
  Form keyForm = key;
  keyForm.accepted = accepted;  // a key is refused as a part of its map
  return {.kind = Form::Kind::Map,
          .accepted = accepted,
          .parts = {keyForm, value},
          .repeated = repeated};
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

void Check(const std::string &path, const json &value, const Form &form) {
  using Kind = Form::Kind;
  const auto named = [&] {
    return value.is_string() &&
           std::find(form.names.begin(), form.names.end(),
                     value.get<std::string>()) != form.names.end();
  };
  const auto number = [&] {
    const auto n = ParsedNumber(value, form.decimalText);
    return n && *n >= form.minimum && *n <= form.maximum;
  };
  bool accepted = true;
  switch (form.kind) {
    case Kind::Text:
      accepted = value.is_string();
      break;
    case Kind::Boolean:
      accepted = value.is_boolean();
      break;
    case Kind::Number:
      accepted = number();
      break;
    case Kind::Name:
      accepted = named();
      break;
    case Kind::NameOrNumber:
      accepted = named() || number();
      break;
    case Kind::Bytes: {
      std::string digits = value.is_string() ? value.get<std::string>() : "";
      std::erase(digits, ' ');
      accepted = value.is_string() && digits.size() % 2 == 0 &&
                 std::all_of(digits.begin(), digits.end(), IsHexDigit) &&
                 digits.size() / 2 >= form.minimum &&
                 digits.size() / 2 <= form.maximum;
      break;
    }
    case Kind::Mac: {
      const std::string text =
          value.is_string() ? value.get<std::string>() : "";
      accepted = text.size() == 17;
      for (size_t i = 0; accepted && i < text.size(); ++i) {
        accepted = i % 3 == 2 ? text[i] == ':' : IsHexDigit(text[i]);
      }
      break;
    }
    case Kind::Address: {
      const auto address = ParsedNumber(value, false);
      accepted = address && InChipsetWindow(*address);
      break;
    }
    case Kind::Array:
      if (!value.is_array() ||
          (form.length != 0 && value.size() != form.length)) {
        Refuse(path, value, form.accepted);
      }
      for (size_t i = 0; i < value.size(); ++i) {
        const std::string item = path + "[" + std::to_string(i) + "]";
        Check(item, value[i], form.parts[0]);
        if (!form.repeated.empty() &&
            std::find(value.begin(), value.begin() + i, value[i]) !=
                value.begin() + i) {
          Refuse(item, value[i], form.repeated);
        }
      }
      if (!form.once.empty() &&
          std::count(value.begin(), value.end(), json(form.once)) != 1) {
        Refuse(path, value, form.onceAccepted);
      }
      return;
    case Kind::Object:
      accepted =
          value.is_object() &&
          std::all_of(
              form.names.begin(), form.names.begin() + form.required,
              [&](const std::string &name) { return value.contains(name); });
      if (accepted) {
        CheckKeys(path + ".", value, form.names);
        for (size_t i = 0; i < form.names.size(); ++i) {
          if (value.contains(form.names[i])) {
            Check(path + "." + form.names[i], value[form.names[i]],
                  form.parts[i]);
          }
        }
      }
      break;
    case Kind::Map:
      accepted = value.is_object();
      if (accepted) {
        std::set<uint64_t> given;
        for (const auto &[key, item] : value.items()) {
          const std::string where = path + "." + key;
          Check(where, json(key), form.parts[0]);
          if (!given.insert(NumberOf(json(key))).second) {
            throw Refusal{"key \"" + where +
                          "\" is given twice, in another spelling of the "
                          "same number; accepted: " +
                          form.repeated};
          }
          Check(where, item, form.parts[1]);
        }
      }
      break;
  }
  if (!accepted) {
    Refuse(path, value, form.accepted);
  }
}
uint64_t NumberOf(const json &value) { return *ParsedNumber(value, true); }

std::vector<uint8_t> BytesOf(const json &value) {
  std::string digits = value.get<std::string>();
  std::erase(digits, ' ');
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::array<uint8_t, 6> MacOf(const json &value) {
  const auto text = value.get<std::string>();
  std::array<uint8_t, 6> mac{};
  for (size_t i = 0; i < mac.size(); ++i) {
    mac[i] =
        static_cast<uint8_t>(std::stoul(text.substr(3 * i, 2), nullptr, 16));
  }
  return mac;
}

}  // namespace sim::scenario
