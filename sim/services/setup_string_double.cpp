#include "sim/services/setup_string_double.h"

#include "sim/board/simulated_board.h"
#include "sim/facts/board.h"
#include "sim/firmware/service_host.h"

namespace sim {

namespace {

EFI_STATUS EFIAPI ReplaceStringEntry(const CHAR8 *name, UINTN id,
                                     const CHAR8 *text) {
  return ServeRecorded(
      "SetupStringService.ReplaceString",
      {reinterpret_cast<uint64_t>(name), id, reinterpret_cast<uint64_t>(text)},
      [&] {
        return CurrentBoard().Services().setupStrings.ReplaceString(name, id,
                                                                    text);
      });
}

}  // namespace

SetupStringDouble::SetupStringDouble()
    : strings_{{facts::kRiserPromptStringId, facts::kDefaultRiserPrompt},
               {facts::kRiserHelpStringId, facts::kDefaultRiserHelp}} {
  interface_.ReplaceString = ReplaceStringEntry;
}

EFI_STATUS SetupStringDouble::ReplaceString(const CHAR8 *name, UINTN id,
                                            const CHAR8 *text) {
  if (name == nullptr || text == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (std::string(name) != facts::kSetupFormName) {
    return EFI_NOT_FOUND;
  }
  auto found = strings_.find(id);
  if (found == strings_.end()) {
    return EFI_NOT_FOUND;
  }
  found->second = text;
  replacements_.push_back({name, id, text});
  return EFI_SUCCESS;
}

}  // namespace sim
