#include "sim/firmware/firmware_model.h"

#include "sim/facts/efi_guids.h"
#include "sim/firmware/boot_services_table.h"

namespace sim {

FirmwareModel::FirmwareModel(Sequence &sequence) : calls_(sequence) {
  FillBootServicesTable(bootServices_);
  systemTable_.Hdr.Signature = EFI_SYSTEM_TABLE_SIGNATURE;
  systemTable_.Hdr.Revision = (2U << 16) | 70U;
  systemTable_.Hdr.HeaderSize = sizeof systemTable_;
  systemTable_.BootServices = &bootServices_;
  systemTable_.RuntimeServices = &runtimeServicesStandIn_;
  events_.SetCloseListener(
      [this](EFI_EVENT event) { protocols_.ForgetNotifiesOf(event); });
}

void FirmwareModel::InstallSmmBase(BOOLEAN inSmm) {
  smmBase_.Answer(inSmm);
  protocols_.Install(facts::efi::kSmmBase2Protocol, smmBase_.Interface());
}

}  // namespace sim
