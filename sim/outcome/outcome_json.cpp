#include "sim/outcome/outcome_json.h"

#include "sim/chipset/register_names.h"
#include "sim/hex_text.h"
#include "sim/outcome/call_symbols.h"
#include "sim/outcome/chipset_json.h"
#include "sim/scenario/scenario_json.h"
#include "sim/status_names.h"

namespace sim {

namespace {

using nlohmann::ordered_json;

ordered_json CallJson(const ServiceCall &call, CallSymbols &symbols) {
  ordered_json args = ordered_json::array();
  for (const std::string &arg : symbols.Arguments(call)) {
    args.push_back(arg);
  }
  ordered_json item = {
      {"service", call.service},
      {"caller", call.caller == Caller::Driver ? "driver" : "harness"},
      {"args", args},
      {"status", FormatStatus(call.status)}};
  if (call.guid) {
    item["guid"] = FormatGuid(*call.guid);
  }
  if (call.injected) {
    item["injected"] = true;
  }
  return item;
}

ordered_json BoardServiceJson(const BoardServiceAnswer &answer) {
  auto presence = [](bool null) {
    return null ? ordered_json(nullptr) : ordered_json("not null");
  };
  ordered_json entries = nullptr;
  if (answer.installed && !answer.exactBuffers) {
    entries = {{"0", answer.entry0},
               {"1", FormatStatus(answer.entry1)},
               {"2", answer.entry2},
               {"3", presence(answer.entry3Null)},
               {"5", answer.entry5},
               {"6", FormatStatus(answer.entry6)},
               {"7", presence(answer.entry7Null)}};
  }
  return {{"installed", answer.installed}, {"entries", entries}};
}

}  // namespace

ordered_json OutcomeJson(const BootOutcome &outcome, bool withCalls) {
  ordered_json report;
  report["scenario"] = ScenarioJson(outcome.scenario);
  ordered_json straps = nullptr;
  if (outcome.strapLevels) {
    straps = *outcome.strapLevels;
  }
  report["board"] = {{"pch_device_id", Hex(outcome.pchDeviceId, 4)},
                     {"strap_levels", straps}};
  report["entry_status"] = FormatStatus(outcome.entryStatus);
  report["board_service_at_entry"] = outcome.boardServiceAtEntry;
  report["smm_base"] = outcome.smmBase;
  report["smm_base_in_smm"] = outcome.smmBaseInSmm
                                  ? ordered_json(*outcome.smmBaseInSmm)
                                  : ordered_json(nullptr);
  report["riser_id"] = outcome.riserId;
  report["slot_records_left"] = outcome.slotRecordsLeft;

  ordered_json reads = ordered_json::array();
  for (const SlotRecordRead &read : outcome.slotRecordReads) {
    reads.push_back(
        {{"instance", read.instance},
         {"value_in", read.valueIn ? ordered_json(Hex(*read.valueIn, 4))
                                   : ordered_json(nullptr)},
         {"status", FormatStatus(read.status)}});
  }
  report["slot_record_reads"] = reads;
  ordered_json deleted = ordered_json::array();
  for (const SlotRecordDeletion &deletion : outcome.slotRecordsDeleted) {
    deleted.push_back({{"position", deletion.position},
                       {"handle", Hex(deletion.handle, 4)},
                       {"status", FormatStatus(deletion.status)}});
  }
  report["slot_records_deleted"] = deleted;

  ordered_json strings = ordered_json::object();
  for (const SetupStringReplacement &replacement : outcome.setupStrings) {
    strings[Hex(replacement.id, 4)] = replacement.text;
  }
  report["setup_strings"] = strings;

  ordered_json messages = ordered_json::array();
  for (const SidebandMessage &message : outcome.sidebandMessages) {
    messages.push_back(SidebandMessageJson(message));
  }
  report["gpp_b0"] = {{"dw0", Hex(outcome.gppB0After.dw0)},
                      {"tx_locked", outcome.gppB0After.txLocked},
                      {"dw0_before", Hex(outcome.gppB0Before.dw0)},
                      {"tx_locked_before", outcome.gppB0Before.txLocked},
                      {"sideband_messages", messages}};

  ordered_json lookups = ordered_json::array();
  for (const BridgeLookup &lookup : outcome.bridgeLookups) {
    lookups.push_back({{"key", lookup.key}, {"bridge", Hex(lookup.bridge, 4)}});
  }
  report["bridge_lookups"] = lookups;
  const BoardServiceAnswer &lan = outcome.boardService;
  report["board_service"] = nullptr;
  report["lan"] = nullptr;
  if (lan.asked) {
    report["board_service"] = BoardServiceJson(lan);
    report["lan"] = {
        {"status", FormatStatus(lan.status)},
        {"first", HexBytes(lan.first.data(), lan.first.size())},
        {"second", HexBytes(lan.second.data(), lan.second.size())}};
  }

  report["open_events"] = outcome.openEvents;
  report["pool_buffers_unfreed"] = outcome.poolBuffersUnfreed;
  report["violations"] = outcome.violations;
  report["chipset_flags"] = outcome.chipsetFlags;
  report["broken_invariants"] = outcome.brokenInvariants;
  report["access_count"] = outcome.accessCount;
  ordered_json accesses = ordered_json::array();
  const facts::Series series = facts::SeriesOfLpcDeviceId(outcome.pchDeviceId);
  for (const Access &access : outcome.accesses) {
    ordered_json shown = AccessJson(access);
    const std::string name = RegisterName(access.address, series);
    if (!name.empty()) {
      shown["register"] = name;
    }
    accesses.push_back(shown);
  }
  report["accesses"] = accesses;
  if (withCalls) {
    ordered_json calls = ordered_json::array();
    CallSymbols symbols;
    for (const ServiceCall &call : outcome.calls) {
      calls.push_back(CallJson(call, symbols));
    }
    report["service_calls"] = calls;
  }
  return report;
}

}  // namespace sim
