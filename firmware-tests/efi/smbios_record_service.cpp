#include "firmware-tests/efi/smbios_record_service.h"

#include "firmware-tests/efi/firmware_smbios.h"
#include "firmware-tests/efi/stage_log.h"
#include "firmware-tests/efi/unexpected_entry.h"

namespace {

EFI_BOOT_SERVICES *Boot;
SmbiosRecordService Interface;

// Entry 8: a pool copy of the instance-th record of a type, found by
// walking the firmware's records in their order.
EFI_STATUS EFIAPI ReadRecordByType(UINT8 type, UINT8 instance, VOID **buffer,
                                   UINT16 *value) {
  TextLine line;
  LineStart(line, "smbios-read type=");
  LineDecimal(line, type);
  LineText(line, " instance=");
  LineDecimal(line, instance);
  LineText(line, " value-in=");
  LineHex(line, value == nullptr ? 0xFFFFFFFFULL : *value);

  EFI_STATUS status = EFI_NOT_FOUND;
  EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
  UINTN seen = 0;
  while (instance != 0) {
    EFI_SMBIOS_TABLE_HEADER *record = NextRecordOfType(handle, type);
    if (record == nullptr) {
      break;
    }
    if (++seen != instance) {
      continue;
    }
    const UINTN size = RecordSize(record);
    VOID *copy = nullptr;
    status = Boot->AllocatePool(EfiBootServicesData, size, &copy);
    if (!EFI_ERROR(status)) {
      Boot->CopyMem(copy, record, size);
      *buffer = copy;
      LineText(line, " handle=");
      LineHex(line, record->Handle);
    }
    break;
  }
  LineText(line, " status=");
  LineHex(line, status);
  Record(line);
  return status;
}

// Entry 6: removes a record by its handle.
EFI_STATUS EFIAPI DeleteRecord(UINT16 handle) {
  EFI_SMBIOS_PROTOCOL *smbios = FirmwareSmbios();
  const EFI_STATUS status = smbios->Remove(smbios, handle);
  TextLine line;
  LineStart(line, "smbios-remove handle=");
  LineHex(line, handle);
  LineText(line, " status=");
  LineHex(line, status);
  Record(line);
  return status;
}

}  // namespace

SmbiosRecordService *SmbiosRecordServiceInterface(EFI_BOOT_SERVICES *boot) {
  Boot = boot;
  Interface.Entry0 = UnexpectedEntrySlot<0>();
  Interface.Entry1 = UnexpectedEntrySlot<1>();
  Interface.Entry2 = UnexpectedEntrySlot<2>();
  Interface.Entry3 = UnexpectedEntrySlot<3>();
  Interface.Entry4 = UnexpectedEntrySlot<4>();
  Interface.Entry5 = UnexpectedEntrySlot<5>();
  Interface.DeleteRecord = DeleteRecord;
  Interface.Entry7 = UnexpectedEntrySlot<7>();
  Interface.ReadRecordByType = ReadRecordByType;
  return &Interface;
}
