#include "firmware-tests/efi/slot_records.h"

#include "firmware-tests/efi/firmware_smbios.h"
#include "firmware-tests/efi/stage_log.h"
#include "sim/facts/board.h"

namespace {

// Only the designation string tells the records apart.
struct SlotRecord {
  EFI_SMBIOS_TABLE_HEADER Header;
  UINT8 SlotDesignation;
  UINT8 SlotType;
  UINT8 SlotDataBusWidth;
  UINT8 CurrentUsage;
  UINT8 SlotLength;
  UINT8 SlotId[2];
  UINT8 SlotCharacteristics1;
  UINT8 SlotCharacteristics2;
  UINT8 SegmentGroupNum[2];
  UINT8 BusNum;
  UINT8 DevFuncNum;
  CHAR8 Strings[40];
} __attribute__((packed));

// Each designation and the two NULs that end the string set fit the record.
constexpr bool DesignationsFit() {
  for (const CHAR8 *designation : facts::kSlotDesignations) {
    UINTN length = 0;
    while (designation[length] != 0) {
      ++length;
    }
    if (length + 2 > sizeof(SlotRecord::Strings)) {
      return false;
    }
  }
  return true;
}
static_assert(DesignationsFit());

UINTN CountSlotRecords() {
  EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
  UINTN count = 0;
  while (NextRecordOfType(handle, kSmbiosSystemSlotsType) != nullptr) {
    ++count;
  }
  return count;
}

SlotRecord SlotRecordFor(UINTN number, const CHAR8 *designation) {
  SlotRecord slot = {};
  slot.Header.Type = kSmbiosSystemSlotsType;
  slot.Header.Length =
      static_cast<UINT8>(sizeof(SlotRecord) - sizeof(slot.Strings));
  slot.Header.Handle = 0;
  slot.SlotDesignation = 1;
  slot.SlotType = 0xB6;          // PCI Express Gen 3 x16
  slot.SlotDataBusWidth = 0x0D;  // x16
  slot.CurrentUsage = 0x03;      // available
  slot.SlotLength = 0x04;        // long
  slot.SlotId[0] = static_cast<UINT8>(number);
  slot.SlotCharacteristics1 = 0x04;  // 3.3 V
  slot.SlotCharacteristics2 = 0x01;  // PME
  slot.BusNum = 0xFF;
  slot.DevFuncNum = 0xFF;
  UINTN n = 0;
  for (; designation[n] != 0; ++n) {
    slot.Strings[n] = designation[n];
  }
  slot.Strings[n] = 0;
  slot.Strings[n + 1] = 0;
  return slot;
}

}  // namespace

VOID AddSlotRecords(EFI_HANDLE producer) {
  EFI_SMBIOS_PROTOCOL *smbios = FirmwareSmbios();
  TextLine line;
  LineStart(line, "smbios-type9-before count=");
  LineDecimal(line, CountSlotRecords());
  Record(line);
  UINTN number = 0;
  for (const CHAR8 *designation : facts::kSlotDesignations) {
    ++number;
    SlotRecord slot = SlotRecordFor(number, designation);
    EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
    const EFI_STATUS status =
        smbios->Add(smbios, producer, &handle,
                    reinterpret_cast<EFI_SMBIOS_TABLE_HEADER *>(&slot));
    LineStart(line, "smbios-add ");
    LineDecimal(line, number);
    LineText(line, " handle=");
    LineHex(line, handle);
    LineText(line, " status=");
    LineHex(line, status);
    LineText(line, " ");
    LineText(line, designation);
    Record(line);
  }
}
