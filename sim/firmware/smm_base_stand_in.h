// EFI_SMM_BASE2_PROTOCOL as the board's firmware would install it: InSmm
// answers what the board chose.
#ifndef BOARDCFG_SIM_FIRMWARE_SMM_BASE_STAND_IN_H
#define BOARDCFG_SIM_FIRMWARE_SMM_BASE_STAND_IN_H

#include "platform/uefi.h"

namespace sim {

class SmmBaseStandIn {
 public:
  // Fills in InSmm, which reports the given answer from now on.
  void Answer(BOOLEAN inSmm);
  EFI_SMM_BASE2_PROTOCOL *Interface() { return &interface_; }
  BOOLEAN InSmm() const { return inSmm_; }

 private:
  EFI_SMM_BASE2_PROTOCOL interface_{};
  BOOLEAN inSmm_ = FALSE;
};

}  // namespace sim

#endif
