#include "driver/onboard_lan.h"

#include "platform/guids.h"
#include "platform/service_globals.h"

PciLocationService *PciLocationCache;

namespace {

constexpr UINTN kFirstBridgeKey = 8;
constexpr UINTN kSecondBridgeKey = 403;
constexpr UINT32 kNoDevice = 0xFFFFFFFF;
constexpr UINT32 kI210Identity = 0x15338086;  // device 0x1533, vendor 0x8086
constexpr UINT32 kCommandRegister = 0x04;
constexpr UINT8 kCommandIoMemoryBusMaster = 0x07;
constexpr UINT32 kBar0 = 0x10;
constexpr UINT32 kSubordinateBus = 0x1A;
constexpr UINT32 kReceiveAddress = 0x5400;
constexpr UINTN kMacLength = 6;

// Device 0 function 0 on the bridge's subordinate bus.
PciAddress16 DeviceBehindBridge(PciLocationService *service, UINTN key) {
  const auto bridge = static_cast<PciAddress16>(service->LookupBridge(key));
  const UINT8 bus = RegisterRead8(PciConfigAddress(bridge, kSubordinateBus));
  return static_cast<PciAddress16>(bus << 8);
}

}  // namespace

PciLocationService *GetPciLocationService() {
  if (PciLocationCache != nullptr) {
    return PciLocationCache;
  }
  const EFI_STATUS status = ServiceGlobals.BootServices->LocateProtocol(
      GuidArg(kPciLocationServiceGuid), nullptr,
      reinterpret_cast<VOID **>(&PciLocationCache));
  if (EFI_ERROR(status)) {
    PciLocationCache = nullptr;
  }
  return PciLocationCache;
}

EFI_STATUS AppendI210Mac(PciAddress16 device, UINT8 *list) {
  const UINT32 identity = PciConfigAddress(device, 0);
  if (RegisterRead32(identity) == kNoDevice) {
    return EFI_SUCCESS;
  }
  if (RegisterRead32(identity) != kI210Identity) {
    return EFI_SUCCESS;
  }

  list[0] = static_cast<UINT8>(list[0] + 1);
  UINT8 *slot = list + 1 + static_cast<UINT8>(6 * (list[0] - 1));
  for (UINTN i = 0; i < kMacLength; ++i) {
    slot[i] = 0;
  }

  const UINT32 command = PciConfigAddress(device, kCommandRegister);
  const UINT8 savedCommand = RegisterRead8(command);
  RegisterWrite8(command, kCommandIoMemoryBusMaster);
  const UINT32 base = RegisterRead32(PciConfigAddress(device, kBar0)) & ~0xFU;
  const UINT32 receiveAddress = base + kReceiveAddress;
  ServiceGlobals.BootServices->CopyMem(
      slot, reinterpret_cast<VOID *>(static_cast<UINTN>(receiveAddress)),
      kMacLength);
  RegisterWrite8(command, savedCommand);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI CollectOnboardLanMacs(UINT8 *first, UINT8 *second) {
  UINT8 *firstList = first + 3;
  firstList[0] = 0;
  PciLocationService *service = GetPciLocationService();
  if (service == nullptr) {
    // Without the service there is no bridge to probe; report the absence
    // rather than two empty lists that look like a successful answer.
    second[0] = 0;
    return EFI_NOT_FOUND;
  }
  AppendI210Mac(DeviceBehindBridge(service, kFirstBridgeKey), firstList);
  second[0] = 0;
  AppendI210Mac(DeviceBehindBridge(service, kSecondBridgeKey), second);
  return EFI_SUCCESS;
}
