#include "tools/boardsim/report.h"

#include <cstdio>
#include <map>
#include <sstream>

#include "sim/chipset/chipset_model.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/firmware/firmware_model.h"
#include "sim/services/service_doubles.h"

namespace boardsim {

namespace {

using nlohmann::json;

std::string Hex(uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits,
                static_cast<unsigned long long>(value));
  return text;
}

template <size_t N>
std::string HexBytes(const std::array<uint8_t, N> &bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

const char *StatusName(EFI_STATUS status) {
  static const std::map<EFI_STATUS, const char *> names = {
      {EFI_SUCCESS, "EFI_SUCCESS"},
      {EFI_INVALID_PARAMETER, "EFI_INVALID_PARAMETER"},
      {EFI_UNSUPPORTED, "EFI_UNSUPPORTED"},
      {EFI_DEVICE_ERROR, "EFI_DEVICE_ERROR"},
      {EFI_OUT_OF_RESOURCES, "EFI_OUT_OF_RESOURCES"},
      {EFI_NOT_FOUND, "EFI_NOT_FOUND"},
      {EFI_TIMEOUT, "EFI_TIMEOUT"}};
  auto found = names.find(status);
  return found == names.end() ? "unnamed status" : found->second;
}

const char *RiserName(unsigned id) {
  switch (id) {
    case 14:
      return "VARNEX-W";
    case 12:
      return "VARNEX-N";
    default:
      return "none recognised";
  }
}

const char *SeriesName(uint16_t deviceId) {
  switch (facts::SeriesOfLpcDeviceId(deviceId)) {
    case facts::Series::Lp:
      return "LP-series";
    case facts::Series::H:
      return "H-series";
    default:
      return "undetected-series";
  }
}

json AccessJson(const sim::Access &access) {
  json item = {{"op", access.op == sim::AccessOp::Read ? "read" : "write"},
               {"width", access.width},
               {"address", Hex(access.address, 8)},
               {"value", Hex(access.value, access.width / 4)}};
  if (access.count > 1) {
    item["repeat"] = access.count;
  }
  if (!access.implemented) {
    item["unimplemented"] = true;
  }
  return item;
}

json CallJson(const sim::ServiceCall &call) {
  json args = json::array();
  for (uint64_t arg : call.args) {
    args.push_back(Hex(arg, 1));
  }
  json item = {
      {"service", call.service},
      {"caller", call.caller == sim::Caller::Driver ? "driver" : "harness"},
      {"args", args},
      {"status", Hex(call.status, 16)}};
  if (call.guid) {
    item["guid"] = sim::FormatGuid(*call.guid);
  }
  if (call.injected) {
    item["injected"] = true;
  }
  return item;
}

std::string Mac(const std::string &hex, size_t offset) {
  std::string text;
  for (size_t i = 0; i < 6; ++i) {
    text += (i == 0 ? "" : ":") + hex.substr((offset + i) * 2, 2);
  }
  return text;
}

std::string LanList(const std::string &hex, size_t countByte) {
  const unsigned count = std::stoul(hex.substr(countByte * 2, 2), nullptr, 16);
  if (count == 0) {
    return "count 0";
  }
  return "count " + std::to_string(count) + ", MAC " + Mac(hex, countByte + 1);
}

// The board as its registers show it (a register dump may differ from the
// scenario's named keys): the LPC device ID and the strap levels, which an
// LP-series layout does not wire.
json BoardJson(const sim::ChipsetModel &chipset) {
  const auto id = static_cast<uint16_t>(
      chipset.Peek(facts::kLpcDeviceId, 16).value_or(0xFFFF));
  json straps = nullptr;
  if (facts::SeriesOfLpcDeviceId(id) != facts::Series::Lp) {
    straps = json::array();
    for (const facts::GpioPad &pad : facts::kGppK) {
      const uint64_t dw0 = facts::PadDw0(facts::Series::H, pad);
      straps.push_back((chipset.Peek(dw0).value_or(0) >> 1) & 1);
    }
  }
  return {{"pch_device_id", Hex(id, 4)}, {"strap_levels", straps}};
}

}  // namespace

json JsonReport(const sim::SimulatedBoot &boot, bool withCalls) {
  const sim::FirmwareModel &firmware = sim::Firmware();
  const sim::ChipsetModel &chipset = sim::Chipset();
  json report;
  report["board"] = BoardJson(chipset);
  report["entry_status"] = Hex(boot.EntryStatus(), 16);
  report["riser_id"] = boot.RiserIdSeen();
  report["slot_records_left"] = boot.SlotRecordsLeft();

  json deleted = json::array();
  const std::vector<uint16_t> &original = boot.OriginalSlotHandles();
  for (const sim::ServiceCall &call :
       firmware.CallsTo("SmbiosRecordService.DeleteRecord")) {
    const auto handle = static_cast<uint16_t>(call.args[0]);
    unsigned position = 0;
    for (size_t i = 0; i < original.size(); ++i) {
      if (original[i] == handle) {
        position = static_cast<unsigned>(i + 1);
      }
    }
    deleted.push_back({{"position", position},
                       {"handle", Hex(handle, 4)},
                       {"status", Hex(call.status, 16)}});
  }
  report["slot_records_deleted"] = deleted;

  json strings = json::object();
  for (const sim::StringReplacement &replacement :
       sim::Services().setupStrings.Replacements()) {
    strings[Hex(replacement.id, 4)] = replacement.text;
  }
  report["setup_strings"] = strings;

  const sim::PadState before = boot.GppB0Before();
  const sim::PadState after = boot.GppB0Now();
  json messages = json::array();
  for (const sim::SidebandMessage &message : chipset.SidebandMessages()) {
    json item = {{"port", Hex(message.port, 2)},
                 {"offset", Hex(message.offset, 3)},
                 {"data", Hex(message.data, 8)},
                 {"applied", message.applied}};
    item["completion"] =
        message.completion ? json(*message.completion) : json(nullptr);
    messages.push_back(item);
  }
  report["gpp_b0"] = {{"dw0", Hex(after.dw0, 8)},
                      {"tx_locked", after.txLocked},
                      {"dw0_before", Hex(before.dw0, 8)},
                      {"tx_locked_before", before.txLocked},
                      {"sideband_messages", messages}};

  const sim::LanAnswer &lan = boot.LastLanAnswer();
  report["lan"] = {{"status", Hex(lan.status, 16)},
                   {"first", HexBytes(lan.first)},
                   {"second", HexBytes(lan.second)}};
  report["open_events"] = firmware.OpenEventCount();
  report["pool_buffers_unfreed"] = firmware.OutstandingPoolBuffers();
  report["violations"] = firmware.Violations();
  report["chipset_flags"] = chipset.Flags();
  report["access_count"] = chipset.Trace().AccessCount();

  json accesses = json::array();
  for (const sim::Access &access : chipset.Trace().Entries()) {
    accesses.push_back(AccessJson(access));
  }
  report["accesses"] = accesses;
  if (withCalls) {
    json calls = json::array();
    for (const sim::ServiceCall &call : firmware.Calls()) {
      calls.push_back(CallJson(call));
    }
    report["service_calls"] = calls;
  }
  return report;
}

std::string TextAccount(const json &report, const sim::BoardSetup &setup) {
  std::ostringstream out;
  const json &board = report["board"];
  const std::string id = board["pch_device_id"];
  out << "Board:       "
      << SeriesName(static_cast<uint16_t>(std::stoul(id, nullptr, 16)))
      << " PCH (LPC device ID " << id << "), ";
  if (board["strap_levels"].is_null()) {
    out << "no strap pads";
  } else {
    out << "straps GPP_K0..K3";
    for (const json &level : board["strap_levels"]) {
      out << ' ' << level.get<int>();
    }
  }
  out << ", P2SB " << sim::P2sbName(setup.p2sb) << ", LAN "
      << sim::LanDeviceName(setup.lan[0]) << '/'
      << sim::LanDeviceName(setup.lan[1]) << '\n';
  const auto entry =
      std::stoull(report["entry_status"].get<std::string>(), nullptr, 16);
  out << "Entry:       " << report["entry_status"].get<std::string>() << " ("
      << StatusName(entry) << ")\n";
  const unsigned riser = report["riser_id"];
  out << "Riser:       " << riser << " (" << RiserName(riser) << ")\n";

  out << "Slots:       kept";
  if (report["slot_records_left"].empty()) {
    out << " none";
  }
  for (unsigned position : report["slot_records_left"]) {
    out << " #" << position;
  }
  out << "; deleted";
  if (report["slot_records_deleted"].empty()) {
    out << " none";
  }
  for (const json &deleted : report["slot_records_deleted"]) {
    out << " #" << deleted["position"].get<unsigned>() << " (handle "
        << deleted["handle"].get<std::string>() << ")";
  }
  out << '\n';

  out << "Setup:       ";
  if (report["setup_strings"].empty()) {
    out << "no string replaced\n";
  }
  bool firstString = true;
  for (const auto &[id, text] : report["setup_strings"].items()) {
    out << (firstString ? "" : "             ") << id << " := \""
        << text.get<std::string>() << "\"\n";
    firstString = false;
  }

  const json &gpp = report["gpp_b0"];
  out << "GPP_B0:      DW0 " << gpp["dw0_before"].get<std::string>() << " -> "
      << gpp["dw0"].get<std::string>() << ", TX lock "
      << (gpp["tx_locked_before"].get<bool>() ? "set" : "clear") << " -> "
      << (gpp["tx_locked"].get<bool>() ? "set" : "clear");
  const json &messages = gpp["sideband_messages"];
  if (messages.empty()) {
    out << ", no sideband message\n";
  } else {
    out << '\n';
    for (const json &message : messages) {
      out << "             sideband write "
          << message["data"].get<std::string>() << " to port "
          << message["port"].get<std::string>() << " offset "
          << message["offset"].get<std::string>() << ": "
          << (message["completion"].is_null()
                  ? std::string("never completed")
                  : "completion " +
                        std::to_string(message["completion"].get<int>()))
          << (message["applied"].get<bool>() ? ", applied" : ", not applied")
          << '\n';
    }
  }

  const json &lan = report["lan"];
  const auto lanStatus =
      std::stoull(lan["status"].get<std::string>(), nullptr, 16);
  out << "LAN:         " << StatusName(lanStatus) << "; first "
      << LanList(lan["first"], 3) << "; second " << LanList(lan["second"], 0)
      << '\n';
  out << "Afterwards:  " << report["open_events"].get<size_t>()
      << " driver events open, " << report["pool_buffers_unfreed"].get<size_t>()
      << " pool buffers unfreed";
  for (const json &violation : report["violations"]) {
    out << "\n             firmware violation: "
        << violation.get<std::string>();
  }
  for (const json &flag : report["chipset_flags"]) {
    out << "\n             chipset: " << flag.get<std::string>();
  }
  out << '\n';
  out << "Hardware:    " << report["access_count"].get<uint64_t>()
      << " accesses (" << report["accesses"].size() << " trace entries)\n";
  return out.str();
}

std::string TraceListing(const sim::SimulatedBoot &) {
  const auto &accesses = sim::Chipset().Trace().Entries();
  const auto &calls = sim::Firmware().Calls();
  std::ostringstream out;
  size_t a = 0;
  size_t c = 0;
  while (a < accesses.size() || c < calls.size()) {
    const bool takeCall =
        a == accesses.size() ||
        (c < calls.size() && calls[c].sequence < accesses[a].sequence);
    if (takeCall) {
      out << (calls[c].caller == sim::Caller::Driver ? "  call " : "  ---- ")
          << sim::Describe(calls[c]) << '\n';
      ++c;
    } else {
      out << "  hw   " << sim::Describe(accesses[a]) << '\n';
      ++a;
    }
  }
  return out.str();
}

}  // namespace boardsim
