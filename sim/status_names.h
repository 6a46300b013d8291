// The names of the EFI_STATUS values the models, tools and scenarios use.
#ifndef BOARDCFG_SIM_STATUS_NAMES_H
#define BOARDCFG_SIM_STATUS_NAMES_H

#include <optional>
#include <string>
#include <vector>

#include "platform/uefi.h"

namespace sim {

// "0x800000000000000E": every status is written so, all sixteen digits.
std::string FormatStatus(EFI_STATUS status);
// "EFI_NOT_FOUND", or "unnamed status".
const char *StatusName(EFI_STATUS status);
// The status a name stands for; empty for a name outside the table.
std::optional<EFI_STATUS> StatusNamed(const std::string &name);
// Every name StatusNamed accepts.
std::vector<std::string> StatusNames();

}  // namespace sim

#endif
