// Every firmware call the driver makes in a full boot, made to fail in turn:
// the boot stays sound and ends as the driver's failure rules say.
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driver/board_service_protocol.h"
#include "tests/board_test_support.h"

namespace {

using sim::BoardSetup;
using sim::SimulatedBoot;

struct CallSite {
  std::string service;
  unsigned occurrence;  // among the driver's calls of that service, from 1

  std::string Label() const {
    return service + " #" + std::to_string(occurrence);
  }
};

// What a boot ended with, in the terms the failure rules speak of.
struct Outcome {
  std::optional<EFI_STATUS> entry;  // empty: the injected status itself
  std::vector<unsigned> slotsLeft = {2};
  size_t replaceCalls = 2;
  bool gppB0Driven = true;
  EFI_STATUS lan = EFI_SUCCESS;
  bool boardService = true;
};

BoardSetup FaultBoard() {
  BoardSetup setup;
  setup.smmBase = true;
  return setup;
}

std::vector<CallSite> CallSitesOfAFullBoot() {
  SimulatedBoot boot(FaultBoard());
  boot.Play();
  // Calls without a status cannot be failed.
  const std::set<std::string> voidCalls = {"CopyMem",
                                           "PciLocationService.LookupBridge"};
  std::map<std::string, unsigned> seen;
  std::vector<CallSite> sites;
  for (const sim::ServiceCall &call : boot.Board().Firmware().Calls().All()) {
    if (call.caller == sim::Caller::Driver && !voidCalls.count(call.service)) {
      sites.push_back({call.service, ++seen[call.service]});
    }
  }
  return sites;
}

// The outcome each failing call leads to; every site not listed ends as a
// boot without faults does.
Outcome Expected(const std::string &site, bool error) {
  Outcome outcome;
  outcome.entry = EFI_SUCCESS;
  if (!error) {
    // A warning is a success to every caller but the entry's last steps.
    if (site == "CreateEvent #2") {
      outcome.entry.reset();
      outcome.slotsLeft = {1, 2, 3};  // the SMBIOS notification never armed
    } else if (site == "RegisterProtocolNotify #2") {
      outcome.entry.reset();
    }
    return outcome;
  }
  // An error entry withdraws everything: the image is unloaded.
  const auto withdrawn = [](Outcome &o) {
    o.entry.reset();
    o.slotsLeft = {1, 2, 3};
    o.replaceCalls = 0;
    o.gppB0Driven = false;
    o.boardService = false;
    o.lan = EFI_NOT_FOUND;
  };
  const std::map<std::string, std::function<void(Outcome &)>> rules = {
      {"InstallProtocolInterface #1",
       [](Outcome &o) {
         o.boardService = false;
         o.lan = EFI_NOT_FOUND;
       }},
      {"CreateEventEx #1", [](Outcome &o) { o.gppB0Driven = false; }},
      {"CreateEvent #1", [](Outcome &o) { o.replaceCalls = 0; }},
      {"RegisterProtocolNotify #1", [](Outcome &o) { o.replaceCalls = 0; }},
      {"CreateEvent #2", withdrawn},
      {"RegisterProtocolNotify #2", withdrawn},
      // The first deletion (instance 3) is skipped, the second still made.
      {"LocateProtocol #2",
       [](Outcome &o) {
         o.slotsLeft = {2, 3};
       }},
      {"SmbiosRecordService.ReadRecordByType #1",
       [](Outcome &o) {
         o.slotsLeft = {2, 3};
       }},
      {"SmbiosRecordService.DeleteRecord #1",
       [](Outcome &o) {
         o.slotsLeft = {2, 3};
       }},
      {"LocateProtocol #3",
       [](Outcome &o) {
         o.slotsLeft = {1, 2};
       }},
      {"SmbiosRecordService.ReadRecordByType #2",
       [](Outcome &o) {
         o.slotsLeft = {1, 2};
       }},
      {"SmbiosRecordService.DeleteRecord #2",
       [](Outcome &o) {
         o.slotsLeft = {1, 2};
       }},
      {"LocateProtocol #4", [](Outcome &o) { o.replaceCalls = 0; }},
      {"LocateProtocol #5", [](Outcome &o) { o.lan = EFI_NOT_FOUND; }},
  };
  auto rule = rules.find(site);
  if (rule != rules.end()) {
    rule->second(outcome);
  }
  return outcome;
}

TEST(FaultInjection, EveryCallSiteFailingLeavesASoundBoot) {
  const std::vector<CallSite> sites = CallSitesOfAFullBoot();
  ASSERT_GE(sites.size(), 20U);
  // Two errors the callers treat alike, and a warning.
  const EFI_STATUS statuses[] = {EFI_OUT_OF_RESOURCES, EFI_NOT_FOUND,
                                 EFI_WARN_UNKNOWN_GLYPH};
  size_t runs = 0;
  for (const CallSite &site : sites) {
    for (EFI_STATUS status : statuses) {
      SCOPED_TRACE(site.Label() + " -> " + sim::FormatStatus(status));
      SimulatedBoot boot(FaultBoard());
      boot.Board().Firmware().Calls().FailCall(site.service, status,
                                               site.occurrence);
      boot.Play();
      ++runs;

      for (const std::string &broken : sim::CheckInvariants(boot)) {
        ADD_FAILURE() << broken;
      }
      const Outcome expected = Expected(site.Label(), EFI_ERROR(status));
      EXPECT_EQ(boot.EntryStatus(), expected.entry.value_or(status));
      EXPECT_EQ(boot.SlotRecordsLeft(), expected.slotsLeft);
      EXPECT_EQ(CountCalls(boot, "SetupStringService.ReplaceString"),
                expected.replaceCalls);
      EXPECT_EQ((boot.GppB0Now().dw0 & 1) == 0, expected.gppB0Driven);
      EXPECT_EQ(boot.LastAnswer().status, expected.lan);
      EXPECT_EQ(boot.Board()
                    .Firmware()
                    .Protocols()
                    .HandlesWith(kBoardServiceProtocolGuid)
                    .empty(),
                !expected.boardService);
    }
  }
  std::cout << "fault injection: " << sites.size() << " call sites, " << runs
            << " runs\n";
}

}  // namespace
