// Test-only boot-service driver loaded right after BoardConfigDxe. It plays
// the board firmware around the driver: it moves a laid-out board into the
// chipset windows (chipset_windows), serves SMBIOS records on top of the
// firmware's own SMBIOS protocol (slot_records, smbios_record_service),
// records every Setup string replacement (setup_string_recorder) and names
// the two LAN bridges (bridge_location). Everything it does is kept in a log
// that the checker prints later (stage_log). This file is its entry and the
// diagnostics that tell the stage's runs apart.
#include "firmware-tests/efi/bridge_location.h"
#include "firmware-tests/efi/chipset_windows.h"
#include "firmware-tests/efi/driver_image.h"
#include "firmware-tests/efi/firmware_interfaces.h"
#include "firmware-tests/efi/firmware_smbios.h"
#include "firmware-tests/efi/setup_string_recorder.h"
#include "firmware-tests/efi/slot_records.h"
#include "firmware-tests/efi/smbios_record_service.h"
#include "firmware-tests/efi/stage_log.h"
#include "sim/facts/efi_guids.h"

namespace {

EFI_BOOT_SERVICES *Boot;

// Also shows whether the driver installed its service before any of the
// outside services it waits for exists.
DriverImageSpan LocateDriverImage() {
  DriverImageSpan span = {0, 0};
  TextLine line;
  const DriverImage driver = FindDriverImage(Boot);
  LineStart(line, "driver-image found=");
  LineDecimal(line, driver.image != nullptr ? 1 : 0);
  if (driver.image != nullptr) {
    span.start = reinterpret_cast<UINTN>(driver.image->ImageBase);
    span.end = span.start + driver.image->ImageSize;
    LineText(line, " base=");
    LineHex(line, span.start);
    LineText(line, " size=");
    LineHex(line, driver.image->ImageSize);
    LineDriverImageOrigin(line, driver);
  }
  Record(line);

  VOID *board = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(facts::efi::kBoardService), nullptr, &board);
  LineStart(line, "board-service before-services status=");
  LineHex(line, status);
  Record(line);
  return span;
}

// Tells the SMM build from the plain one: only there does the driver's
// start-up find the SMM base protocol and ask it whether it runs in SMM.
VOID ReportSmmBase() {
  EFI_SMM_BASE2_PROTOCOL *smmBase = nullptr;
  const EFI_STATUS status =
      Boot->LocateProtocol(GuidArg(facts::efi::kSmmBase2Protocol), nullptr,
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

VOID WatchReadyToBoot() {
  EFI_EVENT ready = nullptr;
  const EFI_STATUS status =
      Boot->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnReadyToBoot,
                          nullptr, &facts::efi::kReadyToBootEventGroup, &ready);
  TextLine line;
  LineStart(line, "ready-to-boot watch status=");
  LineHex(line, status);
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
  Boot = system->BootServices;

  EFI_STATUS status = PublishStageLog(system);
  if (EFI_ERROR(status)) {
    return status;
  }
  TextLine line;
  LineStart(line, "companion start");
  Record(line);

  // Before any service is installed: the driver touches hardware only from
  // the notifications those installations trigger.
  MoveChipsetWindows();
  const DriverImageSpan driver = LocateDriverImage();
  ReportSmmBase();

  if (EFI_ERROR(LocateFirmwareSmbios(Boot))) {
    return EFI_SUCCESS;  // stays loaded so the checker can print why
  }
  AddSlotRecords(image);
  TakeOverBridgeLocation(Boot, driver);
  SmbiosRecordService *smbiosRecords = SmbiosRecordServiceInterface(Boot);
  SetupStringService *setupStrings = SetupStringRecorderInterface();
  WatchReadyToBoot();

  InstallService(facts::efi::kSmbiosRecordService, smbiosRecords,
                 "smbios-record-service");
  InstallService(facts::efi::kSetupStringService, setupStrings,
                 "setup-string-service");

  LineStart(line, "companion done");
  Record(line);
  return EFI_SUCCESS;
}
