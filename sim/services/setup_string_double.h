// Stand-in for the firmware's Setup string service: the strings of the
// Setup form under the name "Setup", and every replacement made.
#ifndef BOARDCFG_SIM_SERVICES_SETUP_STRING_DOUBLE_H
#define BOARDCFG_SIM_SERVICES_SETUP_STRING_DOUBLE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/outside_services.h"

namespace sim {

struct StringReplacement {
  std::string name;
  UINTN id;
  std::string text;
};

class SetupStringDouble {
 public:
  SetupStringDouble();

  const std::map<UINTN, std::string> &Strings() const { return strings_; }
  const std::vector<StringReplacement> &Replacements() const {
    return replacements_;
  }
  SetupStringService *Interface() { return &interface_; }

  EFI_STATUS ReplaceString(const CHAR8 *name, UINTN id, const CHAR8 *text);

 private:
  std::map<UINTN, std::string> strings_;
  std::vector<StringReplacement> replacements_;
  SetupStringService interface_{};
};

}  // namespace sim

#endif
