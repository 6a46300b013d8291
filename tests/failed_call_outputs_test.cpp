// A failed call's out-parameter is never trusted: firmware that writes one
// before it fails sees that value neither closed nor called.
#include <ostream>
#include <set>
#include <string>

#include "driver/board_actions.h"
#include "driver/driver_entry.h"
#include "driver/onboard_lan.h"
#include "driver/support_library.h"
#include "platform/guids.h"
#include "platform/outside_services.h"
#include "tests/model_fixture.h"

namespace {

// What the failing calls write: pointers to interfaces that count calls.
int junkEvent;
unsigned junkCalls;
EFI_STATUS EFIAPI JunkInSmm(EFI_SMM_BASE2_PROTOCOL *, BOOLEAN *inSmm) {
  ++junkCalls;
  *inSmm = TRUE;
  return EFI_SUCCESS;
}
EFI_SMM_BASE2_PROTOCOL junkSmmBase = {JunkInSmm, nullptr};
UINT32 EFIAPI JunkLookup(UINTN) {
  ++junkCalls;
  return 0;
}
PciLocationService junkPciLocation = {nullptr, nullptr, nullptr, JunkLookup};

// The calls that fail: events by their notify function, lookups by GUID.
std::set<EFI_EVENT_NOTIFY> failingEvents;
const EFI_GUID *failingLookup;
EFI_BOOT_SERVICES model;

EFI_STATUS EFIAPI ScribblingCreateEvent(UINT32 type, EFI_TPL tpl,
                                        EFI_EVENT_NOTIFY notify, VOID *context,
                                        EFI_EVENT *event) {
  if (failingEvents.count(notify) != 0) {
    *event = &junkEvent;
    return EFI_OUT_OF_RESOURCES;
  }
  return model.CreateEvent(type, tpl, notify, context, event);
}

EFI_STATUS EFIAPI ScribblingCreateEventEx(UINT32 type, EFI_TPL tpl,
                                          EFI_EVENT_NOTIFY notify,
                                          const VOID *context,
                                          const EFI_GUID *group,
                                          EFI_EVENT *event) {
  if (failingEvents.count(notify) != 0) {
    *event = &junkEvent;
    return EFI_OUT_OF_RESOURCES;
  }
  return model.CreateEventEx(type, tpl, notify, context, group, event);
}

EFI_STATUS EFIAPI ScribblingLocateProtocol(EFI_GUID *guid, VOID *registration,
                                           VOID **interface) {
  if (failingLookup != nullptr && GuidsEqual(*guid, *failingLookup)) {
    *interface = GuidsEqual(*guid, kSmmBase2ProtocolGuid)
                     ? static_cast<VOID *>(&junkSmmBase)
                     : static_cast<VOID *>(&junkPciLocation);
    return EFI_NOT_FOUND;
  }
  return model.LocateProtocol(guid, registration, interface);
}

class FailedCallOutputTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    junkCalls = 0;
    failingEvents.clear();
    failingLookup = nullptr;
    model = *boot();
    boot()->CreateEvent = ScribblingCreateEvent;
    boot()->CreateEventEx = ScribblingCreateEventEx;
    boot()->LocateProtocol = ScribblingLocateProtocol;
  }
  EFI_STATUS RunEntry() {
    return DriverEntry(firmware().ImageHandle(), firmware().SystemTable());
  }
};

struct FailingEvents {
  const char *name;
  std::set<EFI_EVENT_NOTIFY> notifies;  // whose events fail to be created
};

void PrintTo(const FailingEvents &events, std::ostream *out) {
  *out << events.name;
}

class WithdrawnEntryTest : public FailedCallOutputTest,
                           public ::testing::WithParamInterface<FailingEvents> {
};

// A failed SMBIOS event withdraws the entry's work: only the events that
// were created are closed.
TEST_P(WithdrawnEntryTest, EventsThatFailedAreNotClosed) {
  failingEvents = GetParam().notifies;
  EXPECT_EQ(RunEntry(), EFI_OUT_OF_RESOURCES);
  const auto closes = firmware().Calls().To("CloseEvent");
  EXPECT_EQ(closes.size(), 3 - failingEvents.size());
  for (const sim::ServiceCall &close : closes) {
    EXPECT_NE(close.args[0], Address(&junkEvent));
  }
  EXPECT_EQ(firmware().Events().OpenCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Failing, WithdrawnEntryTest,
    ::testing::Values(FailingEvents{"Smbios", {OnSmbiosServiceInstalled}},
                      FailingEvents{"ReadyToBootAndSmbios",
                                    {OnReadyToBoot, OnSmbiosServiceInstalled}},
                      FailingEvents{"SetupStringsAndSmbios",
                                    {OnStringServiceInstalled,
                                     OnSmbiosServiceInstalled}}),
    [](const ::testing::TestParamInfo<FailingEvents> &info) {
      return std::string(info.param.name);
    });

TEST_F(FailedCallOutputTest, AFailedSmmBaseLookupIsLookedUpAgain) {
  failingLookup = &kSmmBase2ProtocolGuid;
  firmware().InstallSmmBase(TRUE);
  ASSERT_EQ(RunEntry(), EFI_SUCCESS);
  EXPECT_EQ(SmmBaseCache, nullptr);
  failingLookup = nullptr;
  InitSupportLibrary(firmware().ImageHandle(), firmware().SystemTable());
  EXPECT_EQ(firmware().Calls().To("LocateProtocol").size(), 1U);  // the second
  EXPECT_EQ(InSmmFlag, TRUE);
  EXPECT_EQ(junkCalls, 0U);
}

TEST_F(FailedCallOutputTest, AFailedLocationLookupProbesNothing) {
  ASSERT_EQ(RunEntry(), EFI_SUCCESS);
  failingLookup = &kPciLocationServiceGuid;
  UINT8 first[10] = {};
  UINT8 second[7] = {};
  EXPECT_EQ(CollectOnboardLanMacs(first, second), EFI_NOT_FOUND);
  EXPECT_EQ(PciLocationCache, nullptr);
  EXPECT_EQ(junkCalls, 0U);
}

}  // namespace
