#include "sim/driver_state.h"

#include "driver/onboard_lan.h"
#include "driver/support_library.h"
#include "gpio/gpio.h"
#include "platform/service_globals.h"

namespace sim {

void ResetDriverState() {
  ServiceGlobals = {};
  HobList = nullptr;
  InSmmFlag = FALSE;
  SmmBaseCache = nullptr;
  SeriesCache = kPchSeriesNotDetected;
  PciLocationCache = nullptr;
}

}  // namespace sim
