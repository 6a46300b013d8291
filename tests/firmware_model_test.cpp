// The firmware model must behave as UEFI firmware does where the driver
// depends on it: notification timing, task priority, pool ownership.
#include <vector>

#include "platform/guids.h"
#include "tests/model_fixture.h"

namespace {

constexpr EFI_GUID kSomeProtocol = {
    0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr EFI_GUID kSomeGroup = {
    0x76543210, 0xBA98, 0xFEDC, {8, 7, 6, 5, 4, 3, 2, 1}};

std::vector<std::string> ran;

VOID EFIAPI RecordNotify(EFI_EVENT, VOID *context) {
  ran.push_back(static_cast<const char *>(context));
}

// Installs a protocol from inside a notify function at TPL_CALLBACK, through
// the boot services its context points to.
VOID EFIAPI InstallFromNotify(EFI_EVENT, VOID *context) {
  ran.push_back("installer");
  static int instance;
  EFI_HANDLE handle = nullptr;
  static_cast<EFI_BOOT_SERVICES *>(context)->InstallProtocolInterface(
      &handle, GuidArg(kSomeProtocol), EFI_NATIVE_INTERFACE, &instance);
  ran.push_back("installer done");
}

class FirmwareModelTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    ran.clear();
  }
  EFI_EVENT NotifyOnInstall(const char *name) {
    EFI_EVENT event = nullptr;
    EXPECT_EQ(EFI_SUCCESS,
              boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordNotify,
                                  const_cast<char *>(name), &event));
    VOID *key = nullptr;
    EXPECT_EQ(EFI_SUCCESS, boot()->RegisterProtocolNotify(
                               GuidArg(kSomeProtocol), event, &key));
    return event;
  }
  int instance_ = 0;
};

TEST_F(FirmwareModelTest, ProtocolNotifySignalsOnlyForLaterInstallations) {
  firmware().Protocols().Install(kSomeProtocol, &instance_);
  NotifyOnInstall("watcher");
  EXPECT_TRUE(ran.empty());

  firmware().Protocols().Install(kSomeProtocol, &instance_);
  EXPECT_EQ(ran, std::vector<std::string>{"watcher"});
}

TEST_F(FirmwareModelTest, InstallationAtRaisedPriorityDefersTheNotify) {
  NotifyOnInstall("watcher");
  const EFI_TPL old = boot()->RaiseTPL(TPL_NOTIFY);
  firmware().Protocols().Install(kSomeProtocol, &instance_);
  EXPECT_TRUE(ran.empty());
  boot()->RestoreTPL(old);
  EXPECT_EQ(ran, std::vector<std::string>{"watcher"});
  EXPECT_EQ(firmware().Events().CurrentTpl(), TPL_APPLICATION);
}

TEST_F(FirmwareModelTest, NotifyNeverRunsInsideACallbackAtItsOwnPriority) {
  NotifyOnInstall("watcher");
  EFI_EVENT installer = nullptr;
  boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, InstallFromNotify,
                      boot(), &installer);
  boot()->SignalEvent(installer);
  EXPECT_EQ(ran, (std::vector<std::string>{"installer", "installer done",
                                           "watcher"}));
}

TEST_F(FirmwareModelTest, ClosedEventIsNoLongerNotified) {
  EFI_EVENT event = NotifyOnInstall("watcher");
  EXPECT_EQ(EFI_SUCCESS, boot()->CloseEvent(event));
  firmware().Protocols().Install(kSomeProtocol, &instance_);
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(EFI_INVALID_PARAMETER, boot()->SignalEvent(event));
  EXPECT_EQ(firmware().Calls().TakeViolations().size(), 1U);
}

TEST_F(FirmwareModelTest, ClosingAnEventDropsItsNotifyRegistration) {
  EFI_EVENT event = nullptr;
  ASSERT_EQ(EFI_SUCCESS,
            boot()->CreateEvent(0, TPL_CALLBACK, nullptr, nullptr, &event));
  VOID *key = nullptr;
  ASSERT_EQ(EFI_SUCCESS, boot()->RegisterProtocolNotify(GuidArg(kSomeProtocol),
                                                        event, &key));
  firmware().Protocols().Install(kSomeProtocol, &instance_);
  ASSERT_EQ(EFI_SUCCESS, boot()->CloseEvent(event));
  VOID *found = nullptr;
  EXPECT_EQ(EFI_NOT_FOUND,
            boot()->LocateProtocol(GuidArg(kSomeProtocol), key, &found));
}

TEST_F(FirmwareModelTest, SignallingAGroupRunsEveryMemberOnce) {
  EFI_EVENT first = nullptr;
  EFI_EVENT second = nullptr;
  boot()->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordNotify, "first",
                        &kSomeGroup, &first);
  boot()->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordNotify, "second",
                        &kSomeGroup, &second);
  boot()->SignalEvent(second);
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
  firmware().Events().SignalGroup(kSomeGroup);
  EXPECT_EQ(ran.size(), 4U);
}

