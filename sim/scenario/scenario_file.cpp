#include "sim/scenario/scenario_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "sim/facts/board.h"
#include "sim/hex_text.h"
#include "sim/scenario/scenario_values.h"
#include "sim/status_names.h"

namespace sim {

namespace {

using nlohmann::json;
using scenario::Refusal;
using scenario::Refuse;

const std::vector<std::string> kKeys = {"pch_device_id",
                                        "straps",
                                        "strap_owners",
                                        "gpp_b0",
                                        "p2sb",
                                        "p2sb_completion",
                                        "p2sb_busy_reads",
                                        "lan",
                                        "macs",
                                        "slot_records",
                                        "services",
                                        "preinstalled",
                                        "smm_base",
                                        "reads_zero",
                                        "registers",
                                        "bridge_keys",
                                        "record_copies",
                                        "record_reads_without_buffer",
                                        "faults",
                                        "configuration_tables",
                                        "steps",
                                        "hostile_reads"};

const std::vector<std::pair<std::string, OutsideService>> kServices = {
    {"pci_location", OutsideService::PciLocation},
    {"smbios", OutsideService::Smbios},
    {"setup_strings", OutsideService::SetupStrings}};

const std::string kValue32 = "a 32-bit value, as a number or a \"0x\" string";

// Object keys are text: a decimal number or a "0x" one.
uint64_t KeyNumber(const std::string &key, const std::string &text,
                   uint64_t minimum, uint64_t maximum,
                   const std::string &accepted) {
  const bool decimal = !text.empty() && text.size() <= 19 &&
                       std::all_of(text.begin(), text.end(), [](char c) {
                         return std::isdigit(static_cast<unsigned char>(c));
                       });
  const uint64_t number =
      decimal ? std::stoull(text)
              : scenario::Number(key, json(text), maximum, accepted);
  if (number < minimum || number > maximum) {
    Refuse(key, json(text), accepted);
  }
  return number;
}

std::vector<OutsideService> Services(const std::string &key,
                                     const json &value) {
  const json &array = scenario::Array(
      key, value, "\"pci_location\", \"smbios\", \"setup_strings\"");
  std::vector<OutsideService> services;
  for (size_t i = 0; i < array.size(); ++i) {
    const std::string item = key + "[" + std::to_string(i) + "]";
    const OutsideService service = scenario::Choice(item, array[i], kServices);
    if (std::find(services.begin(), services.end(), service) !=
        services.end()) {
      Refuse(item, array[i], "each service named once");
    }
    services.push_back(service);
  }
  return services;
}

// "0xE0000000-0xEFFFFFFF": the window's first and last byte.
std::string WindowText(uint64_t base, uint64_t size) {
  return Hex(base) + "-" + Hex(base + size - 1);
}

void Registers(const json &value, BoardSetup &setup) {
  const std::string accepted =
      "an object of \"0x\" physical addresses in the PCI configuration "
      "window (" +
      WindowText(facts::kPciWindowBase, facts::kPciWindowSize) +
      ") or the private-register window (" +
      WindowText(facts::kPrivateWindowBase, facts::kPrivateWindowSize) +
      "), 4-byte aligned, each a 32-bit value";
  if (!value.is_object()) {
    Refuse("registers", value, accepted);
  }
  std::set<uint64_t> given;
  for (const auto &[address, registerValue] : value.items()) {
    const std::string key = "registers." + address;
    const uint64_t physical =
        scenario::Number(key, json(address), 0xFFFFFFFF, accepted);
    const bool inWindow =
        facts::InPciWindow(physical) || facts::InPrivateWindow(physical);
    if (!inWindow || physical % 4 != 0) {
      Refuse(key, json(address), accepted);
    }
    if (given.count(physical) != 0) {
      throw Refusal{"key \"" + key + "\": register " + address +
                    " is given twice; accepted: each address once"};
    }
    given.insert(physical);
    setup.registers[physical] = static_cast<uint32_t>(
        scenario::Number(key, registerValue, 0xFFFFFFFF, kValue32));
  }
}

void GppB0(const json &value, GppB0Setup &gpp) {
  if (!value.is_object()) {
    Refuse("gpp_b0", value, "an object with owner, tx_locked, dw0");
  }
  scenario::CheckKeys("gpp_b0.", value, {"owner", "tx_locked", "dw0"});
  if (value.contains("owner")) {
    gpp.owner = static_cast<uint8_t>(
        scenario::Number("gpp_b0.owner", value["owner"], 3, "0, 1, 2 or 3"));
  }
  if (value.contains("tx_locked")) {
    gpp.txLocked = scenario::Boolean("gpp_b0.tx_locked", value["tx_locked"]);
  }
  if (value.contains("dw0")) {
    gpp.dw0 = static_cast<uint32_t>(
        scenario::Number("gpp_b0.dw0", value["dw0"], 0xFFFFFFFF, kValue32));
  }
}

void BridgeKeys(const json &value, BoardSetup &setup) {
  const std::string accepted =
      "an object of location-service keys (decimal) to the PciAddress16 of "
      "a bridge, such as {\"8\": \"0x00E0\"}";
  if (!value.is_object()) {
    Refuse("bridge_keys", value, accepted);
  }
  for (const auto &[keyText, bridge] : value.items()) {
    const std::string key = "bridge_keys." + keyText;
    const uint64_t serviceKey =
        KeyNumber(key, keyText, 0, UINT64_MAX, accepted);
    setup.bridgeKeys[serviceKey] = static_cast<uint16_t>(
        scenario::Number(key, bridge, 0xFFFF,
                         "a 16-bit PCI function, bus << 8 | dev << 3 | fn"));
  }
}

void RecordCopies(const json &value, BoardSetup &setup) {
  const std::string accepted =
      "an object of type-9 instances (1-255) to record bytes, such as "
      "{\"3\": \"09110009\"}";
  if (!value.is_object()) {
    Refuse("record_copies", value, accepted);
  }
  for (const auto &[instanceText, bytes] : value.items()) {
    const std::string key = "record_copies." + instanceText;
    const auto instance =
        static_cast<uint8_t>(KeyNumber(key, instanceText, 1, 255, accepted));
    // At least the structure header that the service's contract promises.
    setup.recordCopies[instance] = scenario::Bytes(key, bytes, 4, 255);
  }
}

std::vector<InjectedFault> Faults(const json &value) {
  std::string services;
  for (const std::string &name : FaultableServices()) {
    services += (services.empty() ? "\"" : ", \"") + name + "\"";
  }
  const json &array =
      scenario::Array("faults", value, "objects with service, status and call");
  std::vector<InjectedFault> faults;
  for (size_t i = 0; i < array.size(); ++i) {
    const std::string where = "faults[" + std::to_string(i) + "]";
    const json &item = array[i];
    if (!item.is_object() || !item.contains("service") ||
        !item.contains("status")) {
      Refuse(where, item,
             "an object with \"service\", \"status\" and optionally "
             "\"call\" (from 1; 0 or none for every call)");
    }
    scenario::CheckKeys(where + ".", item, {"service", "status", "call"});
    InjectedFault fault;
    const json &service = item["service"];
    const auto &known = FaultableServices();
    if (!service.is_string() ||
        std::find(known.begin(), known.end(), service.get<std::string>()) ==
            known.end()) {
      Refuse(where + ".service", service, services);
    }
    fault.service = service.get<std::string>();
    const json &status = item["status"];
    const std::optional<EFI_STATUS> named =
        status.is_string() ? StatusNamed(status.get<std::string>())
                           : std::nullopt;
    fault.status =
        named ? *named
              : scenario::Number(where + ".status", status, UINT64_MAX,
                                 "a 64-bit EFI_STATUS as a \"0x\" string, or "
                                 "one of " +
                                     StatusNames());
    fault.occurrence = item.contains("call")
                           ? static_cast<unsigned>(scenario::Number(
                                 where + ".call", item["call"], 1000000,
                                 "the call it fails, from 1; 0 for every call"))
                           : 0;
    faults.push_back(fault);
  }
  return faults;
}

std::vector<ConfigurationTable> ConfigurationTables(const json &value) {
  const json &array = scenario::Array("configuration_tables", value,
                                      "\"acpi20\", \"hob_list\"");
  std::vector<ConfigurationTable> tables;
  for (size_t i = 0; i < array.size(); ++i) {
    const std::string item = "configuration_tables[" + std::to_string(i) + "]";
    const auto table = scenario::Choice<ConfigurationTable>(
        item, array[i],
        {{"acpi20", ConfigurationTable::Acpi20},
         {"hob_list", ConfigurationTable::HobList}});
    if (std::find(tables.begin(), tables.end(), table) != tables.end()) {
      Refuse(item, array[i], "each table named once");
    }
    tables.push_back(table);
  }
  return tables;
}

std::vector<BootStep> Steps(const json &value) {
  using Kind = BootStep::Kind;
  std::vector<std::pair<std::string, BootStep>> choices = {
      {"entry", {Kind::Entry}},
      {"ready_to_boot", {Kind::ReadyToBoot}},
      {"entry4", {Kind::Entry4}},
      {"entry4_exact", {Kind::Entry4Exact}}};
  for (const auto &[name, service] : kServices) {
    choices.push_back({"install " + name, {Kind::Install, service}});
  }
  const json &array = scenario::Array("steps", value, "steps");
  std::vector<BootStep> steps;
  for (size_t i = 0; i < array.size(); ++i) {
    steps.push_back(scenario::Choice("steps[" + std::to_string(i) + "]",
                                     array[i], choices));
  }
  if (std::count(steps.begin(), steps.end(), BootStep{Kind::Entry}) != 1) {
    Refuse("steps", value, "steps that name \"entry\" exactly once");
  }
  return steps;
}

void Apply(const json &file, BoardSetup &setup) {
  if (!file.is_object()) {
    throw Refusal{"the scenario must be a JSON object"};
  }
  scenario::CheckKeys("", file, kKeys);
  std::vector<OutsideService> preinstalled;
  std::vector<OutsideService> services = {OutsideService::PciLocation,
                                          OutsideService::Smbios,
                                          OutsideService::SetupStrings};
  const std::map<std::string, std::function<void(const json &)>> readers = {
      {"pch_device_id",
       [&](const json &v) {
         setup.pchDeviceId = static_cast<uint16_t>(scenario::Number(
             "pch_device_id", v, 0xFFFF,
             "a 16-bit device ID, as a number or a \"0x\" string"));
       }},
      {"straps",
       [&](const json &v) {
         scenario::Levels("straps", v, setup.straps, 1, "levels, each 0 or 1");
       }},
      {"strap_owners",
       [&](const json &v) {
         scenario::Levels("strap_owners", v, setup.strapOwners, 3,
                          "owners, each 0, 1, 2 or 3");
       }},
      {"gpp_b0", [&](const json &v) { GppB0(v, setup.gppB0); }},
      {"p2sb",
       [&](const json &v) {
         setup.p2sb =
             scenario::Choice<P2sbBehaviour>("p2sb", v,
                                             {{"ok", P2sbBehaviour::Ok},
                                              {"absent", P2sbBehaviour::Absent},
                                              {"stuck", P2sbBehaviour::Stuck},
                                              {"error", P2sbBehaviour::Error}});
       }},
      {"p2sb_completion",
       [&](const json &v) {
         setup.p2sbCompletion = static_cast<uint8_t>(scenario::Number(
             "p2sb_completion", v, 3,
             "1, 2 or 3: the completion status of an \"error\" P2SB"));
         if (setup.p2sbCompletion == 0) {
           Refuse("p2sb_completion", v,
                  "1, 2 or 3: the completion status of an \"error\" P2SB");
         }
       }},
      {"p2sb_busy_reads",
       [&](const json &v) {
         setup.p2sbBusyReads = static_cast<uint32_t>(scenario::Number(
             "p2sb_busy_reads", v, facts::kSidebandPollLimit,
             "0 to " + std::to_string(facts::kSidebandPollLimit) +
                 " (0x0FFFFFFF, the driver's poll limit): status reads a "
                 "sideband message stays busy for before the next read "
                 "sees it complete"));
       }},
      {"lan",
       [&](const json &v) {
         const json &array = scenario::FixedArray(
             "lan", v, 2, "of \"i210\", \"other\", \"none\"");
         for (size_t i = 0; i < 2; ++i) {
           setup.lan[i] = scenario::Choice<DeviceKind>(
               "lan[" + std::to_string(i) + "]", array[i],
               {{"i210", DeviceKind::I210},
                {"other", DeviceKind::Other},
                {"none", DeviceKind::None}});
         }
       }},
      {"macs",
       [&](const json &v) {
         const json &array =
             scenario::FixedArray("macs", v, 2, "MAC address strings");
         for (size_t i = 0; i < 2; ++i) {
           setup.macs[i] =
               scenario::Mac("macs[" + std::to_string(i) + "]", array[i]);
         }
       }},
      {"slot_records",
       [&](const json &v) {
         setup.slotRecords = static_cast<unsigned>(
             scenario::Number("slot_records", v, 16, "0 to 16"));
       }},
      {"services", [&](const json &v) { services = Services("services", v); }},
      {"preinstalled",
       [&](const json &v) { preinstalled = Services("preinstalled", v); }},
      {"smm_base",
       [&](const json &v) {
         setup.smmBase = scenario::Boolean("smm_base", v);
       }},
      {"reads_zero",
       [&](const json &v) {
         setup.readsZero = scenario::Boolean("reads_zero", v);
       }},
      {"registers", [&](const json &v) { Registers(v, setup); }},
      {"bridge_keys", [&](const json &v) { BridgeKeys(v, setup); }},
      {"record_copies", [&](const json &v) { RecordCopies(v, setup); }},
      {"record_reads_without_buffer",
       [&](const json &v) {
         setup.recordReadsWithoutBuffer =
             scenario::Boolean("record_reads_without_buffer", v);
       }},
      {"faults", [&](const json &v) { setup.faults = Faults(v); }},
      {"configuration_tables",
       [&](const json &v) {
         setup.configurationTables = ConfigurationTables(v);
       }},
      {"steps", [&](const json &v) { setup.steps = Steps(v); }},
      {"hostile_reads",
       [&](const json &v) {
         setup.hostileReads = scenario::Bytes("hostile_reads", v, 0, 1 << 20);
       }},
  };
  for (const auto &[key, value] : file.items()) {
    readers.at(key)(value);
  }
  const bool namesServices =
      file.contains("services") || file.contains("preinstalled");
  if (file.contains("steps")) {
    if (namesServices) {
      throw Refusal{
          "\"steps\" and \"services\"/\"preinstalled\" both order the "
          "boot; accepted: one or the other"};
    }
    return;
  }
  // A list absent from the file keeps the default board's; the two lists
  // together must still name each service at most once.
  if (file.contains("preinstalled") && !file.contains("services")) {
    std::erase_if(services, [&](OutsideService service) {
      return std::count(preinstalled.begin(), preinstalled.end(), service) != 0;
    });
  }
  for (OutsideService service : preinstalled) {
    if (std::count(services.begin(), services.end(), service) != 0) {
      throw Refusal{std::string("service \"") + ServiceName(service) +
                    "\" is named in both \"services\" and \"preinstalled\"; "
                    "accepted: each service in at most one of the lists"};
    }
  }
  setup.steps = StepsFor(preinstalled, services);
}

}  // namespace

std::optional<std::string> ParseScenario(const std::string &text,
                                         BoardSetup &setup) {
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
  json file;
  try {
    file = json::parse(text, noteKeys, true, /*ignore_comments=*/true);
  } catch (const json::parse_error &error) {
    return std::string("malformed JSON: ") + error.what();
  }
  if (duplicate) {
    return "key \"" + *duplicate +
           "\" is given twice; accepted: each key once in its object";
  }
  BoardSetup parsed;
  try {
    Apply(file, parsed);
  } catch (const Refusal &refusal) {
    return refusal.message;
  }
  setup = parsed;
  return std::nullopt;
}

std::optional<std::string> LoadScenario(const std::string &path,
                                        BoardSetup &setup) {
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

}  // namespace sim
