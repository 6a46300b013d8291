#include "driver/board_actions.h"
#include "driver/riser.h"
#include "platform/guids.h"
#include "platform/outside_services.h"
#include "platform/service_globals.h"

namespace {

constexpr UINTN kPromptStringId = 0x1A52;
constexpr UINTN kHelpStringId = 0x1A53;

struct RiserTexts {
  RiserId id;
  const CHAR8 *prompt;
  const CHAR8 *help;
};

constexpr RiserTexts kRiserTexts[] = {
    {RISER_ID_VARNEX_W, "VARNEX-W OPROM",
     "Enable or Disable VARNEX-W OPROM option."},
    {RISER_ID_VARNEX_N, "VARNEX-N OPROM",
     "Enable or Disable VARNEX-N OPROM option."},
};

}  // namespace

VOID EFIAPI OnStringServiceInstalled(EFI_EVENT event, VOID *) {
  EFI_BOOT_SERVICES *boot = ServiceGlobals.BootServices;
  SetupStringService *service = nullptr;
  // Not found: the event stays open for the next installation.
  if (EFI_ERROR(boot->LocateProtocol(GuidArg(kSetupStringServiceGuid), nullptr,
                                     reinterpret_cast<VOID **>(&service))) ||
      service == nullptr) {
    return;
  }
  boot->CloseEvent(event);
  const RiserId id = ReadRiserId();
  for (const RiserTexts &texts : kRiserTexts) {
    if (texts.id == id) {
      service->ReplaceString("Setup", kPromptStringId, texts.prompt);
      service->ReplaceString("Setup", kHelpStringId, texts.help);
      return;
    }
  }
}