TEST_F(FirmwareModelTest, CreateEventRefusesWhatTheFirmwareRefuses) {
  EFI_EVENT event = nullptr;
  EXPECT_EQ(EFI_INVALID_PARAMETER,
            boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_APPLICATION,
                                RecordNotify, nullptr, &event));
  EXPECT_EQ(EFI_INVALID_PARAMETER,
            boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_HIGH_LEVEL, RecordNotify,
                                nullptr, &event));
  EXPECT_EQ(EFI_INVALID_PARAMETER,
            boot()->CreateEvent(EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT,
                                TPL_CALLBACK, RecordNotify, nullptr, &event));
  EXPECT_EQ(EFI_INVALID_PARAMETER,
            boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, nullptr,
                                nullptr, &event));
  EXPECT_EQ(firmware().Events().OpenCount(), 0U);
}

TEST_F(FirmwareModelTest, PlainEventKeepsItsSignalUntilChecked) {
  EFI_EVENT event = nullptr;
  ASSERT_EQ(EFI_SUCCESS,
            boot()->CreateEvent(0, TPL_CALLBACK, nullptr, nullptr, &event));
  EXPECT_EQ(EFI_NOT_READY, boot()->CheckEvent(event));
  boot()->SignalEvent(event);
  EXPECT_EQ(EFI_SUCCESS, boot()->CheckEvent(event));
  EXPECT_EQ(EFI_NOT_READY, boot()->CheckEvent(event));
}

TEST_F(FirmwareModelTest, LocateProtocolFindsTheFirstInstance) {
  int second = 0;
  VOID *found = nullptr;
  EXPECT_EQ(EFI_NOT_FOUND,
            boot()->LocateProtocol(GuidArg(kSomeProtocol), nullptr, &found));
  firmware().Protocols().Install(kSomeProtocol, &instance_);
  firmware().Protocols().Install(kSomeProtocol, &second);
  EXPECT_EQ(EFI_SUCCESS,
            boot()->LocateProtocol(GuidArg(kSomeProtocol), nullptr, &found));
  EXPECT_EQ(found, &instance_);
}

TEST_F(FirmwareModelTest, InstallOnNullHandleCreatesOneAndUninstallRemovesIt) {
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(EFI_SUCCESS,
            boot()->InstallProtocolInterface(&handle, GuidArg(kSomeProtocol),
                                             EFI_NATIVE_INTERFACE, &instance_));
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(EFI_INVALID_PARAMETER,
            boot()->InstallProtocolInterface(&handle, GuidArg(kSomeProtocol),
                                             EFI_NATIVE_INTERFACE, &instance_));
  EXPECT_EQ(EFI_SUCCESS, boot()->UninstallProtocolInterface(
                             handle, GuidArg(kSomeProtocol), &instance_));
  EXPECT_TRUE(firmware().Protocols().HandlesWith(kSomeProtocol).empty());
}

TEST_F(FirmwareModelTest, PoolBufferFreedTwiceIsReported) {
  VOID *buffer = firmware().Memory().AllocatePoolBuffer(16);
  EXPECT_EQ(firmware().Memory().OutstandingPoolBuffers(), 1U);
  EXPECT_EQ(EFI_SUCCESS, boot()->FreePool(buffer));
  EXPECT_EQ(EFI_INVALID_PARAMETER, boot()->FreePool(buffer));
  int foreign = 0;
  EXPECT_EQ(EFI_INVALID_PARAMETER, boot()->FreePool(&foreign));
  EXPECT_EQ(firmware().Memory().OutstandingPoolBuffers(), 0U);
  EXPECT_EQ(firmware().Calls().TakeViolations().size(), 2U);
}

TEST_F(FirmwareModelTest, InjectedErrorSkipsTheWorkAndWarningKeepsIt) {
  firmware().Calls().FailCall("CreateEvent", EFI_OUT_OF_RESOURCES, 1);
  firmware().Calls().FailCall("CreateEvent", EFI_WARN_DELETE_FAILURE, 2);
  EFI_EVENT event = nullptr;
  EXPECT_EQ(EFI_OUT_OF_RESOURCES,
            boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordNotify,
                                nullptr, &event));
  EXPECT_EQ(event, nullptr);
  EXPECT_EQ(EFI_WARN_DELETE_FAILURE,
            boot()->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, RecordNotify,
                                nullptr, &event));
  EXPECT_NE(event, nullptr);
  EXPECT_EQ(firmware().Events().OpenCount(), 1U);
  const auto calls = firmware().Calls().To("CreateEvent");
  ASSERT_EQ(calls.size(), 2U);
  EXPECT_TRUE(calls[0].injected);
  EXPECT_TRUE(calls[1].injected);
}

TEST_F(FirmwareModelTest, FailedLookupHandsBackNoInterface) {
  firmware().Protocols().Install(kSomeProtocol, &instance_);
  firmware().Calls().FailCall("LocateProtocol", EFI_NOT_FOUND);
  VOID *found = &instance_;
  EXPECT_EQ(EFI_NOT_FOUND,
            boot()->LocateProtocol(GuidArg(kSomeProtocol), nullptr, &found));
  EXPECT_EQ(found, nullptr);
}

}  // namespace
