// The record of every firmware service call, the faults chosen for them,
// and the problems a real firmware would assert on or corrupt itself over.
#ifndef BOARDCFG_SIM_FIRMWARE_CALL_LOG_H
#define BOARDCFG_SIM_FIRMWARE_CALL_LOG_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uefi.h"
#include "sim/firmware/service_call.h"
#include "sim/sequence.h"

namespace sim {

class CallLog {
 public:
  // Calls take their numbers from `sequence`, with the board's accesses.
  explicit CallLog(Sequence &sequence) : sequence_(sequence) {
    calls_.reserve(64);
  }

  // Records a call before its work (calls it causes come after it) and
  // applies any chosen fault: an error skips the work, a warning replaces
  // the status the work returned.
  template <typename Work>
  EFI_STATUS Serve(std::string_view service, std::vector<uint64_t> args,
                   const EFI_GUID *guid, Work work) {
    const size_t index = Record(service, std::move(args), guid);
    const std::optional<EFI_STATUS> fault = TakeFault(service);
    EFI_STATUS status;
    if (fault && EFI_ERROR(*fault)) {
      status = *fault;
    } else {
      status = work();
      if (fault) {
        status = *fault;
      }
    }
    Finish(index, status, fault.has_value());
    return status;
  }
  // Records a call without its outcome; returns its index for Finish.
  size_t Record(std::string_view service, std::vector<uint64_t> args,
                const EFI_GUID *guid = nullptr, Caller caller = Caller::Driver);
  void Finish(size_t index, EFI_STATUS status, bool injected);

  const std::vector<ServiceCall> &All() const { return calls_; }
  std::vector<ServiceCall> To(std::string_view service) const;

  // The occurrence-th call (from 1) of the service returns status instead;
  // occurrence 0 fails every call. An error status skips the service's
  // work; a warning does the work and returns the warning.
  void FailCall(std::string_view service, EFI_STATUS status,
                unsigned occurrence = 0);
  void ClearFaults() { faults_.clear(); }

  // Problems a real firmware would assert on or corrupt itself over:
  // double or foreign FreePool, invalid TPL changes, unknown events.
  void ReportViolation(const std::string &what) { violations_.push_back(what); }
  const std::vector<std::string> &Violations() const { return violations_; }
  std::vector<std::string> TakeViolations() {
    std::vector<std::string> taken;
    taken.swap(violations_);
    return taken;
  }

 private:
  struct Fault {
    EFI_STATUS status;
    unsigned occurrence;
  };

  // Counts a call of the service and returns the fault chosen for it.
  std::optional<EFI_STATUS> TakeFault(std::string_view service);

  Sequence &sequence_;
  std::vector<ServiceCall> calls_;
  std::map<std::string, unsigned, std::less<>> callCounts_;
  std::map<std::string, std::vector<Fault>, std::less<>> faults_;
  std::vector<std::string> violations_;
};

}  // namespace sim

#endif
