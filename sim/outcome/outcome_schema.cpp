#include "sim/outcome/outcome_schema.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sim/scenario/scenario_schema.h"

namespace sim {

namespace {

using nlohmann::ordered_json;
using Keys = std::vector<std::pair<std::string, ordered_json>>;

ordered_json Ref(const std::string &name) {
  return {{"$ref", "#/$defs/" + name}};
}

ordered_json OrNull(const ordered_json &schema) {
  return {{"anyOf", {{{"type", "null"}}, schema}}};
}

// "0x" and exactly so many upper-case hex digits; 0 for any number of them.
ordered_json HexText(int digits) {
  const std::string count =
      digits == 0 ? "+" : "{" + std::to_string(digits) + "}";
  return {{"type", "string"}, {"pattern", "^0x[0-9A-F]" + count + "$"}};
}

ordered_json Count() { return {{"type", "integer"}, {"minimum", 0}}; }

ordered_json Flag() { return {{"type", "boolean"}}; }

ordered_json ListOf(const ordered_json &item) {
  return {{"type", "array"}, {"items", item}};
}

// Every key given, and no other, but the optional ones.
ordered_json Object(const Keys &keys,
                    const std::vector<std::string> &optional = {}) {
  ordered_json schema = {{"type", "object"},
                         {"properties", ordered_json::object()},
                         {"required", ordered_json::array()},
                         {"additionalProperties", false}};
  for (const auto &[name, value] : keys) {
    schema["properties"][name] = value;
    if (std::find(optional.begin(), optional.end(), name) == optional.end()) {
      schema["required"].push_back(name);
    }
  }
  return schema;
}

ordered_json Definitions() {
  ordered_json scenario = ScenarioSchema();
  scenario.erase("$schema");  // only a schema resource's root names it
  const ordered_json present = {{"enum", {nullptr, "not null"}}};
  return {
      {"scenario", scenario},
      {"status", HexText(16)},
      {"hex32", HexText(8)},
      {"sideband_message", Object({{"port", HexText(2)},
                                   {"offset", HexText(3)},
                                   {"opcode", HexText(2)},
                                   {"routing", HexText(4)},
                                   {"data", HexText(8)},
                                   {"completion", OrNull(Count())},
                                   {"applied", Flag()},
                                   {"status_reads", Count()}})},
      {"board_service_entries", Object({{"0", Flag()},
                                        {"1", Ref("status")},
                                        {"2", Flag()},
                                        {"3", present},
                                        {"5", Flag()},
                                        {"6", Ref("status")},
                                        {"7", present}})},
      {"lan",
       Object(
           {{"status", Ref("status")},
            {"first", {{"type", "string"}, {"pattern", "^(?:[0-9a-f]{2})*$"}}},
            {"second",
             {{"type", "string"}, {"pattern", "^(?:[0-9a-f]{2})*$"}}}})},
      {"access", Object({{"op", {{"enum", {"read", "write"}}}},
                         {"width", {{"enum", {8, 16, 32}}}},
                         {"address", HexText(8)},
                         {"value", HexText(0)},
                         {"repeat", {{"type", "integer"}, {"minimum", 2}}},
                         {"unimplemented", {{"const", true}}},
                         {"register", {{"type", "string"}}}},
                        {"repeat", "unimplemented", "register"})},
      {"service_call", Object({{"service", {{"type", "string"}}},
                               {"caller", {{"enum", {"driver", "harness"}}}},
                               {"args", ListOf({{"type", "string"}})},
                               {"status", Ref("status")},
                               {"guid", {{"type", "string"}}},
                               {"injected", {{"const", true}}}},
                              {"guid", "injected"})},
  };
}

}  // namespace

ordered_json OutcomeSchema() {
  const ordered_json texts = ListOf({{"type", "string"}});
  ordered_json schema = Object(
      {{"scenario", Ref("scenario")},
       {"board", Object({{"pch_device_id", HexText(4)},
                         {"strap_levels", OrNull({{"type", "array"},
                                                  {"items", {{"enum", {0, 1}}}},
                                                  {"minItems", 4},
                                                  {"maxItems", 4}})}})},
       {"entry_status", Ref("status")},
       {"board_service_at_entry", Flag()},
       {"smm_base", Flag()},
       {"smm_base_in_smm", OrNull(Flag())},
       {"riser_id", {{"type", "integer"}, {"minimum", 0}, {"maximum", 15}}},
       {"slot_records_left", ListOf(Count())},
       {"slot_record_reads", ListOf(Object({{"instance", Count()},
                                            {"value_in", OrNull(HexText(4))},
                                            {"status", Ref("status")}}))},
       {"slot_records_deleted", ListOf(Object({{"position", Count()},
                                               {"handle", HexText(4)},
                                               {"status", Ref("status")}}))},
       {"setup_strings",
        {{"type", "object"},
         {"propertyNames", HexText(4)},
         {"additionalProperties", {{"type", "string"}}}}},
       {"gpp_b0",
        Object({{"dw0", Ref("hex32")},
                {"tx_locked", Flag()},
                {"dw0_before", Ref("hex32")},
                {"tx_locked_before", Flag()},
                {"sideband_messages", ListOf(Ref("sideband_message"))}})},
       {"bridge_lookups",
        ListOf(Object({{"key", Count()}, {"bridge", HexText(4)}}))},
       {"board_service",
        OrNull(Object({{"installed", Flag()},
                       {"entries", OrNull(Ref("board_service_entries"))}}))},
       {"lan", OrNull(Ref("lan"))},
       {"open_events", Count()},
       {"pool_buffers_unfreed", Count()},
       {"violations", texts},
       {"chipset_flags", texts},
       {"broken_invariants", texts},
       {"access_count", Count()},
       {"accesses", ListOf(Ref("access"))},
       {"service_calls", ListOf(Ref("service_call"))}},
      {"service_calls"});
  ordered_json document = {
      {"$schema", "https://json-schema.org/draft/2020-12/schema"},
      {"title", "BoardConfigDxe boot outcome"},
      {"description",
       "What boardsim --json reports of one simulated boot (service_calls "
       "with --trace)."}};
  document.update(schema);
  document["$defs"] = Definitions();
  return document;
}

}  // namespace sim
