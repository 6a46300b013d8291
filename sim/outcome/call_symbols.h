// A service call's arguments as a person reads them, the same from run to
// run: GUIDs by name, NULL, the driver's events, registrations, notify
// functions, interfaces and buffers by a number in order of first
// appearance ("event 2"), out-parameters as "out", 8-bit texts quoted,
// numbers in hex; never a host address.
#ifndef BOARDCFG_SIM_OUTCOME_CALL_SYMBOLS_H
#define BOARDCFG_SIM_OUTCOME_CALL_SYMBOLS_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/firmware/service_call.h"

namespace sim {

class CallSymbols {
 public:
  // The arguments of the call, the calls handed in boot order.
  std::vector<std::string> Arguments(const ServiceCall &call);
  // "LocateProtocol(EFI_SMM_BASE2_PROTOCOL, NULL, out) -> EFI_NOT_FOUND".
  std::string Describe(const ServiceCall &call);

 private:
  std::string Numbered(std::map<uint64_t, std::string> &known, uint64_t value,
                       const char *kind);

  std::map<uint64_t, std::string> events_;
  std::map<uint64_t, std::string> registrations_;
  std::map<uint64_t, std::string> functions_;
  std::map<uint64_t, std::string> interfaces_;
  std::map<uint64_t, std::string> buffers_;
  std::map<uint64_t, std::string> contexts_;
};

}  // namespace sim

#endif
