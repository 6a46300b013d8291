#include "sim/firmware/call_log.h"

namespace sim {

size_t CallLog::Record(std::string_view service, std::vector<uint64_t> args,
                       const EFI_GUID *guid, Caller caller) {
  ServiceCall call;
  call.service = service;
  call.args = std::move(args);
  if (guid != nullptr) {
    call.guid = *guid;
  }
  call.caller = caller;
  call.sequence = sequence_.Next();
  calls_.push_back(std::move(call));
  return calls_.size() - 1;
}

void CallLog::Finish(size_t index, EFI_STATUS status, bool injected) {
  calls_[index].status = status;
  calls_[index].injected = injected;
}

std::vector<ServiceCall> CallLog::To(std::string_view service) const {
  std::vector<ServiceCall> result;
  for (const ServiceCall &call : calls_) {
    if (call.service == service) {
      result.push_back(call);
    }
  }
  return result;
}

void CallLog::FailCall(std::string_view service, EFI_STATUS status,
                       unsigned occurrence) {
  auto found = faults_.find(service);
  if (found == faults_.end()) {
    found = faults_.emplace(std::string(service), std::vector<Fault>()).first;
  }
  found->second.push_back({status, occurrence});
}

std::optional<EFI_STATUS> CallLog::TakeFault(std::string_view service) {
  auto counted = callCounts_.find(service);
  if (counted == callCounts_.end()) {
    counted = callCounts_.emplace(std::string(service), 0).first;
  }
  const unsigned count = ++counted->second;
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
