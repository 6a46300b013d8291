#include "sim/scenario/scenario_json.h"

#include <string>

#include "sim/hex_text.h"
#include "sim/status_names.h"

namespace sim {

namespace {

using nlohmann::ordered_json;

std::string MacText(const MacAddress &mac) {
  std::string text;
  for (size_t i = 0; i < mac.size(); ++i) {
    text += (i == 0 ? "" : ":") + HexBytes(&mac[i], 1);
  }
  return text;
}

}  // namespace

ordered_json ScenarioJson(const BoardSetup &setup) {
  ordered_json file;
  file["pch_device_id"] = Hex(setup.pchDeviceId, 4);
  file["straps"] = setup.straps;
  file["strap_owners"] = setup.strapOwners;
  file["gpp_b0"] = {{"owner", setup.gppB0.owner},
                    {"tx_locked", setup.gppB0.txLocked},
                    {"dw0", Hex(setup.gppB0.dw0)}};
  file["p2sb"] = P2sbName(setup.p2sb);
  file["p2sb_completion"] = setup.p2sbCompletion;
  file["p2sb_busy_reads"] = setup.p2sbBusyReads;
  file["lan"] = {LanDeviceName(setup.lan[0]), LanDeviceName(setup.lan[1])};
  file["macs"] = {MacText(setup.macs[0]), MacText(setup.macs[1])};
  file["slot_records"] = setup.slotRecords;
  file["smm_base"] = setup.smmBase;
  file["reads_zero"] = setup.readsZero;
  file["registers"] = ordered_json::object();
  for (const auto &[address, value] : setup.registers) {
    file["registers"][Hex(address)] = Hex(value);
  }
  file["bridge_keys"] = ordered_json::object();
  for (const auto &[key, bridge] : setup.bridgeKeys) {
    file["bridge_keys"][std::to_string(key)] = Hex(bridge, 4);
  }
  file["record_copies"] = ordered_json::object();
  for (const auto &[instance, bytes] : setup.recordCopies) {
    file["record_copies"][std::to_string(instance)] =
        HexBytes(bytes.data(), bytes.size());
  }
  file["record_reads_without_buffer"] = setup.recordReadsWithoutBuffer;
  file["faults"] = ordered_json::array();
  for (const InjectedFault &fault : setup.faults) {
    file["faults"].push_back({{"service", fault.service},
                              {"status", FormatStatus(fault.status)},
                              {"call", fault.occurrence}});
  }
  file["configuration_tables"] = ordered_json::array();
  for (ConfigurationTable table : setup.configurationTables) {
    file["configuration_tables"].push_back(ConfigurationTableName(table));
  }
  file["steps"] = ordered_json::array();
  for (const BootStep &step : setup.steps) {
    file["steps"].push_back(StepName(step));
  }
  if (setup.hostileReads) {
    file["hostile_reads"] =
        HexBytes(setup.hostileReads->data(), setup.hostileReads->size());
  }
  return file;
}

}  // namespace sim
