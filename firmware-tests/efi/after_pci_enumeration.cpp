#include "firmware-tests/efi/after_pci_enumeration.h"

#include "firmware-tests/efi/stage_log.h"

namespace {

EFI_BOOT_SERVICES *Boot;
const CompanionStep *Steps;
UINTN StepCount;
UINTN NextStep;
EFI_EVENT StepEvent;
VOID *EnumerationRegistration;

BOOLEAN EnumerationComplete(VOID *registration) {
  VOID *unused = nullptr;
  return !EFI_ERROR(Boot->LocateProtocol(
      GuidArg(kPciEnumerationCompleteProtocolGuid), registration, &unused));
}

// Signalling the event again queues it behind whatever the step signalled.
VOID EFIAPI RunNextStep(EFI_EVENT event, VOID *) {
  BOOLEAN goOn = NextStep < StepCount && Steps[NextStep++]();
  if (goOn && NextStep < StepCount) {
    Boot->SignalEvent(event);
  } else {
    Boot->CloseEvent(event);
  }
}

VOID EFIAPI OnEnumerationComplete(EFI_EVENT event, VOID *) {
  // Nothing new under the GUID since the registration: nothing to do.
  if (!EnumerationComplete(EnumerationRegistration)) {
    return;
  }
  Boot->CloseEvent(event);
  TextLine line;
  LineStart(line, "pci-enumeration completed");
  Record(line);
  Boot->SignalEvent(StepEvent);
}

}  // namespace

VOID RunAfterPciEnumeration(EFI_BOOT_SERVICES *boot, const CompanionStep *steps,
                            UINTN count) {
  Boot = boot;
  Steps = steps;
  StepCount = count;
  NextStep = 0;
  TextLine line;
  EFI_STATUS status = Boot->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK,
                                        RunNextStep, nullptr, &StepEvent);
  if (EFI_ERROR(status)) {
    LineStart(line, "pci-enumeration steps status=");
    LineHex(line, status);
    Record(line);
    return;
  }
  if (EnumerationComplete(nullptr)) {
    LineStart(line, "pci-enumeration complete-at-entry=1");
    Record(line);
    Boot->SignalEvent(StepEvent);
    return;
  }
  EFI_EVENT enumeration = nullptr;
  status = Boot->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK,
                             OnEnumerationComplete, nullptr, &enumeration);
  if (!EFI_ERROR(status)) {
    status = Boot->RegisterProtocolNotify(
        GuidArg(kPciEnumerationCompleteProtocolGuid), enumeration,
        &EnumerationRegistration);
  }
  LineStart(line, "pci-enumeration complete-at-entry=0 watch status=");
  LineHex(line, status);
  Record(line);
}
