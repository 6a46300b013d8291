// Handles, events and notify registrations are opaque values the firmware
// hands out from one counter, so none of them is ever handed out twice.
#ifndef BOARDCFG_SIM_FIRMWARE_OPAQUE_HANDLES_H
#define BOARDCFG_SIM_FIRMWARE_OPAQUE_HANDLES_H

#include <cstdint>

#include "platform/uefi.h"

namespace sim {

class OpaqueHandles {
 public:
  VOID *Next() {
    next_ += 0x10;
    return reinterpret_cast<VOID *>(next_);
  }

 private:
  uintptr_t next_ = 0x10000;
};

}  // namespace sim

#endif
