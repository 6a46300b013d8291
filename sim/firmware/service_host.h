// What a service double needs of the firmware: its entries served as
// recorded calls, and pool buffers handed to the driver.
#ifndef BOARDCFG_SIM_FIRMWARE_SERVICE_HOST_H
#define BOARDCFG_SIM_FIRMWARE_SERVICE_HOST_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/uefi.h"

namespace sim {

// Records the call, then does the work unless a fault was chosen for the
// service: an error skips the work, a warning replaces its status.
EFI_STATUS ServeRecorded(std::string_view service, std::vector<uint64_t> args,
                         const std::function<EFI_STATUS()> &work);

// Records a call whose result is a value rather than a status, and the
// value in its place. No fault applies to such a call.
uint64_t AnswerRecorded(std::string_view service, std::vector<uint64_t> args,
                        const std::function<uint64_t()> &work);

// A pool buffer the driver must give back through FreePool exactly once.
VOID *HandOutPoolBuffer(size_t size);

}  // namespace sim

#endif
