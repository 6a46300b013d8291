#include "sim/driver_state.h"

#include <cstring>
#include <type_traits>

#include "driver/board_service_protocol.h"
#include "driver/onboard_lan.h"
#include "driver/support_library.h"
#include "gpio/gpio.h"
#include "platform/service_globals.h"

namespace sim {

namespace {

struct DriverGlobal {
  const char *name;
  void *address;
  std::vector<unsigned char> loaded;  // its bytes as the image loads them
};

template <typename T>
DriverGlobal Loaded(const char *name, T &global) {
  static_assert(std::is_trivially_copyable_v<T>);
  const auto *bytes = reinterpret_cast<const unsigned char *>(&global);
  return {name, &global, {bytes, bytes + sizeof global}};
}

#define BOARDCFG_DRIVER_GLOBAL(global) Loaded(#global, global)

// Copied while the program starts, before any driver code has run: the
// firmware code's globals are all initialised by constants, ahead of every
// initialiser that runs code.
const std::vector<DriverGlobal> driverGlobals = {
    BOARDCFG_DRIVER_GLOBAL(BoardServiceProtocol),
    BOARDCFG_DRIVER_GLOBAL(HobList),
    BOARDCFG_DRIVER_GLOBAL(InSmmFlag),
    BOARDCFG_DRIVER_GLOBAL(PciLocationCache),
    BOARDCFG_DRIVER_GLOBAL(SeriesCache),
    BOARDCFG_DRIVER_GLOBAL(ServiceGlobals),
    BOARDCFG_DRIVER_GLOBAL(SmmBaseCache),
};

#undef BOARDCFG_DRIVER_GLOBAL

}  // namespace

void ResetDriverState() {
  for (const DriverGlobal &global : driverGlobals) {
    std::memcpy(global.address, global.loaded.data(), global.loaded.size());
  }
}

std::vector<std::string> DriverGlobalsReset() {
  std::vector<std::string> names;
  for (const DriverGlobal &global : driverGlobals) {
    names.emplace_back(global.name);
  }
  return names;
}

}  // namespace sim
