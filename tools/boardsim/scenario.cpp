#include "tools/boardsim/scenario.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace boardsim {

namespace {

using nlohmann::json;

// Thrown inside the parser only; ParseScenario turns it into its result.
struct Refusal {
  std::string message;
};

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

[[noreturn]] void Refuse(const std::string &key, const json &value,
                         const std::string &accepted) {
  throw Refusal{"key \"" + key + "\": value " + Shown(value) +
                " is not accepted; accepted: " + accepted};
}

bool IsHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
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

template <typename T>
T Choice(const std::string &key, const json &value,
         const std::vector<std::pair<const char *, T>> &choices) {
  std::string accepted;
  for (const auto &[name, choice] : choices) {
    accepted += (accepted.empty() ? "\"" : ", \"") + std::string(name) + "\"";
    if (value.is_string() && value.get<std::string>() == name) {
      return choice;
    }
  }
  Refuse(key, value, accepted);
}

const json &FixedArray(const std::string &key, const json &value, size_t length,
                       const std::string &items) {
  if (!value.is_array() || value.size() != length) {
    Refuse(key, value, "an array of " + std::to_string(length) + " " + items);
  }
  return value;
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

const std::vector<std::pair<const char *, sim::OutsideService>> kServices = {
    {"pci_location", sim::OutsideService::PciLocation},
    {"smbios", sim::OutsideService::Smbios},
    {"setup_strings", sim::OutsideService::SetupStrings}};

std::vector<sim::OutsideService> Services(const std::string &key,
                                          const json &value) {
  if (!value.is_array()) {
    Refuse(key, value,
           "an array of \"pci_location\", \"smbios\", \"setup_strings\"");
  }
  std::vector<sim::OutsideService> services;
  for (size_t i = 0; i < value.size(); ++i) {
    const std::string item = key + "[" + std::to_string(i) + "]";
    const sim::OutsideService service = Choice(item, value[i], kServices);
    if (std::find(services.begin(), services.end(), service) !=
        services.end()) {
      Refuse(item, value[i], "each service named once");
    }
    services.push_back(service);
  }
  return services;
}

sim::MacAddress Mac(const std::string &key, const json &value) {
  const std::string accepted = "a MAC address such as \"00:1b:21:a0:00:01\"";
  if (!value.is_string()) {
    Refuse(key, value, accepted);
  }
  const auto text = value.get<std::string>();
  sim::MacAddress mac{};
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

void Registers(const json &value, sim::BoardSetup &setup) {
  const std::string accepted =
      "an object of \"0x\" physical addresses in the PCI configuration "
      "window (0xE0000000-0xEFFFFFFF) or the private-register window "
      "(0xFD000000-0xFDFFFFFF), 4-byte aligned, each a 32-bit value";
  if (!value.is_object()) {
    Refuse("registers", value, accepted);
  }
  std::set<uint64_t> given;
  for (const auto &[address, registerValue] : value.items()) {
    const std::string key = "registers." + address;
    const uint64_t physical = Number(key, json(address), 0xFFFFFFFF, accepted);
    const bool inWindow = (physical >= 0xE0000000 && physical <= 0xEFFFFFFF) ||
                          (physical >= 0xFD000000 && physical <= 0xFDFFFFFF);
    if (!inWindow || physical % 4 != 0) {
      Refuse(key, json(address), accepted);
    }
    if (given.count(physical) != 0) {
      throw Refusal{"key \"" + key + "\": register " + address +
                    " is given twice; accepted: each address once"};
    }
    given.insert(physical);
    setup.registers[physical] = static_cast<uint32_t>(
        Number(key, registerValue, 0xFFFFFFFF,
               "a 32-bit value, as a number or a \"0x\" string"));
  }
}

void GppB0(const json &value, sim::GppB0Setup &gpp) {
  if (!value.is_object()) {
    Refuse("gpp_b0", value, "an object with owner, tx_locked, dw0");
  }
  CheckKeys("gpp_b0.", value, {"owner", "tx_locked", "dw0"});
  if (value.contains("owner")) {
    gpp.owner = static_cast<uint8_t>(
        Number("gpp_b0.owner", value["owner"], 3, "0, 1, 2 or 3"));
  }
  if (value.contains("tx_locked")) {
    gpp.txLocked = Boolean("gpp_b0.tx_locked", value["tx_locked"]);
  }
  if (value.contains("dw0")) {
    gpp.dw0 = static_cast<uint32_t>(
        Number("gpp_b0.dw0", value["dw0"], 0xFFFFFFFF,
               "a 32-bit value, as a number or a \"0x\" string"));
  }
}

void Apply(const json &scenario, sim::BoardSetup &setup) {
  if (!scenario.is_object()) {
    throw Refusal{"the scenario must be a JSON object"};
  }
  CheckKeys("", scenario,
            {"pch_device_id", "straps", "strap_owners", "gpp_b0", "p2sb", "lan",
             "macs", "slot_records", "services", "preinstalled", "smm_base",
             "reads_zero", "registers"});
  const std::map<std::string, std::function<void(const json &)>> readers = {
      {"pch_device_id",
       [&](const json &v) {
         setup.pchDeviceId = static_cast<uint16_t>(
             Number("pch_device_id", v, 0xFFFF,
                    "a 16-bit device ID, as a number or a \"0x\" string"));
       }},
      {"straps",
       [&](const json &v) {
         Levels("straps", v, setup.straps, 1, "levels, each 0 or 1");
       }},
      {"strap_owners",
       [&](const json &v) {
         Levels("strap_owners", v, setup.strapOwners, 3,
                "owners, each 0, 1, 2 or 3");
       }},
      {"gpp_b0", [&](const json &v) { GppB0(v, setup.gppB0); }},
      {"p2sb",
       [&](const json &v) {
         setup.p2sb =
             Choice<sim::P2sbBehaviour>("p2sb", v,
                                        {{"ok", sim::P2sbBehaviour::Ok},
                                         {"absent", sim::P2sbBehaviour::Absent},
                                         {"stuck", sim::P2sbBehaviour::Stuck},
                                         {"error", sim::P2sbBehaviour::Error}});
       }},
      {"lan",
       [&](const json &v) {
         const json &array =
             FixedArray("lan", v, 2, "of \"i210\", \"other\", \"none\"");
         for (size_t i = 0; i < 2; ++i) {
           setup.lan[i] = Choice<sim::DeviceKind>(
               "lan[" + std::to_string(i) + "]", array[i],
               {{"i210", sim::DeviceKind::I210},
                {"other", sim::DeviceKind::Other},
                {"none", sim::DeviceKind::None}});
         }
       }},
      {"macs",
       [&](const json &v) {
         const json &array = FixedArray("macs", v, 2, "MAC address strings");
         for (size_t i = 0; i < 2; ++i) {
           setup.macs[i] = Mac("macs[" + std::to_string(i) + "]", array[i]);
         }
       }},
      {"slot_records",
       [&](const json &v) {
         setup.slotRecords =
             static_cast<unsigned>(Number("slot_records", v, 16, "0 to 16"));
       }},
      {"services",
       [&](const json &v) { setup.services = Services("services", v); }},
      {"preinstalled",
       [&](const json &v) {
         setup.preinstalled = Services("preinstalled", v);
       }},
      {"smm_base",
       [&](const json &v) { setup.smmBase = Boolean("smm_base", v); }},
      {"reads_zero",
       [&](const json &v) { setup.readsZero = Boolean("reads_zero", v); }},
      {"registers", [&](const json &v) { Registers(v, setup); }},
  };
  for (const auto &[key, value] : scenario.items()) {
    readers.at(key)(value);
  }
  // A key absent from the file keeps the default board's list; the two
  // lists together must still name each service at most once.
  if (scenario.contains("preinstalled") && !scenario.contains("services")) {
    std::erase_if(setup.services, [&](sim::OutsideService service) {
      return std::count(setup.preinstalled.begin(), setup.preinstalled.end(),
                        service) != 0;
    });
  }
  for (sim::OutsideService service : setup.preinstalled) {
    if (std::count(setup.services.begin(), setup.services.end(), service)) {
      throw Refusal{std::string("service \"") + sim::ServiceName(service) +
                    "\" is named in both \"services\" and \"preinstalled\"; "
                    "accepted: each service in at most one of the lists"};
    }
  }
}

}  // namespace

std::optional<std::string> ParseScenario(const std::string &text,
                                         sim::BoardSetup &setup) {
  // JSON keeps the last of two equal keys; a scenario must say each once.
  std::vector<std::set<std::string>> keysSeen;
  std::optional<std::string> duplicate;
  const json::parser_callback_t noteKeys = [&](int, json::parse_event_t event,
                                               json &parsed) {
    if (event == json::parse_event_t::object_start) {
      keysSeen.emplace_back();
    } else if (event == json::parse_event_t::object_end) {
      keysSeen.pop_back();
    } else if (event == json::parse_event_t::key && !duplicate &&
               !keysSeen.back().insert(parsed.get<std::string>()).second) {
      duplicate = parsed.get<std::string>();
    }
    return true;
  };
  json scenario;
  try {
    scenario = json::parse(text, noteKeys, true, /*ignore_comments=*/true);
  } catch (const json::parse_error &error) {
    return std::string("malformed JSON: ") + error.what();
  }
  if (duplicate) {
    return "key \"" + *duplicate +
           "\" is given twice; accepted: each key once in its object";
  }
  sim::BoardSetup parsed = setup;
  try {
    Apply(scenario, parsed);
  } catch (const Refusal &refusal) {
    return refusal.message;
  }
  setup = parsed;
  return std::nullopt;
}

std::optional<std::string> LoadScenario(const std::string &path,
                                        sim::BoardSetup &setup) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return "cannot read scenario file \"" + path + "\": it is a directory";
  }
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) {
    text << file.rdbuf();
  }
  if (!file || file.bad()) {
    return "cannot read scenario file \"" + path + "\"";
  }
  if (auto refusal = ParseScenario(text.str(), setup)) {
    return path + ": " + *refusal;
  }
  return std::nullopt;
}

}  // namespace boardsim
