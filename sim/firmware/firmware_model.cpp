#include "sim/firmware/firmware_model.h"

#include <cstdlib>

#include "platform/guids.h"
#include "sim/firmware/boot_services_table.h"
#include "sim/sequence.h"

namespace sim {

namespace {

EFI_STATUS EFIAPI ModelInSmm(EFI_SMM_BASE2_PROTOCOL *self, BOOLEAN *inSmram) {
  FirmwareModel &firmware = Firmware();
  return firmware.Serve(
      "InSmm",
      {reinterpret_cast<uint64_t>(self), reinterpret_cast<uint64_t>(inSmram)},
      nullptr, [&] {
        if (self != firmware.SmmBase() || inSmram == nullptr) {
          return EFI_INVALID_PARAMETER;
        }
        *inSmram = firmware.SmmAnswer();
        return EFI_SUCCESS;
      });
}

FirmwareModel *activeFirmware = nullptr;

}  // namespace

FirmwareModel::FirmwareModel() {
  FillBootServicesTable(bootServices_);
  systemTable_.Hdr.Signature = EFI_SYSTEM_TABLE_SIGNATURE;
  systemTable_.Hdr.Revision = (2U << 16) | 70U;
  systemTable_.Hdr.HeaderSize = sizeof systemTable_;
  systemTable_.BootServices = &bootServices_;
  systemTable_.RuntimeServices = &runtimeServicesStandIn_;
  imageHandle_ = NewOpaque();
  handles_[imageHandle_] = {};
}

FirmwareModel::~FirmwareModel() {
  for (auto &[buffer, size] : pool_) {
    std::free(buffer);
  }
}

void FirmwareModel::AddConfigurationTable(const EFI_GUID &guid, VOID *table) {
  configurationTable_.push_back({guid, table});
  systemTable_.NumberOfTableEntries = configurationTable_.size();
  systemTable_.ConfigurationTable = configurationTable_.data();
}

void FirmwareModel::InstallSmmBase(BOOLEAN inSmm) {
  smmAnswer_ = inSmm;
  smmBase_.InSmm = ModelInSmm;
  InstallProtocol(kSmmBase2ProtocolGuid, &smmBase_);
}

void FirmwareModel::FailCall(const std::string &service, EFI_STATUS status,
                             unsigned occurrence) {
  faults_[service].push_back({status, occurrence});
}

size_t FirmwareModel::Record(const std::string &service,
                             std::vector<uint64_t> args, const EFI_GUID *guid,
                             Caller caller) {
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

void FirmwareModel::Finish(size_t index, EFI_STATUS status, bool injected) {
  calls_[index].status = status;
  calls_[index].injected = injected;
}

std::optional<EFI_STATUS> FirmwareModel::TakeFault(const std::string &service) {
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

std::vector<ServiceCall> FirmwareModel::CallsTo(
    const std::string &service) const {
  std::vector<ServiceCall> result;
  for (const ServiceCall &call : calls_) {
    if (call.service == service) {
      result.push_back(call);
    }
  }
  return result;
}

EFI_HANDLE FirmwareModel::NewOpaque() {
  nextOpaque_ += 0x10;
  return reinterpret_cast<EFI_HANDLE>(nextOpaque_);
}

FirmwareModel &Firmware() {
  if (activeFirmware == nullptr) {
    activeFirmware = new FirmwareModel();
  }
  return *activeFirmware;
}

void ResetFirmware() {
  delete activeFirmware;
  activeFirmware = new FirmwareModel();
}

}  // namespace sim
