// Test-only boot-service driver loaded right after BoardConfigDxe. It plays
// the board firmware around the driver: it names the two LAN bridges through
// the bridge-location service, serves SMBIOS records on top of the firmware's
// own SMBIOS protocol, and records every Setup string replacement. Everything
// it does is kept in a log that the checker prints later.
//
// Under the scenario stage QEMU also has two shared-memory devices holding a
// laid-out board; before anything else the companion moves their memory to
// the chipset's fixed windows, so the driver finds that board there.
#include "driver/board_service.h"
#include "firmware-tests/efi/firmware_interfaces.h"
#include "firmware-tests/efi/text_line.h"
#include "platform/guids.h"
#include "platform/outside_services.h"
#include "platform/register_access.h"
#include "sim/facts/board.h"

namespace {

constexpr EFI_GUID kBoardServiceGuid = BOARD_SERVICE_PROTOCOL_GUID_INIT;

// QEMU's q35 configuration window as OVMF programs it, and the shared-memory
// devices (ivshmem-plain) whose 64-bit BAR2 backs the chipset windows, in
// the order of their device numbers on bus 0.
constexpr UINTN kConfigWindow = 0xB0000000;
constexpr UINT32 kIvshmemIds = 0x11101AF4;
constexpr UINT64 kChipsetWindows[2] = {facts::kPciWindowBase,
                                       facts::kPrivateWindowBase};
// An SMBIOS OEM string that asks for the firmware's own PCD instance to
// stay unchanged under the bridge-location GUID.
constexpr const CHAR8 *kKeepFirmwarePciLocation =
    "boardstage:pci-location=firmware";

EFI_SYSTEM_TABLE *System;
EFI_BOOT_SERVICES *Boot;
EFI_HANDLE Image;
EFI_SMBIOS_PROTOCOL *Smbios;
PCD_GET32 OriginalGet32;
UINTN DriverImageStart;
UINTN DriverImageEnd;

StageLogProtocol StageLog = {kStageLogSignature, 0, {}};

VOID Record(const TextLine &line) {
  for (UINTN i = 0; i < line.length; ++i) {
    if (StageLog.Length + 2 < sizeof(StageLog.Text)) {
      StageLog.Text[StageLog.Length++] = line.text[i];
    }
  }
  if (StageLog.Length + 1 < sizeof(StageLog.Text)) {
    StageLog.Text[StageLog.Length++] = '\n';
  }
  // Visible only once the console is connected; the log keeps it anyway.
  TextLine shown;
  LineStart(shown, "COMPANION ");
  LineText(shown, line.text);
  LineEmit(shown, System);
}

// Three alternative slot records for the riser position, one per riser the
// driver knows; only the designation string tells them apart.
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

UINTN RecordSize(const EFI_SMBIOS_TABLE_HEADER *record) {
  const auto *bytes = reinterpret_cast<const UINT8 *>(record);
  UINTN at = record->Length;
  // The string set ends with two NULs, also when it holds no string.
  while (!(bytes[at] == 0 && bytes[at + 1] == 0)) {
    ++at;
  }
  return at + 2;
}

UINTN CountSlotRecords() {
  EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
  EFI_SMBIOS_TYPE type = kSmbiosSystemSlotsType;
  EFI_SMBIOS_TABLE_HEADER *record = nullptr;
  UINTN count = 0;
  while (
      !EFI_ERROR(Smbios->GetNext(Smbios, &handle, &type, &record, nullptr))) {
    ++count;
  }
  return count;
}

VOID AddSlotRecords() {
  TextLine line;
  LineStart(line, "smbios-type9-before count=");
  LineDecimal(line, CountSlotRecords());
  Record(line);
  UINTN number = 0;
  for (const CHAR8 *designation : facts::kSlotDesignations) {
    ++number;
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

    EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
    const EFI_STATUS status =
        Smbios->Add(Smbios, Image, &handle,
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

// SmbiosRecordService entry 8: a pool copy of the instance-th record of a
// type, found by walking the firmware's records in their order.
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
  EFI_SMBIOS_TYPE wanted = type;
  EFI_SMBIOS_TABLE_HEADER *record = nullptr;
  UINTN seen = 0;
  while (instance != 0 && !EFI_ERROR(Smbios->GetNext(Smbios, &handle, &wanted,
                                                     &record, nullptr))) {
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

// SmbiosRecordService entry 6: delete a record by its handle.
EFI_STATUS EFIAPI DeleteRecord(UINT16 handle) {
  const EFI_STATUS status = Smbios->Remove(Smbios, handle);
  TextLine line;
  LineStart(line, "smbios-remove handle=");
  LineHex(line, handle);
  LineText(line, " status=");
  LineHex(line, status);
  Record(line);
  return status;
}

// SetupStringService entry 1: the replacement is recorded, not stored.
EFI_STATUS EFIAPI ReplaceString(const CHAR8 *name, UINTN stringId,
                                const CHAR8 *text) {
  TextLine line;
  LineStart(line, "setup-string name=");
  LineText(line, name);
  LineText(line, " id=");
  LineHex(line, stringId);
  LineText(line, " text=");
  LineText(line, text);
  Record(line);
  return EFI_SUCCESS;
}

template <int Entry>
EFI_STATUS EFIAPI UnexpectedEntry() {
  TextLine line;
  // Setup string entries are numbered from 100.
  LineStart(line, "unexpected-entry ");
  LineDecimal(line, Entry);
  Record(line);
  return EFI_UNSUPPORTED;
}

SmbiosRecordService SmbiosRecords;
SetupStringService SetupStrings;

// Filled at entry: function addresses cast to the untyped slots are not
// constant expressions, and the image runs no static constructors.
VOID FillServiceRecords() {
  SmbiosRecords.Entry0 = reinterpret_cast<VOID *>(UnexpectedEntry<0>);
  SmbiosRecords.Entry1 = reinterpret_cast<VOID *>(UnexpectedEntry<1>);
  SmbiosRecords.Entry2 = reinterpret_cast<VOID *>(UnexpectedEntry<2>);
  SmbiosRecords.Entry3 = reinterpret_cast<VOID *>(UnexpectedEntry<3>);
  SmbiosRecords.Entry4 = reinterpret_cast<VOID *>(UnexpectedEntry<4>);
  SmbiosRecords.Entry5 = reinterpret_cast<VOID *>(UnexpectedEntry<5>);
  SmbiosRecords.DeleteRecord = DeleteRecord;
  SmbiosRecords.Entry7 = reinterpret_cast<VOID *>(UnexpectedEntry<7>);
  SmbiosRecords.ReadRecordByType = ReadRecordByType;
  SetupStrings.Entry0 = reinterpret_cast<VOID *>(UnexpectedEntry<100>);
  SetupStrings.ReplaceString = ReplaceString;
}

const facts::LanPort *LanPortOf(UINTN key) {
  for (const facts::LanPort &port : facts::kLanPorts) {
    if (port.key == key) {
      return &port;
    }
  }
  return nullptr;
}

// Replaces Get32 of the firmware's PCD database: keys 8 and 403 asked by the
// driver's image name the LAN bridges, every other call passes through so
// the rest of the firmware keeps its configuration values.
UINT32 EFIAPI BridgeAwareGet32(UINTN key) {
  const auto caller = reinterpret_cast<UINTN>(__builtin_return_address(0));
  const BOOLEAN fromDriver =
      DriverImageEnd == 0 ||
      (caller >= DriverImageStart && caller < DriverImageEnd);
  if (!fromDriver) {
    return OriginalGet32(key);
  }
  const facts::LanPort *port = LanPortOf(key);
  const UINT32 result = port != nullptr ? port->bridge : OriginalGet32(key);
  TextLine line;
  LineStart(line, "pci-location key=");
  LineDecimal(line, key);
  LineText(line, " result=");
  LineHex(line, result);
  Record(line);
  return result;
}

UINTN ConfigAddress(UINTN device, UINTN offset) {
  return kConfigWindow + (device << 15) + offset;
}

// Moves BAR2 of the first two shared-memory devices on bus 0 to the PCI
// configuration window and the private-register window, with memory
// decoding off while the BAR changes. Without such devices (the reads-zero
// stage) nothing is moved.
VOID MoveChipsetWindows() {
  UINTN moved = 0;
  for (UINTN device = 0; device < 32 && moved < 2; ++device) {
    if (RegisterRead32(ConfigAddress(device, 0)) != kIvshmemIds) {
      continue;
    }
    const UINTN command = ConfigAddress(device, 0x04);
    const UINT16 enabled = RegisterRead16(command);
    RegisterWrite16(command, enabled & ~UINT16{0x0002});
    RegisterWrite32(ConfigAddress(device, 0x18),
                    static_cast<UINT32>(kChipsetWindows[moved]));
    RegisterWrite32(ConfigAddress(device, 0x1C), 0);
    RegisterWrite16(command, enabled | 0x0002);
    TextLine line;
    LineStart(line, "chipset-window device=");
    LineHex(line, device);
    LineText(line, " bar2=");
    LineHex(line, (UINT64{RegisterRead32(ConfigAddress(device, 0x1C))} << 32) |
                      RegisterRead32(ConfigAddress(device, 0x18)));
    Record(line);
    ++moved;
  }
  TextLine line;
  LineStart(line, "chipset-windows moved=");
  LineDecimal(line, moved);
  Record(line);
}

// True when an SMBIOS OEM strings record carries the text.
BOOLEAN HasOemString(const CHAR8 *wanted) {
  EFI_SMBIOS_HANDLE handle = kSmbiosHandlePiReserved;
  EFI_SMBIOS_TYPE type = kSmbiosOemStringsType;
  EFI_SMBIOS_TABLE_HEADER *record = nullptr;
  while (
      !EFI_ERROR(Smbios->GetNext(Smbios, &handle, &type, &record, nullptr))) {
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

VOID TakeOverBridgeLocation(BOOLEAN takeOver) {
  TextLine line;
  PcdDatabaseProtocol *database = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(kPciLocationServiceGuid), nullptr,
                           reinterpret_cast<VOID **>(&database));
  LineStart(line, "pci-location firmware-instance status=");
  LineHex(line, status);
  if (EFI_ERROR(status) || database == nullptr) {
    Record(line);
    return;
  }
  OriginalGet32 = database->Get32;
  for (const facts::LanPort &port : facts::kLanPorts) {
    LineText(line, " key");
    LineDecimal(line, port.key);
    LineText(line, "=");
    LineHex(line, OriginalGet32(port.key));
  }
  Record(line);
  if (!takeOver) {
    LineStart(line, "pci-location takeover skipped: firmware instance kept");
    Record(line);
    return;
  }
  database->Get32 = BridgeAwareGet32;
  LineStart(line, "pci-location takeover scope=");
  LineText(line, DriverImageEnd == 0 ? "all-callers" : "driver-image");
  Record(line);
}

VOID LocateDriverImage() {
  TextLine line;
  EFI_LOADED_IMAGE_PROTOCOL *driver =
      FindLoadedImage(Boot, "BoardConfigDxe.efi", nullptr);
  LineStart(line, "driver-image found=");
  LineDecimal(line, driver != nullptr ? 1 : 0);
  if (driver != nullptr) {
    DriverImageStart = reinterpret_cast<UINTN>(driver->ImageBase);
    DriverImageEnd = DriverImageStart + driver->ImageSize;
    LineText(line, " base=");
    LineHex(line, DriverImageStart);
    LineText(line, " size=");
    LineHex(line, driver->ImageSize);
  }
  Record(line);

  VOID *board = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(kBoardServiceGuid), nullptr, &board);
  LineStart(line, "board-service before-services status=");
  LineHex(line, status);
  Record(line);
}

// Tells the SMM build from the plain one: only there does the driver's
// start-up find the SMM base protocol and ask it whether it runs in SMM.
VOID ReportSmmBase() {
  EFI_SMM_BASE2_PROTOCOL *smmBase = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(kSmmBase2ProtocolGuid), nullptr,
                           reinterpret_cast<VOID **>(&smmBase));
  TextLine line;
  LineStart(line, "smm-base2 status=");
  LineHex(line, status);
  if (!EFI_ERROR(status) && smmBase != nullptr) {
    BOOLEAN inSmm = 0xEE;
    const EFI_STATUS asked = smmBase->InSmm(smmBase, &inSmm);
    LineText(line, " in-smm=");
    LineHex(line, inSmm);
    LineText(line, " in-smm-status=");
    LineHex(line, asked);
  }
  Record(line);
}

VOID EFIAPI OnReadyToBoot(EFI_EVENT event, VOID *) {
  Boot->CloseEvent(event);
  TextLine line;
  LineStart(line, "ready-to-boot signalled");
  Record(line);
}

VOID InstallService(const EFI_GUID &guid, VOID *service, const CHAR8 *name) {
  EFI_HANDLE handle = nullptr;
  // The driver's notification runs inside this call: the entry runs below
  // TPL_CALLBACK, so the firmware dispatches it as the call returns.
  const EFI_STATUS status = Boot->InstallProtocolInterface(
      &handle, GuidArg(guid), EFI_NATIVE_INTERFACE, service);
  TextLine line;
  LineStart(line, "installed ");
  LineText(line, name);
  LineText(line, " status=");
  LineHex(line, status);
  Record(line);
}

}  // namespace

extern "C" EFI_STATUS EFIAPI CompanionEntry(EFI_HANDLE image,
                                            EFI_SYSTEM_TABLE *system) {
  System = system;
  Boot = system->BootServices;
  Image = image;

  EFI_HANDLE logHandle = nullptr;
  EFI_STATUS status =
      Boot->InstallProtocolInterface(&logHandle, GuidArg(kStageLogProtocolGuid),
                                     EFI_NATIVE_INTERFACE, &StageLog);
  if (EFI_ERROR(status)) {
    return status;
  }
  TextLine line;
  LineStart(line, "companion start");
  Record(line);

  // Before any service is installed: the driver touches hardware only from
  // the notifications those installations trigger.
  MoveChipsetWindows();
  LocateDriverImage();
  ReportSmmBase();

  status = Boot->LocateProtocol(GuidArg(kSmbiosProtocolGuid), nullptr,
                                reinterpret_cast<VOID **>(&Smbios));
  LineStart(line, "smbios-protocol status=");
  LineHex(line, status);
  if (!EFI_ERROR(status)) {
    LineText(line, " version=");
    LineDecimal(line, Smbios->MajorVersion);
    LineText(line, ".");
    LineDecimal(line, Smbios->MinorVersion);
  }
  Record(line);
  if (EFI_ERROR(status)) {
    return EFI_SUCCESS;  // stays loaded so the checker can print why
  }
  AddSlotRecords();

  TakeOverBridgeLocation(!HasOemString(kKeepFirmwarePciLocation));
  FillServiceRecords();

  EFI_EVENT ready = nullptr;
  status = Boot->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnReadyToBoot,
                               nullptr, &kReadyToBootEventGroupGuid, &ready);
  LineStart(line, "ready-to-boot watch status=");
  LineHex(line, status);
  Record(line);

  InstallService(kSmbiosRecordServiceGuid, &SmbiosRecords,
                 "smbios-record-service");
  InstallService(kSetupStringServiceGuid, &SetupStrings,
                 "setup-string-service");

  LineStart(line, "companion done");
  Record(line);
  return EFI_SUCCESS;
}
