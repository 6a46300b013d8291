#include "sim/firmware/event_queue.h"

#include <string>

#include "sim/firmware/service_call.h"

namespace sim {

namespace {

// A notify function runs above the application's priority and below the
// highest one.
bool IsValidNotifyTpl(EFI_TPL tpl) {
  return tpl > TPL_APPLICATION && tpl < TPL_HIGH_LEVEL;
}

bool NotifiesOnSignal(UINT32 type) { return (type & EVT_NOTIFY_SIGNAL) != 0; }

}  // namespace

EFI_TPL EventQueue::RaiseTpl(EFI_TPL newTpl) {
  const EFI_TPL old = currentTpl_;
  if (newTpl < old || newTpl > TPL_HIGH_LEVEL) {
    calls_.ReportViolation("RaiseTPL to " + std::to_string(newTpl) + " from " +
                           std::to_string(old));
  }
  currentTpl_ = newTpl;
  return old;
}

VOID EventQueue::RestoreTpl(EFI_TPL oldTpl) {
  if (oldTpl > currentTpl_) {
    calls_.ReportViolation("RestoreTPL to " + std::to_string(oldTpl) +
                           " above " + std::to_string(currentTpl_));
  }
  DispatchAbove(oldTpl);
  currentTpl_ = oldTpl;
}

EFI_STATUS EventQueue::CreateEvent(UINT32 type, EFI_TPL notifyTpl,
                                   EFI_EVENT_NOTIFY notify, const VOID *context,
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
  const EFI_EVENT created = opaque_.Next();
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
VOID EventQueue::QueueEvent(EFI_EVENT event) {
  Event &record = events_.at(event);
  if (record.signaled) {
    return;
  }
  record.signaled = true;
  record.queueOrder = nextQueueOrder_++;
}

VOID EventQueue::MarkSignalled(EFI_EVENT event) {
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
    if (other.group && SameGuid(*other.group, group)) {
      QueueEvent(member);
    }
  }
}

EFI_STATUS EventQueue::SignalEvent(EFI_EVENT event) {
  if (events_.count(event) == 0) {
    calls_.ReportViolation("SignalEvent of an event that is not open");
    return EFI_INVALID_PARAMETER;
  }
  MarkSignalled(event);
  DispatchAbove(currentTpl_);
  return EFI_SUCCESS;
}

VOID EventQueue::SignalGroup(const EFI_GUID &group) {
  const size_t index =
      calls_.Record("SignalEventGroup", {}, &group, Caller::Harness);
  for (auto &[member, other] : events_) {
    if (other.group && SameGuid(*other.group, group)) {
      QueueEvent(member);
    }
  }
  DispatchAbove(currentTpl_);
  calls_.Finish(index, EFI_SUCCESS, false);
}

EFI_STATUS EventQueue::CloseEvent(EFI_EVENT event) {
  if (events_.erase(event) == 0) {
    calls_.ReportViolation("CloseEvent of an event that is not open");
    return EFI_INVALID_PARAMETER;
  }
  if (closeListener_) {
    closeListener_(event);
  }
  return EFI_SUCCESS;
}

EFI_STATUS EventQueue::CheckEvent(EFI_EVENT event) {
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

VOID EventQueue::DispatchAbove(EFI_TPL tpl) {
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
    notifyRuns_.push_back({next, notify, calls_.All().size(), 0});
    notify(next, context);
    notifyRuns_[run].endCall = calls_.All().size();
  }
  currentTpl_ = resumeAt;
}

}  // namespace sim
