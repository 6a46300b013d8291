// Events and task priority with UEFI semantics: a signalled notify function
// is queued and runs only while the priority is below its own.
#include "platform/guids.h"
#include "sim/firmware/firmware_model.h"

namespace sim {

namespace {

// A notify function runs above the application's priority and below the
// highest one.
bool IsValidNotifyTpl(EFI_TPL tpl) {
  return tpl > TPL_APPLICATION && tpl < TPL_HIGH_LEVEL;
}

bool NotifiesOnSignal(UINT32 type) { return (type & EVT_NOTIFY_SIGNAL) != 0; }

}  // namespace

EFI_TPL FirmwareModel::RaiseTpl(EFI_TPL newTpl) {
  const EFI_TPL old = currentTpl_;
  if (newTpl < old || newTpl > TPL_HIGH_LEVEL) {
    ReportViolation("RaiseTPL to " + std::to_string(newTpl) + " from " +
                    std::to_string(old));
  }
  currentTpl_ = newTpl;
  return old;
}

VOID FirmwareModel::RestoreTpl(EFI_TPL oldTpl) {
  if (oldTpl > currentTpl_) {
    ReportViolation("RestoreTPL to " + std::to_string(oldTpl) + " above " +
                    std::to_string(currentTpl_));
  }
  DispatchAbove(oldTpl);
  currentTpl_ = oldTpl;
}

EFI_STATUS FirmwareModel::CreateEvent(UINT32 type, EFI_TPL notifyTpl,
                                      EFI_EVENT_NOTIFY notify,
                                      const VOID *context,
                                      const EFI_GUID *group, EFI_EVENT *event) {
  if (event == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  const UINT32 notifyKinds = type & (EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT);
  if (notifyKinds == (EVT_NOTIFY_SIGNAL | EVT_NOTIFY_WAIT) ||
      (notifyKinds != 0 &&
       (notify == nullptr || !IsValidNotifyTpl(notifyTpl)))) {
    return EFI_INVALID_PARAMETER;
  }
  const EFI_EVENT created = NewOpaque();
  Event record{type, notifyTpl, notify, context, std::nullopt};
  if (group != nullptr) {
    record.group = *group;
  }
  events_[created] = record;
  *event = created;
  return EFI_SUCCESS;
}

// Sets the signal state; a notify-signal event is queued for its notify
// function, which clears the state again when it runs.
VOID FirmwareModel::QueueEvent(EFI_EVENT event) {
  Event &record = events_.at(event);
  if (record.signaled) {
    return;
  }
  record.signaled = true;
  record.queueOrder = nextQueueOrder_++;
}

VOID FirmwareModel::SignalOne(EFI_EVENT event) {
  const Event &record = events_.at(event);
  // An event already signalled is left as it is, and so is its group.
  if (record.signaled) {
    return;
  }
  if (!record.group) {
    QueueEvent(event);
    return;
  }
  const EFI_GUID group = *record.group;
  for (auto &[member, other] : events_) {
    if (other.group && GuidsEqual(*other.group, group)) {
      QueueEvent(member);
    }
  }
}

EFI_STATUS FirmwareModel::SignalEvent(EFI_EVENT event) {
  if (events_.count(event) == 0) {
    ReportViolation("SignalEvent of an event that is not open");
    return EFI_INVALID_PARAMETER;
  }
  SignalOne(event);
  DispatchAbove(currentTpl_);
  return EFI_SUCCESS;
}

VOID FirmwareModel::SignalEventGroup(const EFI_GUID &group) {
  const size_t index = Record("SignalEventGroup", {}, &group, Caller::Harness);
  for (auto &[member, other] : events_) {
    if (other.group && GuidsEqual(*other.group, group)) {
      QueueEvent(member);
    }
  }
  DispatchAbove(currentTpl_);
  Finish(index, EFI_SUCCESS, false);
}

EFI_STATUS FirmwareModel::CloseEvent(EFI_EVENT event) {
  if (events_.erase(event) == 0) {
    ReportViolation("CloseEvent of an event that is not open");
    return EFI_INVALID_PARAMETER;
  }
  for (auto it = registrations_.begin(); it != registrations_.end();) {
    it = it->second.event == event ? registrations_.erase(it) : std::next(it);
  }
  return EFI_SUCCESS;
}

EFI_STATUS FirmwareModel::CheckEvent(EFI_EVENT event) {
  auto found = events_.find(event);
  if (found == events_.end()) {
    return EFI_INVALID_PARAMETER;
  }
  Event &record = found->second;
  if (NotifiesOnSignal(record.type)) {
    return EFI_INVALID_PARAMETER;
  }
  if (!record.signaled) {
    return EFI_NOT_READY;
  }
  record.signaled = false;
  return EFI_SUCCESS;
}

VOID FirmwareModel::DispatchAbove(EFI_TPL tpl) {
  const EFI_TPL resumeAt = currentTpl_;
  for (;;) {
    EFI_EVENT next = nullptr;
    const Event *best = nullptr;
    for (auto &[event, record] : events_) {
      if (!record.signaled || !NotifiesOnSignal(record.type) ||
          record.notifyTpl <= tpl) {
        continue;
      }
      if (best == nullptr || record.notifyTpl > best->notifyTpl ||
          (record.notifyTpl == best->notifyTpl &&
           record.queueOrder < best->queueOrder)) {
        best = &record;
        next = event;
      }
    }
    if (best == nullptr) {
      break;
    }
    Event &chosen = events_.at(next);
    chosen.signaled = false;
    const EFI_EVENT_NOTIFY notify = chosen.notify;
    VOID *context = const_cast<VOID *>(chosen.context);
    currentTpl_ = chosen.notifyTpl;
    const size_t run = notifyRuns_.size();
    notifyRuns_.push_back({next, notify, calls_.size(), 0});
    notify(next, context);
    notifyRuns_[run].endCall = calls_.size();
  }
  currentTpl_ = resumeAt;
}

}  // namespace sim
