// The test side's interface facts held against the driver's declarations:
// every GUID byte for byte, and every entry position against the offset of
// the member the driver calls or fills. The models, boardsim and the EFI
// programs take the facts; the driver keeps its own, so a slip in either
// shows here rather than being mirrored by the other.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "driver/board_service.h"
#include "driver/board_service_protocol.h"
#include "platform/guids.h"
#include "platform/outside_services.h"
#include "sim/facts/efi_guids.h"
#include "sim/facts/interfaces.h"
#include "sim/firmware/service_call.h"

namespace {

std::string Text(const EFI_GUID &guid) { return sim::FormatGuid(guid); }

TEST(InterfaceFactsTest, GuidsMatchTheDriversByteForByte) {
  static_assert(sizeof(facts::Guid) == sizeof(EFI_GUID));
  const struct {
    const char *name;
    const facts::Guid &fact;
    const EFI_GUID &testSide;  // what the models and programs pass
    const EFI_GUID &driver;
  } guids[] = {
      {"board service", facts::kBoardServiceGuid, facts::efi::kBoardService,
       kBoardServiceProtocolGuid},
      {"Setup string service", facts::kSetupStringServiceGuid,
       facts::efi::kSetupStringService, kSetupStringServiceGuid},
      {"SMBIOS record service", facts::kSmbiosRecordServiceGuid,
       facts::efi::kSmbiosRecordService, kSmbiosRecordServiceGuid},
      {"PCI location service", facts::kPciLocationServiceGuid,
       facts::efi::kPciLocationService, kPciLocationServiceGuid},
      {"SMM base", facts::kSmmBase2ProtocolGuid, facts::efi::kSmmBase2Protocol,
       kSmmBase2ProtocolGuid},
      {"HOB list", facts::kHobListGuid, facts::efi::kHobList, kHobListGuid},
      {"ready-to-boot group", facts::kReadyToBootEventGroupGuid,
       facts::efi::kReadyToBootEventGroup, kReadyToBootEventGroupGuid},
  };
  for (const auto &g : guids) {
    SCOPED_TRACE(g.name);
    EXPECT_EQ(Text(g.testSide), Text(g.driver));
    EXPECT_EQ(std::memcmp(&g.testSide, &g.driver, sizeof(EFI_GUID)), 0);
    // The facts' own struct lays the bytes out as EFI_GUID does.
    EXPECT_EQ(std::memcmp(&g.fact, &g.driver, sizeof(EFI_GUID)), 0);
  }
  // The public header's initializer is the GUID the driver installs under.
  const EFI_GUID published = BOARD_SERVICE_PROTOCOL_GUID;
  EXPECT_EQ(Text(facts::efi::kBoardService), Text(published));
}

TEST(InterfaceFactsTest, EntryPositionsMatchTheDriversRecords) {
  constexpr size_t kEntrySize = sizeof(VOID *);
  const struct {
    const char *entry;
    size_t driverOffset;
    size_t driverSize;
    size_t position;
  } entries[] = {
      {"SetupStringService.ReplaceString",
       offsetof(SetupStringService, ReplaceString),
       sizeof(SetupStringService::ReplaceString),
       facts::kSetupStringReplaceEntry},
      {"SmbiosRecordService.DeleteRecord",
       offsetof(SmbiosRecordService, DeleteRecord),
       sizeof(SmbiosRecordService::DeleteRecord),
       facts::kSmbiosDeleteRecordEntry},
      {"SmbiosRecordService.ReadRecordByType",
       offsetof(SmbiosRecordService, ReadRecordByType),
       sizeof(SmbiosRecordService::ReadRecordByType),
       facts::kSmbiosReadRecordByTypeEntry},
      {"PciLocationService.LookupBridge",
       offsetof(PciLocationService, LookupBridge),
       sizeof(PciLocationService::LookupBridge),
       facts::kPciLocationLookupEntry},
      {"EFI_SMM_BASE2_PROTOCOL.InSmm", offsetof(EFI_SMM_BASE2_PROTOCOL, InSmm),
       sizeof(EFI_SMM_BASE2_PROTOCOL::InSmm), facts::kSmmBaseInSmmEntry},
      {"BOARD_SERVICE_PROTOCOL.Entry0",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry0),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry0), 0},
      {"BOARD_SERVICE_PROTOCOL.Entry1",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry1),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry1), 1},
      {"BOARD_SERVICE_PROTOCOL.Entry2",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry2),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry2), 2},
      {"BOARD_SERVICE_PROTOCOL.Entry3",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry3),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry3), 3},
      {"BOARD_SERVICE_PROTOCOL.CollectOnboardLanMacs",
       offsetof(BOARD_SERVICE_PROTOCOL, CollectOnboardLanMacs),
       sizeof(BOARD_SERVICE_PROTOCOL::CollectOnboardLanMacs),
       facts::kBoardServiceLanEntry},
      {"BOARD_SERVICE_PROTOCOL.Entry5",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry5),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry5), 5},
      {"BOARD_SERVICE_PROTOCOL.Entry6",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry6),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry6), 6},
      {"BOARD_SERVICE_PROTOCOL.Entry7",
       offsetof(BOARD_SERVICE_PROTOCOL, Entry7),
       sizeof(BOARD_SERVICE_PROTOCOL::Entry7), 7},
  };
  for (const auto &e : entries) {
    SCOPED_TRACE(e.entry);
    EXPECT_EQ(e.driverSize, kEntrySize);
    EXPECT_EQ(e.driverOffset, e.position * kEntrySize)
        << "driver entry " << e.driverOffset / kEntrySize << ", facts entry "
        << e.position;
  }
  EXPECT_EQ(sizeof(BOARD_SERVICE_PROTOCOL),
            facts::kBoardServiceEntryCount * kEntrySize);
}

}  // namespace
