// Paths that no whole boot and no failed call takes: services located with
// a null interface, lookups answered from their caches, and GUIDs that
// differ only in their second half.
#include <string>
#include <vector>

#include "driver/driver_entry.h"
#include "driver/support_library.h"
#include "platform/guids.h"
#include "platform/outside_services.h"
#include "platform/service_globals.h"
#include "sim/chipset/chipset_model.h"
#include "tests/model_fixture.h"

namespace {

class CoverageGapsTest : public ModelTest {
 protected:
  EFI_STATUS RunEntry() {
    return DriverEntry(firmware().ImageHandle(), firmware().SystemTable());
  }
  static size_t CallCount(const std::string &service) {
    return sim::Firmware().Calls().To(service).size();
  }
};

// The HOB list GUID with one byte of its second half changed.
EFI_GUID NearHobListGuid() {
  EFI_GUID guid = kHobListGuid;
  guid.Data4[7] ^= 0x01;
  return guid;
}

TEST_F(CoverageGapsTest, GuidsDifferingOnlyInTheirLastByteAreUnequal) {
  EXPECT_TRUE(GuidsEqual(kHobListGuid, kHobListGuid));
  EXPECT_FALSE(GuidsEqual(kHobListGuid, NearHobListGuid()));
  EFI_GUID firstHalf = kHobListGuid;
  firstHalf.Data1 ^= 0x80000000U;
  EXPECT_FALSE(GuidsEqual(kHobListGuid, firstHalf));
}

TEST_F(CoverageGapsTest, AConfigurationTableOneByteOffIsNotTheHobList) {
  static int impostor;
  static int hobs;
  firmware().Protocols().AddConfigurationTable(NearHobListGuid(), &impostor);
  firmware().Protocols().AddConfigurationTable(kHobListGuid, &hobs);
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(HobList, &hobs);
}

TEST_F(CoverageGapsTest, AFoundHobListIsKeptWithoutAnotherSearch) {
  static int found;
  static int listed;
  firmware().Protocols().AddConfigurationTable(kHobListGuid, &listed);
  HobList = &found;
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(HobList, &found);
}

// Only the counted entries are searched, and the first HOB list found is
// the one kept.
TEST_F(CoverageGapsTest, TheFirstCountedHobListEntryIsKept) {
  static int first;
  static int second;
  static int uncounted;
  EFI_CONFIGURATION_TABLE entries[] = {{NearHobListGuid(), &uncounted},
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

TEST_F(CoverageGapsTest, ACachedSmmBaseIsAskedAgainWithoutALookup) {
  firmware().InstallSmmBase(TRUE);
  InitSupportLibrary(firmware().ImageHandle(), firmware().SystemTable());
  ASSERT_EQ(SmmBaseCache, firmware().SmmBase().Interface());
  InSmmFlag = FALSE;
  InitSupportLibrary(firmware().ImageHandle(), firmware().SystemTable());
  EXPECT_EQ(CallCount("LocateProtocol"), 1U);
  EXPECT_EQ(CallCount("InSmm"), 2U);
  EXPECT_EQ(InSmmFlag, TRUE);
}

TEST_F(CoverageGapsTest, AnSmmBaseFoundWithANullInterfaceIsNotCalled) {
  ASSERT_EQ(EFI_SUCCESS,
            firmware().Protocols().Install(kSmmBase2ProtocolGuid, nullptr));
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  EXPECT_EQ(SmmBaseCache, nullptr);
  EXPECT_EQ(InSmmFlag, FALSE);
  EXPECT_EQ(CallCount("InSmm"), 0U);
}

TEST_F(CoverageGapsTest, ASetupStringServiceWithANullInterfaceKeepsItsEvent) {
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  const size_t openAtEntry = firmware().Events().OpenCount();
  sim::Chipset().Trace().Clear();
  ASSERT_EQ(EFI_SUCCESS,
            firmware().Protocols().Install(kSetupStringServiceGuid, nullptr));
  EXPECT_EQ(CallCount("LocateProtocol"), 2U);  // SMM base, then the service
  EXPECT_EQ(CallCount("CloseEvent"), 0U);
  EXPECT_EQ(firmware().Events().OpenCount(), openAtEntry);
  // Nothing was done for a service that cannot be called: not even the
  // straps were read.
  EXPECT_TRUE(sim::Chipset().Trace().Entries().empty());
}

TEST_F(CoverageGapsTest, AnSmbiosServiceWithANullInterfaceIsNeverCalled) {
  ASSERT_EQ(EFI_SUCCESS, RunEntry());
  const size_t openAtEntry = firmware().Events().OpenCount();
  ASSERT_EQ(EFI_SUCCESS,
            firmware().Protocols().Install(kSmbiosRecordServiceGuid, nullptr));
  // The event is closed first; then each of the two deletions locates the
  // service, finds no interface and stops there.
  EXPECT_EQ(firmware().Events().OpenCount(), openAtEntry - 1);
  EXPECT_EQ(CallCount("LocateProtocol"), 3U);  // SMM base, then two
  EXPECT_EQ(CallCount("FreePool"), 0U);
  EXPECT_EQ(firmware().Memory().OutstandingPoolBuffers(), 0U);
}

}  // namespace
