#include "sim/firmware/smm_base_stand_in.h"

#include "sim/board/simulated_board.h"

namespace sim {

namespace {

EFI_STATUS EFIAPI InSmmEntry(EFI_SMM_BASE2_PROTOCOL *self, BOOLEAN *inSmram) {
  FirmwareModel &firmware = CurrentBoard().Firmware();
  return firmware.Calls().Serve(
      "InSmm",
      {reinterpret_cast<uint64_t>(self), reinterpret_cast<uint64_t>(inSmram)},
      nullptr, [&] {
        SmmBaseStandIn &standIn = firmware.SmmBase();
        if (self != standIn.Interface() || inSmram == nullptr) {
          return EFI_INVALID_PARAMETER;
        }
        *inSmram = standIn.InSmm();
        return EFI_SUCCESS;
      });
}

}  // namespace

void SmmBaseStandIn::Answer(BOOLEAN inSmm) {
  inSmm_ = inSmm;
  interface_.InSmm = InSmmEntry;
}

}  // namespace sim
