// Host stand-in for the UEFI firmware: a system table and boot-services
// table whose functions keep a handle and protocol database, events with
// task-priority dispatch, pool accounting and a record of every call.
#ifndef BOARDCFG_SIM_FIRMWARE_FIRMWARE_MODEL_H
#define BOARDCFG_SIM_FIRMWARE_FIRMWARE_MODEL_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/uefi.h"
#include "sim/firmware/service_call.h"

namespace sim {

class FirmwareModel {
 public:
  FirmwareModel();
  FirmwareModel(const FirmwareModel &) = delete;
  FirmwareModel &operator=(const FirmwareModel &) = delete;
  ~FirmwareModel();

  EFI_SYSTEM_TABLE *SystemTable() { return &systemTable_; }
  EFI_BOOT_SERVICES *BootServices() { return &bootServices_; }
  EFI_HANDLE ImageHandle() const { return imageHandle_; }

  // --- Board set-up ---------------------------------------------------
  void AddConfigurationTable(const EFI_GUID &guid, VOID *table);
  // Installs EFI_SMM_BASE2_PROTOCOL whose InSmm reports the given answer.
  void InstallSmmBase(BOOLEAN inSmm);
  EFI_SMM_BASE2_PROTOCOL *SmmBase() { return &smmBase_; }
  BOOLEAN SmmAnswer() const { return smmAnswer_; }
  // CopyMem reads a source byte through this when it claims the address,
  // so copies out of modelled device memory reach the chipset model.
  using DeviceByteReader = std::function<bool(uint64_t address, uint8_t *)>;
  void SetDeviceByteReader(DeviceByteReader reader) {
    deviceByteReader_ = std::move(reader);
  }

  // --- Fault injection ------------------------------------------------
  // The occurrence-th call (from 1) of the service returns status instead;
  // occurrence 0 fails every call. An error status skips the service's
  // work; a warning does the work and returns the warning.
  void FailCall(const std::string &service, EFI_STATUS status,
                unsigned occurrence = 0);
  void ClearFaults() { faults_.clear(); }

  // --- Acting as the rest of the firmware ------------------------------
  EFI_STATUS InstallProtocol(const EFI_GUID &guid, VOID *interface,
                             EFI_HANDLE *handle = nullptr);
  EFI_STATUS UninstallProtocol(EFI_HANDLE handle, const EFI_GUID &guid,
                               VOID *interface);
  // Signals every event of the group, as the boot manager does for
  // ready-to-boot.
  VOID SignalEventGroup(const EFI_GUID &group);
  // A pool buffer handed out by a service double; it must come back
  // through FreePool exactly once.
  VOID *AllocatePoolBuffer(size_t size);

  // --- What happened -------------------------------------------------
  // One run of a notify function; the calls it made are those with an
  // index from firstCall up to (not including) endCall.
  struct NotifyRun {
    EFI_EVENT event;
    EFI_EVENT_NOTIFY notify;
    size_t firstCall;
    size_t endCall;
  };
  const std::vector<ServiceCall> &Calls() const { return calls_; }
  const std::vector<NotifyRun> &NotifyRuns() const { return notifyRuns_; }
  std::vector<ServiceCall> CallsTo(const std::string &service) const;
  // Problems a real firmware would assert on or corrupt itself over:
  // double or foreign FreePool, invalid TPL changes, unknown events.
  const std::vector<std::string> &Violations() const { return violations_; }
  std::vector<std::string> TakeViolations() {
    std::vector<std::string> taken;
    taken.swap(violations_);
    return taken;
  }
  size_t OpenEventCount() const { return events_.size(); }
  bool IsEventOpen(EFI_EVENT event) const { return events_.count(event) != 0; }
  // The notify function of an open event; null for any other.
  EFI_EVENT_NOTIFY NotifyOf(EFI_EVENT event) const {
    auto found = events_.find(event);
    return found == events_.end() ? nullptr : found->second.notify;
  }
  size_t OutstandingPoolBuffers() const { return pool_.size(); }
  // Each pool buffer handed out, with the call that was being served then.
  struct PoolHandout {
    VOID *buffer;
    size_t call;
  };
  const std::vector<PoolHandout> &PoolHandouts() const { return handouts_; }
  uint64_t PoolBuffersHandedOut() const { return poolHandedOut_; }
  std::vector<EFI_HANDLE> HandlesWith(const EFI_GUID &guid) const;
  VOID *FindInterface(const EFI_GUID &guid) const;
  EFI_TPL CurrentTpl() const { return currentTpl_; }

