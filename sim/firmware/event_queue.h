// Events and task priority with UEFI semantics: a signalled notify function
// is queued and runs only while the priority is below its own.
#ifndef BOARDCFG_SIM_FIRMWARE_EVENT_QUEUE_H
#define BOARDCFG_SIM_FIRMWARE_EVENT_QUEUE_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/uefi.h"
#include "sim/firmware/call_log.h"
#include "sim/firmware/opaque_handles.h"

namespace sim {

class EventQueue {
 public:
  EventQueue(CallLog &calls, OpaqueHandles &opaque)
      : calls_(calls), opaque_(opaque) {}
  EventQueue(const EventQueue &) = delete;
  EventQueue &operator=(const EventQueue &) = delete;

  // --- The services, as the boot-services table calls them -------------
  EFI_TPL RaiseTpl(EFI_TPL newTpl);
  VOID RestoreTpl(EFI_TPL oldTpl);
  EFI_STATUS CreateEvent(UINT32 type, EFI_TPL notifyTpl,
                         EFI_EVENT_NOTIFY notify, const VOID *context,
                         const EFI_GUID *group, EFI_EVENT *event);
  EFI_STATUS SignalEvent(EFI_EVENT event);
  EFI_STATUS CloseEvent(EFI_EVENT event);
  EFI_STATUS CheckEvent(EFI_EVENT event);

  // --- Acting as the rest of the firmware ------------------------------
  // Signals every event of the group, as the boot manager does for
  // ready-to-boot.
  VOID SignalGroup(const EFI_GUID &group);
  // Signals the event, or every event of its group, without running any
  // notify function yet.
  VOID MarkSignalled(EFI_EVENT event);
  // Runs the notify functions queued above the current priority.
  VOID DispatchPending() { DispatchAbove(currentTpl_); }
  // Told of every event CloseEvent closes.
  void SetCloseListener(std::function<void(EFI_EVENT)> listener) {
    closeListener_ = std::move(listener);
  }

  // --- What happened -------------------------------------------------
  // One run of a notify function; the calls it made are those with an
  // index from firstCall up to (not including) endCall.
  struct NotifyRun {
    EFI_EVENT event;
    EFI_EVENT_NOTIFY notify;
    size_t firstCall;
    size_t endCall;
  };
  const std::vector<NotifyRun> &NotifyRuns() const { return notifyRuns_; }
  size_t OpenCount() const { return events_.size(); }
  bool IsOpen(EFI_EVENT event) const { return events_.count(event) != 0; }
  // The notify function of an open event; null for any other.
  EFI_EVENT_NOTIFY NotifyOf(EFI_EVENT event) const {
    auto found = events_.find(event);
    return found == events_.end() ? nullptr : found->second.notify;
  }
  EFI_TPL CurrentTpl() const { return currentTpl_; }

 private:
  struct Event {
    UINT32 type;
    EFI_TPL notifyTpl;
    EFI_EVENT_NOTIFY notify;
    const VOID *context;
    std::optional<EFI_GUID> group;
    bool signaled = false;
    uint64_t queueOrder = 0;
  };

  VOID QueueEvent(EFI_EVENT event);
  // Runs queued notify functions whose TPL is above the given one,
  // highest first, each at its own TPL.
  VOID DispatchAbove(EFI_TPL tpl);

  CallLog &calls_;
  OpaqueHandles &opaque_;
  std::function<void(EFI_EVENT)> closeListener_;
  EFI_TPL currentTpl_ = TPL_APPLICATION;
  std::map<EFI_EVENT, Event> events_;
  uint64_t nextQueueOrder_ = 0;
  std::vector<NotifyRun> notifyRuns_;
};

}  // namespace sim

#endif
