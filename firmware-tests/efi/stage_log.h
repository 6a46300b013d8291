// The companion's log. It runs before the console is connected, so every
// line is kept in a published StageLogProtocol that the checker prints
// later; a console that is already there shows it as "COMPANION" too.
#ifndef BOARDCFG_FIRMWARE_TESTS_STAGE_LOG_H
#define BOARDCFG_FIRMWARE_TESTS_STAGE_LOG_H

#include "firmware-tests/efi/text_line.h"

// Installs the log under kStageLogProtocolGuid; nothing is kept before.
EFI_STATUS PublishStageLog(EFI_SYSTEM_TABLE *system);

// Appends the line; a full log drops what does not fit.
VOID Record(const TextLine &line);

#endif
