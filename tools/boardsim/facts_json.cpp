#include "tools/boardsim/facts_json.h"

#include "driver_file.h"
#include "sim/facts/board.h"
#include "sim/facts/efi_guids.h"
#include "sim/facts/gpio_layout.h"
#include "sim/firmware/service_call.h"
#include "sim/hex_text.h"

namespace sim {

using nlohmann::ordered_json;

ordered_json FactsJson() {
  ordered_json lan = ordered_json::array();
  for (const facts::LanPort &port : facts::kLanPorts) {
    lan.push_back({{"key", port.key},
                   {"bridge", Hex(port.bridge, 4)},
                   {"bus", port.bus},
                   {"bar0", Hex(port.bar0)}});
  }
  ordered_json risers = ordered_json::array();
  for (const facts::Riser &riser : facts::kRisers) {
    risers.push_back({{"id", riser.id}, {"name", riser.name}});
  }
  ordered_json setupLanguages = ordered_json::array();
  for (const facts::SetupLanguage &language : facts::kSetupLanguages) {
    setupLanguages.push_back({{"code", language.code},
                              {"prompt", language.prompt},
                              {"help", language.help}});
  }
  return {
      {"windows",
       {{"pci",
         {{"base", Hex(facts::kPciWindowBase)},
          {"size", Hex(facts::kPciWindowSize)}}},
        {"private",
         {{"base", Hex(facts::kPrivateWindowBase)},
          {"size", Hex(facts::kPrivateWindowSize)}}},
        {"file_size", Hex(facts::kStageWindowFileSize)}}},
      {"lpc_device_id", Hex(facts::kLpcDeviceId)},
      {"dw0_tx_state", Hex(facts::kDw0TxState)},
      {"p2sb",
       {{"vendor_id", Hex(facts::kP2sbVendorId)},
        {"address", Hex(facts::kP2sbAddress)},
        {"data", Hex(facts::kP2sbData)},
        {"status", Hex(facts::kP2sbStatus)},
        {"routing", Hex(facts::kP2sbRouting)},
        {"extended_address", Hex(facts::kP2sbExtendedAddress)}}},
      {"lan_ports", lan},
      {"entry4",
       {{"first_size", facts::kLanFirstBufferSize},
        {"second_size", facts::kLanSecondBufferSize},
        {"first_canary", Hex(facts::kLanFirstCanary, 2)},
        {"second_canary", Hex(facts::kLanSecondCanary, 2)},
        {"checker_size", facts::kCheckerBufferSize}}},
      {"risers", risers},
      {"setup",
       {{"form", facts::kSetupFormName},
        {"prompt_id", Hex(facts::kRiserPromptStringId, 4)},
        {"help_id", Hex(facts::kRiserHelpStringId, 4)},
        {"default_prompt", facts::kDefaultRiserPrompt},
        {"default_help", facts::kDefaultRiserHelp},
        {"formset_title", facts::kSetupFormsetTitle},
        {"languages", setupLanguages}}},
      {"slot_designations", facts::kSlotDesignations},
      {"board_service_guid", FormatGuid(facts::efi::kBoardService)},
      {"outside_service_guids",
       {{"smbios_record_service", FormatGuid(facts::efi::kSmbiosRecordService)},
        {"setup_string_service", FormatGuid(facts::efi::kSetupStringService)},
        {"pci_location_service", FormatGuid(facts::efi::kPciLocationService)}}},
      {"keep_firmware_pci_location", facts::kKeepFirmwarePciLocation},
      {"driver_file_guid", BOARDCFG_DRIVER_FILE_GUID_TEXT},
  };
}

}  // namespace sim
