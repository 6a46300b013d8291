#include "firmware-tests/efi/bridge_location.h"

#include "firmware-tests/efi/firmware_smbios.h"
#include "firmware-tests/efi/stage_log.h"
#include "sim/facts/board.h"
#include "sim/facts/efi_guids.h"

// The firmware's PCD database stands in for the board's bridge-location
// service: its Get32 lies at the entry the driver calls.
static_assert(offsetof(PcdDatabaseProtocol, Get32) ==
              facts::kPciLocationLookupEntry * sizeof(VOID *));

namespace {

PCD_GET32 OriginalGet32;
DriverImageSpan Driver;

const facts::LanPort *LanPortOf(UINTN key) {
  for (const facts::LanPort &port : facts::kLanPorts) {
    if (port.key == key) {
      return &port;
    }
  }
  return nullptr;
}

UINT32 EFIAPI BridgeAwareGet32(UINTN key) {
  const auto caller = reinterpret_cast<UINTN>(__builtin_return_address(0));
  const BOOLEAN fromDriver =
      Driver.end == 0 || (caller >= Driver.start && caller < Driver.end);
  if (!fromDriver) {
    return OriginalGet32(key);
  }
  const facts::LanPort *port = LanPortOf(key);
  const UINT32 result = port != nullptr ? port->bridge : OriginalGet32(key);
  TextLine line;
  LineStart(line, "pci-location key=");
  LineDecimal(line, key);
  LineText(line, " result=");
  LineHex(line, result);
  Record(line);
  return result;
}

}  // namespace

VOID TakeOverBridgeLocation(EFI_BOOT_SERVICES *boot, DriverImageSpan driver) {
  const BOOLEAN takeOver = !HasOemString(facts::kKeepFirmwarePciLocation);
  TextLine line;
  PcdDatabaseProtocol *database = nullptr;
  const EFI_STATUS status =
      boot->LocateProtocol(GuidArg(facts::efi::kPciLocationService), nullptr,
                           reinterpret_cast<VOID **>(&database));
  LineStart(line, "pci-location firmware-instance status=");
  LineHex(line, status);
  if (EFI_ERROR(status) || database == nullptr) {
    Record(line);
    return;
  }
  OriginalGet32 = database->Get32;
  if (!takeOver) {
    // The keys are local token numbers of the firmware's PCD database: a
    // DEBUG build asserts on a token of another size or beyond its count,
    // so the firmware's own answers are asked only when they are the
    // driver's.
    for (const facts::LanPort &port : facts::kLanPorts) {
      LineText(line, " key");
      LineDecimal(line, port.key);
      LineText(line, "=");
      LineHex(line, OriginalGet32(port.key));
    }
    Record(line);
    LineStart(line, "pci-location takeover skipped: firmware instance kept");
    Record(line);
    return;
  }
  Record(line);
  Driver = driver;
  database->Get32 = BridgeAwareGet32;
  LineStart(line, "pci-location takeover scope=");
  LineText(line, Driver.end == 0 ? "all-callers" : "driver-image");
  Record(line);
}
