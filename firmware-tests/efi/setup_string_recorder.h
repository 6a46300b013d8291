// The board's SetupStringService: each replacement the driver asks for is
// logged, not stored. Entry 0 is not expected.
#ifndef BOARDCFG_FIRMWARE_TESTS_SETUP_STRING_RECORDER_H
#define BOARDCFG_FIRMWARE_TESTS_SETUP_STRING_RECORDER_H

#include "platform/outside_services.h"

// Fills the interface record, which the image cannot do statically, and
// returns it.
SetupStringService *SetupStringRecorderInterface();

#endif
