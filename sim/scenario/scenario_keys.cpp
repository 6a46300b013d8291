#include "sim/scenario/scenario_keys.h"

#include <algorithm>

#include "sim/facts/board.h"
#include "sim/hex_text.h"
#include "sim/status_names.h"

namespace sim {
namespace scenario {

const char kSchemaKey[] = "$schema";
const char kP2sbBusyReadsKey[] = "p2sb_busy_reads";
const char kReadsZeroKey[] = "reads_zero";

namespace {

const Names<OutsideService> kServices = {
    {"pci_location", OutsideService::PciLocation},
    {"smbios", OutsideService::Smbios},
    {"setup_strings", OutsideService::SetupStrings}};
const Names<P2sbBehaviour> kP2sbBehaviours = {{"ok", P2sbBehaviour::Ok},
                                              {"absent", P2sbBehaviour::Absent},
                                              {"stuck", P2sbBehaviour::Stuck},
                                              {"error", P2sbBehaviour::Error}};
const Names<DeviceKind> kLanDevices = {{"i210", DeviceKind::I210},
                                       {"other", DeviceKind::Other},
                                       {"none", DeviceKind::None}};
const Names<ConfigurationTable> kTables = {
    {"acpi20", ConfigurationTable::Acpi20},
    {"hob_list", ConfigurationTable::HobList}};

const Names<BootStep> &StepNames() {
  using Kind = BootStep::Kind;
  static const Names<BootStep> names = [] {
    Names<BootStep> all = {{"entry", {Kind::Entry}},
                           {"ready_to_boot", {Kind::ReadyToBoot}},
                           {"entry4", {Kind::Entry4}},
                           {"entry4_exact", {Kind::Entry4Exact}}};
    for (const auto &[name, service] : kServices) {
      all.push_back({"install " + name, {Kind::Install, service}});
    }
    return all;
  }();
  return names;
}

const std::string kValue32 = "a 32-bit value, as a number or a \"0x\" string";

std::string WindowText(uint64_t base, uint64_t size) {
  return Hex(base) + "-" + Hex(base + size - 1);
}

std::string MacText(const MacAddress &mac) {
  std::string text;
  for (size_t i = 0; i < mac.size(); ++i) {
    text += (i == 0 ? "" : ":") + HexBytes(&mac[i], 1);
  }
  return text;
}

template <typename T>
std::vector<T> NamedEach(const Names<T> &names, const json &array) {
  std::vector<T> all;
  for (const json &item : array) {
    all.push_back(Named(names, item));
  }
  return all;
}

template <typename T>
ordered_json NameEach(const Names<T> &names, const std::vector<T> &values) {
  ordered_json all = ordered_json::array();
  for (const T &value : values) {
    all.push_back(NameOf(names, value));
  }
  return all;
}

template <size_t N>
void NumberEach(const json &array, std::array<uint8_t, N> &into) {
  for (size_t i = 0; i < N; ++i) {
    into[i] = static_cast<uint8_t>(NumberOf(array[i]));
  }
}

// An array of the names, each named at most once.
Form EachOnce(const std::vector<std::string> &names,
              const std::string &repeated) {
  Form form = Array(Name(names), 0, "an array of " + Quoted(names));
  form.repeated = repeated;
  return form;
}

Form Steps() {
  Form form =
      Array(Name(NamesOf(StepNames())), 0,
            "an array of steps, each one of " + Quoted(NamesOf(StepNames())));
  form.once = "entry";
  form.onceAccepted = "steps that name \"entry\" exactly once";
  return form;
}

Form Fault() {
  const std::string call = "the call it fails, from 1; 0 for every call";
  return Object(
      {{"service", Name(FaultableServices())},
       {"status",
        NameOrNumber(StatusNames(), UINT64_MAX,
                     "a 64-bit EFI_STATUS as a \"0x\" string, or one of " +
                         Quoted(StatusNames()))},
       {"call", Number(0, 1000000, call)}},
      2,
      "an object with \"service\", \"status\" and optionally \"call\" (from "
      "1; 0 or none for every call)");
}

InjectedFault FaultOf(const json &item) {
  const json &status = item["status"];
  const std::optional<EFI_STATUS> named =
      status.is_string() ? StatusNamed(status.get<std::string>())
                         : std::nullopt;
  return {item["service"].get<std::string>(), named ? *named : NumberOf(status),
          item.contains("call") ? static_cast<unsigned>(NumberOf(item["call"]))
                                : 0U};
}

// A key that holds a setup member as it is: a number or a flag.
template <typename T>
Key Plain(const std::string &name, const std::string &description,
          const Form &form, T BoardSetup::*member) {
  return {name, description, form,
          [member](const json &v, Reading &r) {
            r.setup.*member = static_cast<T>(
                v.is_boolean() ? uint64_t{v.get<bool>()} : NumberOf(v));
          },
          [member](const BoardSetup &s) { return ordered_json(s.*member); }};
}

// A key that holds a map of the setup, numbers to values: each value read
// from its text, each key and value written as text.
template <typename K, typename V>
Key MapOf(const std::string &name, const std::string &description,
          const Form &form, std::map<K, V> BoardSetup::*member,
          V (*read)(const json &), std::string (*keyText)(K),
          ordered_json (*write)(const V &)) {
  return {name, description, form,
          [=](const json &v, Reading &r) {
            for (const auto &[key, value] : v.items()) {
              (r.setup.*member)[static_cast<K>(NumberOf(json(key)))] =
                  read(value);
            }
          },
          [=](const BoardSetup &s) {
            ordered_json all = ordered_json::object();
            for (const auto &[key, value] : s.*member) {
              all[keyText(key)] = write(value);
            }
            return all;
          }};
}

std::string DecimalText(uint64_t number) { return std::to_string(number); }

std::vector<Key> MakeKeys() {
  const std::string completion =
      "1, 2 or 3: the completion status of an \"error\" P2SB";
  const std::string busyReads =
      "0 to " + std::to_string(facts::kSidebandPollLimit) +
      " (0x0FFFFFFF, the driver's poll limit): status reads a sideband "
      "message stays busy for before the next read sees it complete";
  const std::string registers =
      "an object of \"0x\" physical addresses in the PCI configuration "
      "window (" +
      WindowText(facts::kPciWindowBase, facts::kPciWindowSize) +
      ") or the private-register window (" +
      WindowText(facts::kPrivateWindowBase, facts::kPrivateWindowSize) +
      "), 4-byte aligned, each a 32-bit value";
  Form bridgeKey = Number(0, UINT64_MAX, "");
  bridgeKey.decimalText = true;
  Form instance = Number(1, 255, "");
  instance.decimalText = true;
  return {
      {kSchemaKey,
       "the schema this file follows, for an editor; the reader ignores it",
       Text("the schema's path or URI"), nullptr, nullptr},
      {"pch_device_id",
       "the PCH's LPC/eSPI device ID: 0xA300-0xA31F H series, 0x9D80-0x9D9F "
       "LP, others an undetected series (the driver uses the H layout)",
       Number(0, 0xFFFF, "a 16-bit device ID, as a number or a \"0x\" string"),
       [](const json &v, Reading &r) {
         r.setup.pchDeviceId = static_cast<uint16_t>(NumberOf(v));
       },
       [](const BoardSetup &s) { return Hex(s.pchDeviceId, 4); }},
      {"straps", "RX levels of GPP_K0..K3 (not wired on an LP-series PCH)",
       Array(Number(0, 1, "0 or 1"), 4, "an array of 4 levels, each 0 or 1"),
       [](const json &v, Reading &r) { NumberEach(v, r.setup.straps); },
       [](const BoardSetup &s) { return ordered_json(s.straps); }},
      {"strap_owners", "ownership (0 host .. 3) of GPP_K0..K3",
       Array(Number(0, 3, "0, 1, 2 or 3"), 4,
             "an array of 4 owners, each 0, 1, 2 or 3"),
       [](const json &v, Reading &r) { NumberEach(v, r.setup.strapOwners); },
       [](const BoardSetup &s) { return ordered_json(s.strapOwners); }},
      {"gpp_b0", "GPP_B0's ownership, TX-state lock and DW0 before the boot",
       Object({{"owner", Number(0, 3, "0, 1, 2 or 3")},
               {"tx_locked", Boolean()},
               {"dw0", Number(0, 0xFFFFFFFF, kValue32)}},
              0, "an object with owner, tx_locked, dw0"),
       [](const json &v, Reading &r) {
         GppB0Setup &gpp = r.setup.gppB0;
         if (v.contains("owner")) {
           gpp.owner = static_cast<uint8_t>(NumberOf(v["owner"]));
         }
         gpp.txLocked = v.value("tx_locked", gpp.txLocked);
         if (v.contains("dw0")) {
           gpp.dw0 = static_cast<uint32_t>(NumberOf(v["dw0"]));
         }
       },
       [](const BoardSetup &s) {
         return ordered_json{{"owner", s.gppB0.owner},
                             {"tx_locked", s.gppB0.txLocked},
                             {"dw0", Hex(s.gppB0.dw0)}};
       }},
      {"p2sb", "how the P2SB answers sideband messages",
       Name(NamesOf(kP2sbBehaviours)),
       [](const json &v, Reading &r) {
         r.setup.p2sb = Named(kP2sbBehaviours, v);
       },
       [](const BoardSetup &s) { return P2sbName(s.p2sb); }},
      Plain("p2sb_completion",
            "the completion status an \"error\" P2SB answers every message "
            "with",
            Number(1, 3, completion), &BoardSetup::p2sbCompletion),
      Plain(kP2sbBusyReadsKey,
            "status reads a message stays busy for before the read after "
            "them sees it complete (at the poll limit the driver's wait "
            "gives up first)",
            Number(0, facts::kSidebandPollLimit, busyReads),
            &BoardSetup::p2sbBusyReads),
      {"lan", "the device behind each LAN bridge, of keys 8 and 403",
       Array(Name(NamesOf(kLanDevices)), 2,
             "an array of 2 of " + Quoted(NamesOf(kLanDevices))),
       [](const json &v, Reading &r) {
         for (size_t i = 0; i < 2; ++i) {
           r.setup.lan[i] = Named(kLanDevices, v[i]);
         }
       },
       [](const BoardSetup &s) {
         return ordered_json{LanDeviceName(s.lan[0]), LanDeviceName(s.lan[1])};
       }},
      {"macs", "the MAC address of the I210 behind each LAN bridge",
       Array(Mac(), 2, "an array of 2 MAC address strings"),
       [](const json &v, Reading &r) {
         r.setup.macs = {MacOf(v[0]), MacOf(v[1])};
       },
       [](const BoardSetup &s) {
         return ordered_json{MacText(s.macs[0]), MacText(s.macs[1])};
       }},
      Plain("slot_records", "type-9 records in the SMBIOS table",
            Number(0, 16, "0 to 16"), &BoardSetup::slotRecords),
      {"services", "outside services installed after the entry, in order",
       EachOnce(NamesOf(kServices), "each service named once"),
       [](const json &v, Reading &r) { r.services = NamedEach(kServices, v); },
       nullptr},
      {"preinstalled", "outside services installed before the entry",
       EachOnce(NamesOf(kServices), "each service named once"),
       [](const json &v, Reading &r) {
         r.preinstalled = NamedEach(kServices, v);
       },
       nullptr},
      Plain("smm_base", "the firmware has EFI_SMM_BASE2_PROTOCOL", Boolean(),
            &BoardSetup::smmBase),
      Plain(kReadsZeroKey,
            "every read of both chipset windows answers 0, as in QEMU",
            Boolean(), &BoardSetup::readsZero),
      MapOf<uint64_t, uint32_t>(
          "registers", "raw 32-bit register values over the model's defaults",
          Map(Address(""), Number(0, 0xFFFFFFFF, kValue32), registers,
              "each address once"),
          &BoardSetup::registers,
          [](const json &v) { return static_cast<uint32_t>(NumberOf(v)); },
          [](uint64_t address) { return Hex(address); },
          [](const uint32_t &value) { return ordered_json(Hex(value)); }),
      MapOf<uint64_t, uint16_t>(
          "bridge_keys",
          "what the bridge-location service answers for a key (0 for any "
          "other)",
          Map(bridgeKey,
              Number(0, 0xFFFF,
                     "a 16-bit PCI function, bus << 8 | dev << 3 | fn"),
              "an object of location-service keys (decimal) to the "
              "PciAddress16 of a bridge, such as {\"8\": \"0x00E0\"}",
              "each key once"),
          &BoardSetup::bridgeKeys,
          [](const json &v) { return static_cast<uint16_t>(NumberOf(v)); },
          DecimalText,
          [](const uint16_t &bridge) { return ordered_json(Hex(bridge, 4)); }),
      // At least the structure header that the service's contract promises.
      MapOf<uint8_t, std::vector<uint8_t>>(
          "record_copies",
          "bytes the SMBIOS service hands back for a type-9 instance, "
          "whatever its table holds",
          Map(instance, Bytes(4, 255),
              "an object of type-9 instances (1-255) to record bytes, such as "
              "{\"3\": \"09110009\"}",
              "each instance once"),
          &BoardSetup::recordCopies, BytesOf,
          [](uint8_t instance) { return std::to_string(instance); },
          [](const std::vector<uint8_t> &bytes) {
            return ordered_json(HexBytes(bytes.data(), bytes.size()));
          }),
      Plain("record_reads_without_buffer",
            "SMBIOS reads succeed without handing back a buffer", Boolean(),
            &BoardSetup::recordReadsWithoutBuffer),
      {"faults",
       "firmware calls that return the status instead: the call-th call of "
       "the service (0: every call)",
       Array(Fault(), 0, "an array of objects with service, status and call"),
       [](const json &v, Reading &r) {
         for (const json &item : v) {
           r.setup.faults.push_back(FaultOf(item));
         }
       },
       [](const BoardSetup &s) {
         ordered_json all = ordered_json::array();
         for (const InjectedFault &fault : s.faults) {
           all.push_back({{"service", fault.service},
                          {"status", FormatStatus(fault.status)},
                          {"call", fault.occurrence}});
         }
         return all;
       }},
      {"configuration_tables", "entries of the system table, in order",
       EachOnce(NamesOf(kTables), "each table named once"),
       [](const json &v, Reading &r) {
         r.setup.configurationTables = NamedEach(kTables, v);
       },
       [](const BoardSetup &s) {
         return NameEach(kTables, s.configurationTables);
       }},
      {"steps",
       "the boot in order, instead of services/preinstalled; entry4_exact asks "
       "entry 4 alone with buffers of exactly the promised size",
       Steps(),
       [](const json &v, Reading &r) {
         r.setup.steps = NamedEach(StepNames(), v);
       },
       [](const BoardSetup &s) { return NameEach(StepNames(), s.steps); }},
      {"hostile_reads",
       "every hardware read takes the next bytes, little-endian (0 past the "
       "end)",
       Bytes(0, 1 << 20),
       [](const json &v, Reading &r) { r.setup.hostileReads = BytesOf(v); },
       [](const BoardSetup &s) {
         return s.hostileReads ? ordered_json(HexBytes(s.hostileReads->data(),
                                                       s.hostileReads->size()))
                               : ordered_json(nullptr);
       }},
  };
}

}  // namespace

const std::vector<Key> &Keys() {
  static const std::vector<Key> keys = MakeKeys();
  return keys;
}

void CheckAcrossKeys(const json &file, Reading &reading) {
  if (file.contains("steps")) {
    if (reading.services || reading.preinstalled) {
      throw Refusal{
          "\"steps\" and \"services\"/\"preinstalled\" both order the "
          "boot; accepted: one or the other"};
    }
    return;
  }
  // A list absent from the file keeps the default board's; the two lists
  // together must still name each service at most once.
  std::vector<OutsideService> services =
      reading.services.value_or(NamedEach(kServices, NamesOf(kServices)));
  const std::vector<OutsideService> preinstalled =
      reading.preinstalled.value_or(std::vector<OutsideService>{});
  if (!reading.services) {
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
  reading.setup.steps = StepsFor(preinstalled, services);
}

ordered_json AcrossKeysSchema() {
  ordered_json eachServiceOnce = ordered_json::array();
  for (const std::string &service : NamesOf(kServices)) {
    const ordered_json named = {{"contains", {{"const", service}}}};
    eachServiceOnce.push_back(
        {{"not",
          {{"required", {"services", "preinstalled"}},
           {"properties", {{"services", named}, {"preinstalled", named}}}}}});
  }
  return {{"dependentSchemas",
           {{"steps",
             {{"description",
               "\"steps\" and \"services\"/\"preinstalled\" both "
               "order the boot: one or the other"},
              {"not",
               {{"anyOf",
                 {{{"required", {"services"}}},
                  {{"required", {"preinstalled"}}}}}}}}}}},
          {"allOf", eachServiceOnce}};
}

}  // namespace scenario

const char *ServiceName(OutsideService service) {
  return scenario::NameOf(scenario::kServices, service);
}

const char *P2sbName(P2sbBehaviour behaviour) {
  return scenario::NameOf(scenario::kP2sbBehaviours, behaviour);
}

const char *LanDeviceName(DeviceKind device) {
  return scenario::NameOf(scenario::kLanDevices, device);
}

const char *ConfigurationTableName(ConfigurationTable table) {
  return scenario::NameOf(scenario::kTables, table);
}

std::string StepName(const BootStep &step) {
  return scenario::NameOf(scenario::StepNames(), step);
}

const std::vector<std::string> &FaultableServices() {
  static const std::vector<std::string> services = {
      "LocateProtocol",
      "CreateEvent",
      "CreateEventEx",
      "RegisterProtocolNotify",
      "InstallProtocolInterface",
      "UninstallProtocolInterface",
      "CloseEvent",
      "FreePool",
      "InSmm",
      "SmbiosRecordService.ReadRecordByType",
      "SmbiosRecordService.DeleteRecord",
      "SetupStringService.ReplaceString",
  };
  return services;
}

}  // namespace sim
