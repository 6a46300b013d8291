// The entry: what it asks of the firmware, in which order, and the status
// it returns when any of those calls fails.
#include <ostream>
#include <string>
#include <vector>

#include "driver/board_actions.h"
#include "driver/board_service_protocol.h"
#include "driver/driver_entry.h"
#include "driver/support_library.h"
#include "platform/guids.h"
#include "platform/service_globals.h"
#include "tests/model_fixture.h"

namespace {

class DriverEntryTest : public ModelTest {
 protected:
  EFI_STATUS RunEntry() {
    return DriverEntry(firmware().ImageHandle(), firmware().SystemTable());
  }

  std::vector<std::string> DriverCallNames() {
    std::vector<std::string> names;
    for (const sim::ServiceCall &call : firmware().Calls().All()) {
      if (call.caller == sim::Caller::Driver) {
        names.push_back(call.service);
      }
    }
    return names;
  }

  // The nth call of the service, or an empty record and a failure.
  sim::ServiceCall Call(const std::string &service, size_t nth = 0) {
    const std::vector<sim::ServiceCall> calls = firmware().Calls().To(service);
    if (calls.size() <= nth) {
      ADD_FAILURE() << service << " was called " << calls.size()
                    << " times, not " << nth + 1;
      return {};
    }
    return calls[nth];
  }

