#include "driver/smbios_slots.h"

#include "driver/board_actions.h"
#include "driver/riser.h"
#include "platform/guids.h"
#include "platform/outside_services.h"
#include "platform/service_globals.h"

namespace {

constexpr UINT8 kSystemSlotsType = 9;

// The higher instance goes first, so the second number still names the
// record it named before the first deletion.
struct SlotDeletions {
  UINT8 first;
  UINT8 second;
};

constexpr SlotDeletions DeletionsFor(RiserId id) {
  if (id == RISER_ID_VARNEX_N) {
    return {2, 1};
  }
  if (id == RISER_ID_VARNEX_W) {
    return {3, 1};
  }
  return {3, 2};
}

}  // namespace

VOID DeleteSlotRecord(UINT8 instance) {
  EFI_BOOT_SERVICES *boot = ServiceGlobals.BootServices;
  SmbiosRecordService *service = nullptr;
  if (EFI_ERROR(boot->LocateProtocol(GuidArg(kSmbiosRecordServiceGuid), nullptr,
                                     reinterpret_cast<VOID **>(&service))) ||
      service == nullptr) {
    return;
  }
  VOID *buffer = nullptr;
  UINT16 value = 0;
  if (EFI_ERROR(service->ReadRecordByType(kSystemSlotsType, instance, &buffer,
                                          &value)) ||
      buffer == nullptr) {
    return;
  }
  const UINT8 *record = static_cast<const UINT8 *>(buffer);
  const auto handle = static_cast<UINT16>(record[2] | (record[3] << 8));
  service->DeleteRecord(handle);
  boot->FreePool(buffer);
}

VOID EFIAPI OnSmbiosServiceInstalled(EFI_EVENT event, VOID *) {
  ServiceGlobals.BootServices->CloseEvent(event);
  const SlotDeletions deletions = DeletionsFor(ReadRiserId());
  DeleteSlotRecord(deletions.first);
  DeleteSlotRecord(deletions.second);
}
