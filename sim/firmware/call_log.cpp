#include "sim/firmware/call_log.h"

#include "sim/sequence.h"

namespace sim {

size_t CallLog::Record(const std::string &service, std::vector<uint64_t> args,
                       const EFI_GUID *guid, Caller caller) {
  ServiceCall call;
  call.service = service;
  call.args = std::move(args);
  if (guid != nullptr) {
    call.guid = *guid;
  }
  call.caller = caller;
  call.sequence = NextSequence();
  calls_.push_back(std::move(call));
  return calls_.size() - 1;
}

void CallLog::Finish(size_t index, EFI_STATUS status, bool injected) {
  calls_[index].status = status;
  calls_[index].injected = injected;
}

std::vector<ServiceCall> CallLog::To(const std::string &service) const {
  std::vector<ServiceCall> result;
  for (const ServiceCall &call : calls_) {
    if (call.service == service) {
      result.push_back(call);
    }
  }
  return result;
}

void CallLog::FailCall(const std::string &service, EFI_STATUS status,
                       unsigned occurrence) {
  faults_[service].push_back({status, occurrence});
}

std::optional<EFI_STATUS> CallLog::TakeFault(const std::string &service) {
  const unsigned count = ++callCounts_[service];
  auto found = faults_.find(service);
  if (found == faults_.end()) {
    return std::nullopt;
  }
  for (const Fault &fault : found->second) {
    if (fault.occurrence == 0 || fault.occurrence == count) {
      return fault.status;
    }
  }
  return std::nullopt;
}

}  // namespace sim