  // --- The services, as the boot-services table calls them -------------
  EFI_TPL RaiseTpl(EFI_TPL newTpl);
  VOID RestoreTpl(EFI_TPL oldTpl);
  EFI_STATUS AllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer);
  EFI_STATUS FreePool(VOID *buffer);
  EFI_STATUS CreateEvent(UINT32 type, EFI_TPL notifyTpl,
                         EFI_EVENT_NOTIFY notify, const VOID *context,
                         const EFI_GUID *group, EFI_EVENT *event);
  EFI_STATUS SignalEvent(EFI_EVENT event);
  EFI_STATUS CloseEvent(EFI_EVENT event);
  EFI_STATUS CheckEvent(EFI_EVENT event);
  EFI_STATUS InstallProtocolInterface(EFI_HANDLE *handle, const EFI_GUID *guid,
                                      EFI_INTERFACE_TYPE type, VOID *interface);
  EFI_STATUS UninstallProtocolInterface(EFI_HANDLE handle, const EFI_GUID *guid,
                                        VOID *interface);
  EFI_STATUS HandleProtocol(EFI_HANDLE handle, const EFI_GUID *guid,
                            VOID **interface);
  EFI_STATUS RegisterProtocolNotify(const EFI_GUID *guid, EFI_EVENT event,
                                    VOID **registration);
  EFI_STATUS InstallConfigurationTable(const EFI_GUID *guid, VOID *table);
  EFI_STATUS LocateProtocol(const EFI_GUID *guid, VOID *registration,
                            VOID **interface);
  VOID CopyMem(VOID *destination, const VOID *source, UINTN length);
  VOID SetMem(VOID *buffer, UINTN size, UINT8 value);

  // Records a call before its work (calls it causes come after it) and
  // applies any chosen fault: an error skips the work, a warning replaces
  // the status the work returned.
  template <typename Work>
  EFI_STATUS Serve(const std::string &service, std::vector<uint64_t> args,
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
  size_t Record(const std::string &service, std::vector<uint64_t> args,
                const EFI_GUID *guid = nullptr, Caller caller = Caller::Driver);
  void Finish(size_t index, EFI_STATUS status, bool injected);
  std::optional<EFI_STATUS> TakeFault(const std::string &service);
  void ReportViolation(const std::string &what) { violations_.push_back(what); }

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
  struct Interface {
    EFI_GUID guid;
    VOID *interface;
    uint64_t order;
  };
  struct Registration {
    EFI_GUID guid;
    EFI_EVENT event;
    std::vector<EFI_HANDLE> newHandles;
  };
  struct Fault {
    EFI_STATUS status;
    unsigned occurrence;
  };

  EFI_STATUS DoInstall(EFI_HANDLE *handle, const EFI_GUID &guid,
                       VOID *interface);
  EFI_STATUS DoUninstall(EFI_HANDLE handle, const EFI_GUID &guid,
                         VOID *interface);
  VOID QueueEvent(EFI_EVENT event);
  VOID SignalOne(EFI_EVENT event);
  // Runs queued notify functions whose TPL is above the given one,
  // highest first, each at its own TPL.
  VOID DispatchAbove(EFI_TPL tpl);
  EFI_HANDLE NewOpaque();

  EFI_SYSTEM_TABLE systemTable_{};
  EFI_BOOT_SERVICES bootServices_{};
  std::vector<EFI_CONFIGURATION_TABLE> configurationTable_;
  uint8_t runtimeServicesStandIn_[128]{};  // stored by the driver, never used
  EFI_SMM_BASE2_PROTOCOL smmBase_{};
  BOOLEAN smmAnswer_ = FALSE;
  EFI_HANDLE imageHandle_ = nullptr;

  EFI_TPL currentTpl_ = TPL_APPLICATION;
  std::map<EFI_EVENT, Event> events_;
  uint64_t nextQueueOrder_ = 0;
  std::map<EFI_HANDLE, std::vector<Interface>> handles_;
  uint64_t nextInterfaceOrder_ = 0;
  std::map<VOID *, Registration> registrations_;
  std::map<VOID *, size_t> pool_;
  uint64_t poolHandedOut_ = 0;
  std::vector<PoolHandout> handouts_;
  uintptr_t nextOpaque_ = 0x10000;
  DeviceByteReader deviceByteReader_;

  std::vector<ServiceCall> calls_;
  std::vector<NotifyRun> notifyRuns_;
  std::map<std::string, unsigned> callCounts_;
  std::map<std::string, std::vector<Fault>> faults_;
  std::vector<std::string> violations_;
};

// The instance that the boot-services table's functions reach.
FirmwareModel &Firmware();
// Replaces it with a new, empty firmware.
void ResetFirmware();

}  // namespace sim

#endif
