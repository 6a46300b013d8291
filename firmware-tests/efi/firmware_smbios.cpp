#include "firmware-tests/efi/firmware_smbios.h"

#include "firmware-tests/efi/stage_log.h"

namespace {

EFI_SMBIOS_PROTOCOL *Smbios;

}  // namespace

EFI_STATUS LocateFirmwareSmbios(EFI_BOOT_SERVICES *boot) {
  const EFI_STATUS status =
      boot->LocateProtocol(GuidArg(kSmbiosProtocolGuid), nullptr,
                           reinterpret_cast<VOID **>(&Smbios));
  TextLine line;
  LineStart(line, "smbios-protocol status=");
  LineHex(line, status);
  if (!EFI_ERROR(status)) {
    LineText(line, " version=");
    LineDecimal(line, Smbios->MajorVersion);
    LineText(line, ".");
    LineDecimal(line, Smbios->MinorVersion);
  }
  Record(line);
  return status;
}

EFI_SMBIOS_PROTOCOL *FirmwareSmbios() { return Smbios; }

EFI_SMBIOS_TABLE_HEADER *NextRecordOfType(EFI_SMBIOS_HANDLE &handle,
                                          EFI_SMBIOS_TYPE type) {
  EFI_SMBIOS_TABLE_HEADER *record = nullptr;
  if (EFI_ERROR(Smbios->GetNext(Smbios, &handle, &type, &record, nullptr))) {
    return nullptr;
  }
  return record;
}

UINTN RecordSize(const EFI_SMBIOS_TABLE_HEADER *record) {
  const auto *bytes = reinterpret_cast<const UINT8 *>(record);
  UINTN at = record->Length;
  // The string set ends with two NULs, also when it holds no string.
  while (!(bytes[at] == 0 && bytes[at + 1] == 0)) {
    ++at;
  }
  return at + 2;
}

BOOLEAN HasOemString(const CHAR8 *wanted) {
  EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
  while (const EFI_SMBIOS_TABLE_HEADER *record =
             NextRecordOfType(handle, kSmbiosOemStringsType)) {
    const CHAR8 *text =
        reinterpret_cast<const CHAR8 *>(record) + record->Length;
    while (*text != 0) {
      if (TextEqual(text, wanted)) {
        return TRUE;
      }
      while (*text != 0) {
        ++text;
      }
      ++text;
    }
  }
  return FALSE;
}
