#include "firmware-tests/efi/stage_log.h"

namespace {

EFI_SYSTEM_TABLE *System;
StageLogProtocol StageLog = {kStageLogSignature, 0, {}};

}  // namespace

EFI_STATUS PublishStageLog(EFI_SYSTEM_TABLE *system) {
  System = system;
  EFI_HANDLE handle = nullptr;
  return system->BootServices->InstallProtocolInterface(
      &handle, GuidArg(kStageLogProtocolGuid), EFI_NATIVE_INTERFACE, &StageLog);
}

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
