// The facts' GUIDs as the EFI_GUIDs that UEFI interfaces take, with static
// storage so that their addresses may be passed on.
//
// Freestanding: the EFI programs include it too.
#ifndef BOARDCFG_SIM_FACTS_EFI_GUIDS_H
#define BOARDCFG_SIM_FACTS_EFI_GUIDS_H

#include "platform/uefi.h"
#include "sim/facts/interfaces.h"

namespace facts {

constexpr EFI_GUID EfiGuid(const Guid &guid) {
  return {guid.data1,
          guid.data2,
          guid.data3,
          {guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
           guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]}};
}

namespace efi {
inline constexpr EFI_GUID kBoardService = EfiGuid(kBoardServiceGuid);
inline constexpr EFI_GUID kSetupStringService =
    EfiGuid(kSetupStringServiceGuid);
inline constexpr EFI_GUID kSmbiosRecordService =
    EfiGuid(kSmbiosRecordServiceGuid);
inline constexpr EFI_GUID kPciLocationService =
    EfiGuid(kPciLocationServiceGuid);
inline constexpr EFI_GUID kSmmBase2Protocol = EfiGuid(kSmmBase2ProtocolGuid);
inline constexpr EFI_GUID kHobList = EfiGuid(kHobListGuid);
inline constexpr EFI_GUID kReadyToBootEventGroup =
    EfiGuid(kReadyToBootEventGroupGuid);
}  // namespace efi

}  // namespace facts

#endif