  bool BoardServiceInstalled() {
    return !firmware()
                .Protocols()
                .HandlesWith(kBoardServiceProtocolGuid)
                .empty();
  }
};

const std::vector<std::string> kEntryCalls = {
    "LocateProtocol",        "InstallProtocolInterface", "CreateEventEx",
    "CreateEvent",           "RegisterProtocolNotify",   "CreateEvent",
    "RegisterProtocolNotify"};

TEST_F(DriverEntryTest, MakesItsCallsInOrderWithTheirArguments) {
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(DriverCallNames(), kEntryCalls);

  const sim::ServiceCall &locate = Call("LocateProtocol");
  EXPECT_TRUE(GuidsEqual(*locate.guid, kSmmBase2ProtocolGuid));
  EXPECT_EQ(locate.args[1], 0U);
  EXPECT_EQ(locate.args[2], Address(&SmmBaseCache));

  const sim::ServiceCall &install = Call("InstallProtocolInterface");
  EXPECT_TRUE(GuidsEqual(*install.guid, kBoardServiceProtocolGuid));
  EXPECT_EQ(install.args[2], static_cast<uint64_t>(EFI_NATIVE_INTERFACE));
  EXPECT_EQ(install.args[3], Address(&BoardServiceProtocol));

  const sim::ServiceCall &ready = Call("CreateEventEx");
  EXPECT_EQ(ready.args[0], EVT_NOTIFY_SIGNAL);
  EXPECT_EQ(ready.args[1], TPL_CALLBACK);
  EXPECT_EQ(ready.args[2], Address(OnReadyToBoot));
  EXPECT_EQ(ready.args[3], 0U);
  EXPECT_TRUE(GuidsEqual(*ready.guid, kReadyToBootEventGroupGuid));

  const EFI_GUID *notified[] = {&kSetupStringServiceGuid,
                                &kSmbiosRecordServiceGuid};
  const uint64_t notifies[] = {Address(OnStringServiceInstalled),
                               Address(OnSmbiosServiceInstalled)};
  for (size_t i = 0; i < 2; ++i) {
    const sim::ServiceCall &create = Call("CreateEvent", i);
    EXPECT_EQ(create.args[0], EVT_NOTIFY_SIGNAL);
    EXPECT_EQ(create.args[1], TPL_CALLBACK);
    EXPECT_EQ(create.args[2], notifies[i]);
    EXPECT_EQ(create.args[3], 0U);
    const sim::ServiceCall &registration = Call("RegisterProtocolNotify", i);
    EXPECT_TRUE(GuidsEqual(*registration.guid, *notified[i]));
    const auto event = reinterpret_cast<EFI_EVENT>(registration.args[1]);
    EXPECT_EQ(Address(firmware().Events().NotifyOf(event)), notifies[i]);
  }
  EXPECT_EQ(firmware().Events().OpenCount(), 3U);
  EXPECT_TRUE(BoardServiceInstalled());
  EXPECT_EQ(chipset().Trace().AccessCount(), 0U);
}

TEST_F(DriverEntryTest, AsksInSmmWithTheInterfaceFirst) {
  firmware().InstallSmmBase(TRUE);
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  const sim::ServiceCall &inSmm = Call("InSmm");
  EXPECT_EQ(inSmm.args[0], Address(firmware().SmmBase().Interface()));
  EXPECT_EQ(inSmm.args[1], Address(&InSmmFlag));
  EXPECT_EQ(InSmmFlag, TRUE);
  EXPECT_EQ(SmmBaseCache, firmware().SmmBase().Interface());
  std::vector<std::string> expected = kEntryCalls;
  expected.insert(expected.begin() + 1, "InSmm");
  EXPECT_EQ(DriverCallNames(), expected);
}

TEST_F(DriverEntryTest, WithoutSmmBaseTheFlagStaysFalse) {
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(InSmmFlag, FALSE);
  EXPECT_EQ(SmmBaseCache, nullptr);
  EXPECT_TRUE(firmware().Calls().To("InSmm").empty());
}

TEST_F(DriverEntryTest, ACachedSmmBaseIsAskedAgainWithoutALookup) {
  firmware().InstallSmmBase(TRUE);
  InitSupportLibrary(firmware().ImageHandle(), firmware().SystemTable());
  ASSERT_EQ(SmmBaseCache, firmware().SmmBase().Interface());
  InSmmFlag = FALSE;
  InitSupportLibrary(firmware().ImageHandle(), firmware().SystemTable());
  EXPECT_EQ(firmware().Calls().To("LocateProtocol").size(), 1U);
  EXPECT_EQ(firmware().Calls().To("InSmm").size(), 2U);
  EXPECT_EQ(InSmmFlag, TRUE);
}

TEST_F(DriverEntryTest, AnSmmBaseFoundWithANullInterfaceIsNotCalled) {
  ASSERT_EQ(EFI_SUCCESS,
            firmware().Protocols().Install(kSmmBase2ProtocolGuid, nullptr));
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(SmmBaseCache, nullptr);
  EXPECT_EQ(InSmmFlag, FALSE);
  EXPECT_TRUE(firmware().Calls().To("InSmm").empty());
}

// The HOB list GUID with one bit of its first or its last byte changed.
EFI_GUID HobListGuidChangedAt(bool lastByte) {
  EFI_GUID guid = kHobListGuid;
  if (lastByte) {
    guid.Data4[7] ^= 0x01;
  } else {
    guid.Data1 ^= 0x80000000U;
  }
  return guid;
}

TEST_F(DriverEntryTest, FindsTheHobListAmongConfigurationTables) {
  static int other;
  static int firstHalfOff;
  static int lastByteOff;
  static int hobs;
  constexpr EFI_GUID kOther = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  firmware().Protocols().AddConfigurationTable(kOther, &other);
  firmware().Protocols().AddConfigurationTable(HobListGuidChangedAt(false),
                                               &firstHalfOff);
  firmware().Protocols().AddConfigurationTable(HobListGuidChangedAt(true),
                                               &lastByteOff);
  firmware().Protocols().AddConfigurationTable(kHobListGuid, &hobs);
  RunEntry();
  EXPECT_EQ(HobList, &hobs);
}

TEST_F(DriverEntryTest, AFoundHobListIsKeptWithoutAnotherSearch) {
  static int found;
  static int listed;
  firmware().Protocols().AddConfigurationTable(kHobListGuid, &listed);
  HobList = &found;
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(HobList, &found);
}

// Only the counted entries are searched, and the first HOB list found is
// the one kept.
TEST_F(DriverEntryTest, TheFirstCountedHobListEntryIsKept) {
  static int first;
  static int second;
  static int uncounted;
  EFI_CONFIGURATION_TABLE entries[] = {{HobListGuidChangedAt(true), &uncounted},
                                       {kHobListGuid, &first},
                                       {kHobListGuid, &second},
                                       {kHobListGuid, &uncounted}};
  EFI_SYSTEM_TABLE system = *firmware().SystemTable();
  system.ConfigurationTable = entries;
  ServiceGlobals.SystemTable = &system;
  const struct {
    UINTN counted;
    VOID *found;
  } cases[] = {{1, nullptr}, {2, &first}, {3, &first}};
  for (const auto &c : cases) {
    HobList = nullptr;
    system.NumberOfTableEntries = c.counted;
    FindHobList();
    EXPECT_EQ(HobList, c.found) << c.counted;
  }
}

TEST_F(DriverEntryTest, AHobListInTheFirstEntryIsFound) {
  static int hobs;
  EFI_CONFIGURATION_TABLE entries[] = {{kHobListGuid, &hobs}};
  EFI_SYSTEM_TABLE system = *firmware().SystemTable();
  system.ConfigurationTable = entries;
  system.NumberOfTableEntries = 1;
  ServiceGlobals.SystemTable = &system;
  HobList = nullptr;
  FindHobList();
  EXPECT_EQ(HobList, &hobs);
}

TEST_F(DriverEntryTest, StartsNormallyWithoutAHobList) {
  constexpr EFI_GUID kOther = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  static int other;
  firmware().Protocols().AddConfigurationTable(kOther, &other);
  EXPECT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(HobList, nullptr);
}

struct IgnoredFailure {
  const char *service;
  unsigned occurrence;
};

std::ostream &operator<<(std::ostream &out, const IgnoredFailure &failure) {
  return out << failure.service << " #" << failure.occurrence;
}

class IgnoredFailureTest
    : public DriverEntryTest,
      public ::testing::WithParamInterface<IgnoredFailure> {};

TEST_P(IgnoredFailureTest, LaterStepsStillRunAndTheEntrySucceeds) {
  firmware().Calls().FailCall(GetParam().service, EFI_OUT_OF_RESOURCES,
                              GetParam().occurrence);
  EXPECT_EQ(EFI_SUCCESS, RunEntry());
  std::vector<std::string> expected = kEntryCalls;
  const bool noStringEvent = std::string(GetParam().service) == "CreateEvent";
  if (noStringEvent) {
    expected.erase(expected.begin() + 4);  // nothing to register
  }
  EXPECT_EQ(DriverCallNames(), expected);
  const sim::ServiceCall &last = firmware().Calls().All().back();
  ASSERT_EQ(last.service, "RegisterProtocolNotify");
  EXPECT_TRUE(GuidsEqual(*last.guid, kSmbiosRecordServiceGuid));
}

INSTANTIATE_TEST_SUITE_P(
    FirstFourSteps, IgnoredFailureTest,
    ::testing::Values(IgnoredFailure{"LocateProtocol", 1},
                      IgnoredFailure{"InstallProtocolInterface", 1},
                      IgnoredFailure{"CreateEventEx", 1},
                      IgnoredFailure{"CreateEvent", 1},
                      IgnoredFailure{"RegisterProtocolNotify", 1}),
    [](const auto &info) { return std::string(info.param.service); });

struct StatusRule {
  const char *name;
  const char *service;
  EFI_STATUS status;
  bool registersSmbios;
};

std::ostream &operator<<(std::ostream &out, const StatusRule &rule) {
  return out << rule.service << " #2 -> " << sim::FormatStatus(rule.status);
}

class EntryStatusTest : public DriverEntryTest,
                        public ::testing::WithParamInterface<StatusRule> {};

TEST_P(EntryStatusTest, ReturnsTheStatusOfTheLastStepThatDecides) {
  const StatusRule &rule = GetParam();
  firmware().Calls().FailCall(rule.service, rule.status, 2);
  EXPECT_EQ(rule.status, RunEntry());
  EXPECT_EQ(firmware().Calls().To("RegisterProtocolNotify").size(),
            rule.registersSmbios ? 2U : 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, EntryStatusTest,
    ::testing::Values(StatusRule{"CreateEventError", "CreateEvent",
                                 EFI_OUT_OF_RESOURCES, false},
                      StatusRule{"CreateEventWarning", "CreateEvent",
                                 EFI_WARN_DELETE_FAILURE, false},
                      StatusRule{"RegisterError", "RegisterProtocolNotify",
                                 EFI_OUT_OF_RESOURCES, true},
                      StatusRule{"RegisterWarning", "RegisterProtocolNotify",
                                 EFI_WARN_UNKNOWN_GLYPH, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DriverEntryTest, ErrorEntryWithdrawsWhatItInstalled) {
  firmware().Calls().FailCall("RegisterProtocolNotify", EFI_OUT_OF_RESOURCES,
                              2);
  EXPECT_EQ(EFI_OUT_OF_RESOURCES, RunEntry());
  EXPECT_FALSE(BoardServiceInstalled());
  EXPECT_EQ(firmware().Events().OpenCount(), 0U);
  EXPECT_EQ(firmware().Calls().To("UninstallProtocolInterface").size(), 1U);
  EXPECT_EQ(firmware().Calls().To("CloseEvent").size(), 3U);

  // Nothing of the unloaded image runs any more.
  static int service;
  firmware().Protocols().Install(kSetupStringServiceGuid, &service);
  firmware().Protocols().Install(kSmbiosRecordServiceGuid, &service);
  firmware().Events().SignalGroup(kReadyToBootEventGroupGuid);
  EXPECT_EQ(firmware().Calls().To("CloseEvent").size(), 3U);
}

TEST_F(DriverEntryTest, ErrorEntryWithdrawsOnlyWhatExists) {
  firmware().Calls().FailCall("InstallProtocolInterface", EFI_OUT_OF_RESOURCES);
  firmware().Calls().FailCall("CreateEventEx", EFI_OUT_OF_RESOURCES);
  firmware().Calls().FailCall("CreateEvent", EFI_OUT_OF_RESOURCES, 2);
  EXPECT_EQ(EFI_OUT_OF_RESOURCES, RunEntry());
  EXPECT_TRUE(firmware().Calls().To("UninstallProtocolInterface").empty());
  ASSERT_EQ(firmware().Calls().To("CloseEvent").size(), 1U);
  EXPECT_EQ(firmware().Events().OpenCount(), 0U);
}

TEST_F(DriverEntryTest, WarningEntryKeepsItsHooks) {
  firmware().Calls().FailCall("RegisterProtocolNotify", EFI_WARN_UNKNOWN_GLYPH,
                              2);
  EXPECT_EQ(EFI_WARN_UNKNOWN_GLYPH, RunEntry());
  EXPECT_TRUE(BoardServiceInstalled());
  EXPECT_EQ(firmware().Events().OpenCount(), 3U);
}

TEST_F(DriverEntryTest, ServicesInstalledBeforeTheEntryAreNotNotified) {
  static int strings;
  static int smbios;
  firmware().Protocols().Install(kSetupStringServiceGuid, &strings);
  firmware().Protocols().Install(kSmbiosRecordServiceGuid, &smbios);
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(DriverCallNames(), kEntryCalls);
  EXPECT_EQ(firmware().Events().OpenCount(), 3U);
}

TEST_F(DriverEntryTest, ServiceInstalledAfterTheEntryRunsItsNotification) {
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  const size_t before = firmware().Calls().All().size();
  firmware().Protocols().Install(kSmbiosRecordServiceGuid,
                                 services().smbios.Interface());
  ASSERT_GT(firmware().Calls().All().size(), before + 1);
  EXPECT_EQ(firmware().Calls().All()[before + 1].service, "CloseEvent");
  EXPECT_EQ(firmware().Events().OpenCount(), 2U);
}

TEST_F(DriverEntryTest, BoardServiceStubEntriesAnswerAsTheyShould) {
  RunEntry();
  auto *board = static_cast<BOARD_SERVICE_PROTOCOL *>(
      firmware().Protocols().FindInterface(kBoardServiceProtocolGuid));
  ASSERT_EQ(board, &BoardServiceProtocol);
  EXPECT_EQ(board->Entry0(), FALSE);
  EXPECT_EQ(board->Entry2(), FALSE);
  EXPECT_EQ(board->Entry5(), TRUE);
  EXPECT_EQ(board->Entry1(), EFI_SUCCESS);
  EXPECT_EQ(board->Entry6(), EFI_SUCCESS);
  EXPECT_EQ(board->Entry0, board->Entry2);
  EXPECT_EQ(board->Entry1, board->Entry6);
  EXPECT_EQ(board->Entry3, nullptr);
  EXPECT_EQ(board->Entry7, nullptr);
  EXPECT_NE(board->CollectOnboardLanMacs, nullptr);
}

}  // namespace
