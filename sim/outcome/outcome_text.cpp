#include "sim/outcome/outcome_text.h"

#include <sstream>

#include "sim/chipset/register_names.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/hex_text.h"
#include "sim/outcome/call_symbols.h"
#include "sim/status_names.h"

namespace sim {

namespace {

constexpr const char *kIndent = "             ";

const char *SeriesName(uint16_t deviceId) {
  switch (facts::SeriesOfLpcDeviceId(deviceId)) {
    case facts::Series::Lp:
      return "LP-series";
    case facts::Series::H:
      return "H-series";
    case facts::Series::Undetected:
      break;
  }
  return "undetected-series";
}

template <size_t N>
std::string LanList(const std::array<uint8_t, N> &buffer, size_t countByte) {
  const unsigned count = buffer[countByte];
  if (count == 0) {
    return "count 0";
  }
  std::string text = "count " + std::to_string(count) + ", MAC ";
  for (size_t i = 0; i < 6 && countByte + 1 + i < N; ++i) {
    text += (i == 0 ? "" : ":") + HexBytes(&buffer[countByte + 1 + i], 1);
  }
  return text;
}

void Board(std::ostream &out, const BootOutcome &outcome) {
  const BoardSetup &setup = outcome.scenario;
  out << "Board:       " << SeriesName(outcome.pchDeviceId)
      << " PCH (LPC device ID " << Hex(outcome.pchDeviceId, 4) << "), ";
  if (!outcome.strapLevels) {
    out << "no strap pads";
  } else {
    out << "straps GPP_K0..K3";
    for (uint8_t level : *outcome.strapLevels) {
      out << ' ' << static_cast<unsigned>(level);
    }
  }
  // The rest on a line of its own, so that the account fits 100 columns.
  out << ",\n" << kIndent << "P2SB " << P2sbName(setup.p2sb);
  if (setup.p2sb == P2sbBehaviour::Ok || setup.p2sb == P2sbBehaviour::Error) {
    out << " (busy for " << setup.p2sbBusyReads << " status reads)";
  }
  out << ", LAN " << LanDeviceName(setup.lan[0]) << '/'
      << LanDeviceName(setup.lan[1]) << '\n';
}

void Slots(std::ostream &out, const BootOutcome &outcome) {
  out << "Slots:       kept";
  if (outcome.slotRecordsLeft.empty()) {
    out << " none";
  }
  for (unsigned position : outcome.slotRecordsLeft) {
    out << " #" << position;
  }
  out << "; deleted";
  if (outcome.slotRecordsDeleted.empty()) {
    out << " none";
  }
  for (const SlotRecordDeletion &deleted : outcome.slotRecordsDeleted) {
    out << " #" << deleted.position << " (handle " << Hex(deleted.handle, 4)
        << ")";
  }
  out << '\n';
}

void SetupStrings(std::ostream &out, const BootOutcome &outcome) {
  out << "Setup:       ";
  if (outcome.setupStrings.empty()) {
    out << "no string replaced\n";
  }
  bool first = true;
  for (const SetupStringReplacement &replacement : outcome.setupStrings) {
    out << (first ? "" : kIndent) << Hex(replacement.id, 4) << " := \""
        << replacement.text << "\"\n";
    first = false;
  }
}

void GppB0(std::ostream &out, const BootOutcome &outcome) {
  out << "GPP_B0:      DW0 " << Hex(outcome.gppB0Before.dw0) << " -> "
      << Hex(outcome.gppB0After.dw0) << ", TX lock "
      << (outcome.gppB0Before.txLocked ? "set" : "clear") << " -> "
      << (outcome.gppB0After.txLocked ? "set" : "clear");
  if (outcome.sidebandMessages.empty()) {
    out << ", no sideband message\n";
    return;
  }
  out << '\n';
  for (const SidebandMessage &message : outcome.sidebandMessages) {
    out << kIndent << "sideband " << Hex(message.data) << " to port "
        << Hex(message.port, 2) << " offset " << Hex(message.offset, 3) << ": "
        << (message.completion
                ? "completion " + std::to_string(*message.completion)
                : std::string("never completed"))
        << (message.applied ? ", applied" : ", not applied") << ", "
        << message.statusReads << " status reads\n";
  }
}

void Lan(std::ostream &out, const BootOutcome &outcome) {
  const BoardServiceAnswer &lan = outcome.boardService;
  out << "LAN:         ";
  if (!lan.asked) {
    out << "the board service was not asked\n";
    return;
  }
  out << StatusName(lan.status) << "; first " << LanList(lan.first, 3) << ";\n"
      << kIndent << "second " << LanList(lan.second, 0) << '\n';
}

}  // namespace

std::string OutcomeText(const BootOutcome &outcome) {
  std::ostringstream out;
  Board(out, outcome);
  out << "Entry:       " << FormatStatus(outcome.entryStatus) << " ("
      << StatusName(outcome.entryStatus) << ")\n";
  out << "Riser:       " << static_cast<unsigned>(outcome.riserId) << " ("
      << facts::RiserName(outcome.riserId) << ")\n";
  Slots(out, outcome);
  SetupStrings(out, outcome);
  GppB0(out, outcome);
  Lan(out, outcome);
  out << "Afterwards:  " << outcome.openEvents << " driver events open, "
      << outcome.poolBuffersUnfreed << " pool buffers unfreed";
  for (const std::string &violation : outcome.violations) {
    out << '\n' << kIndent << "firmware violation: " << violation;
  }
  for (const std::string &flag : outcome.chipsetFlags) {
    out << '\n' << kIndent << "chipset: " << flag;
  }
  for (const std::string &broken : outcome.brokenInvariants) {
    out << '\n' << kIndent << "broken invariant: " << broken;
  }
  out << '\n';
  out << "Hardware:    " << outcome.accessCount << " accesses ("
      << outcome.accesses.size() << " trace entries)\n";
  return out.str();
}

std::string TraceListing(const BootOutcome &outcome) {
  const std::vector<Access> &accesses = outcome.accesses;
  const std::vector<ServiceCall> &calls = outcome.calls;
  const facts::Series series = facts::SeriesOfLpcDeviceId(outcome.pchDeviceId);
  CallSymbols symbols;
  std::ostringstream out;
  size_t a = 0;
  size_t c = 0;
  while (a < accesses.size() || c < calls.size()) {
    const bool takeCall =
        a == accesses.size() ||
        (c < calls.size() && calls[c].sequence < accesses[a].sequence);
    if (takeCall) {
      out << (calls[c].caller == Caller::Driver ? "  call " : "  ---- ")
          << symbols.Describe(calls[c]) << '\n';
      ++c;
    } else {
      const std::string name = RegisterName(accesses[a].address, series);
      out << "  hw   " << Describe(accesses[a])
          << (name.empty() ? "" : "  " + name) << '\n';
      ++a;
    }
  }
  return out.str();
}

}  // namespace sim
