// What the test side knows of the board, written once: the chipset windows
// and the registers the models answer, the onboard-LAN wiring, the risers
// and the texts and canaries the checks use. The models, the tools, the
// fuzzers and the test-only EFI programs all take these from here; the
// firmware code keeps its own constants, so a mistake in either shows as a
// difference rather than hiding in both.
//
// Freestanding: the EFI programs include it too.
#ifndef BOARDCFG_SIM_FACTS_BOARD_H
#define BOARDCFG_SIM_FACTS_BOARD_H

#include <stddef.h>
#include <stdint.h>

namespace facts {

// --- Chipset windows ---------------------------------------------------
inline constexpr uint64_t kPciWindowBase = 0xE0000000;
inline constexpr uint64_t kPciWindowSize = 0x10000000;
inline constexpr uint64_t kPrivateWindowBase = 0xFD000000;
inline constexpr uint64_t kPrivateWindowSize = 0x01000000;

// A PCI function as bus << 8 | device << 3 | function.
using PciFunctionAddress = uint16_t;

constexpr PciFunctionAddress PciFunction(uint8_t bus, uint8_t device,
                                         uint8_t function) {
  return static_cast<PciFunctionAddress>(bus << 8 | (device & 0x1F) << 3 |
                                         (function & 7));
}
constexpr uint64_t PciRegister(PciFunctionAddress function, uint16_t offset) {
  return kPciWindowBase + uint64_t{function} * 0x1000 + offset;
}
constexpr uint64_t PrivateRegister(uint8_t port, uint16_t offset) {
  return kPrivateWindowBase + (uint64_t{port} << 16) + offset;
}
constexpr bool InPciWindow(uint64_t address) {
  return address >= kPciWindowBase && address < kPciWindowBase + kPciWindowSize;
}
constexpr bool InPrivateWindow(uint64_t address) {
  return address >= kPrivateWindowBase &&
         address < kPrivateWindowBase + kPrivateWindowSize;
}

// --- PCI configuration header ---------------------------------------------
inline constexpr uint16_t kPciIdsOffset = 0x00;  // vendor ID, then device ID
inline constexpr uint16_t kPciCommandOffset = 0x04;
inline constexpr uint16_t kPciBar0Offset = 0x10;
// The upper half of a 64-bit BAR0.
inline constexpr uint16_t kPciBar0HighOffset = 0x14;
// A bridge's primary, secondary and subordinate bus numbers, a byte each.
inline constexpr uint16_t kBridgeBusNumbersOffset = 0x18;
inline constexpr uint16_t kBridgeSubordinateBusOffset = 0x1A;

// --- PCH functions on bus 0, device 31 -----------------------------------
inline constexpr uint16_t kIntelVendorId = 0x8086;
inline constexpr PciFunctionAddress kLpcFunction = PciFunction(0, 31, 0);
inline constexpr uint16_t kLpcDeviceIdOffset = 0x02;
inline constexpr uint64_t kLpcDeviceId =
    PciRegister(kLpcFunction, kLpcDeviceIdOffset);
inline constexpr uint16_t kDefaultLpcDeviceId = 0xA305;  // H series

inline constexpr PciFunctionAddress kP2sbFunction = PciFunction(0, 31, 1);
inline constexpr uint16_t kP2sbDeviceId = 0xA320;
// Sideband message registers in the P2SB's configuration space.
inline constexpr uint16_t kP2sbVendorIdOffset = kPciIdsOffset;
inline constexpr uint16_t kP2sbAddressOffset = 0xD0;
inline constexpr uint16_t kP2sbDataOffset = 0xD4;
inline constexpr uint16_t kP2sbStatusOffset = 0xD8;
inline constexpr uint16_t kP2sbRoutingOffset = 0xDA;
inline constexpr uint16_t kP2sbExtendedAddressOffset = 0xDC;
inline constexpr uint64_t kP2sbVendorId =
    PciRegister(kP2sbFunction, kP2sbVendorIdOffset);
inline constexpr uint64_t kP2sbAddress =
    PciRegister(kP2sbFunction, kP2sbAddressOffset);
inline constexpr uint64_t kP2sbData =
    PciRegister(kP2sbFunction, kP2sbDataOffset);
inline constexpr uint64_t kP2sbStatus =
    PciRegister(kP2sbFunction, kP2sbStatusOffset);
inline constexpr uint64_t kP2sbRouting =
    PciRegister(kP2sbFunction, kP2sbRoutingOffset);
inline constexpr uint64_t kP2sbExtendedAddress =
    PciRegister(kP2sbFunction, kP2sbExtendedAddressOffset);
// Status register: busy in bit 0, completion in bits 2..1, opcode in 15..8.
inline constexpr uint16_t kP2sbBusy = 1U << 0;
inline constexpr uint16_t kP2sbCompletionBits = 3U << 1;
inline constexpr uint8_t kSidebandGpioLockOpcode = 0x13;
// Each of the driver's waits for the P2SB gives up after this many status
// reads.
inline constexpr uint32_t kSidebandPollLimit = 0x0FFFFFFF;

// --- Onboard LAN ----------------------------------------------------------
// Each controller sits at device 0 function 0 of its bridge's subordinate
// bus; the location service names the bridge for a key. The BAR0s lie in
// the private-register window beyond the GPIO ports, where the firmware
// stage's shared memory backs them too.
struct LanPort {
  uint64_t key;
  PciFunctionAddress bridge;
  uint8_t bus;
  uint32_t bar0;
};
inline constexpr LanPort kLanPorts[2] = {
    {8, PciFunction(0, 28, 0), 2, 0xFDF00000},
    {403, PciFunction(0, 28, 1), 3, 0xFDF20000},
};
inline constexpr uint32_t kBridgeIds = 0xA3408086;
inline constexpr uint32_t kI210Ids = 0x15338086;
inline constexpr uint32_t kOtherEthernetIds = 0x10D38086;
inline constexpr uint32_t kLanMemorySize = 0x20000;
inline constexpr uint32_t kReceiveAddressOffset = 0x5400;

// --- Board service, entry 4 ---------------------------------------------
// The buffers are filled with these before the call, so an untouched byte
// reads back as its canary.
inline constexpr size_t kLanFirstBufferSize = 10;
inline constexpr size_t kLanSecondBufferSize = 7;
inline constexpr uint8_t kLanFirstCanary = 0xA5;
inline constexpr uint8_t kLanSecondCanary = 0x5A;
// The firmware stage's checker passes larger buffers, so that a write past
// the promised sizes shows as a changed canary.
inline constexpr size_t kCheckerBufferSize = 16;

// --- Risers, Setup and SMBIOS ---------------------------------------------
struct Riser {
  uint8_t id;
  const char *name;
};
inline constexpr Riser kRisers[2] = {{14, "VARNEX-W"}, {12, "VARNEX-N"}};
inline constexpr const char *kNoRiserName = "none recognised";

constexpr const char *RiserName(uint8_t id) {
  for (const Riser &riser : kRisers) {
    if (riser.id == id) {
      return riser.name;
    }
  }
  return kNoRiserName;
}

inline constexpr const char *kSetupFormName = "Setup";
inline constexpr uint16_t kRiserPromptStringId = 0x1A52;
inline constexpr uint16_t kRiserHelpStringId = 0x1A53;
inline constexpr const char *kDefaultRiserPrompt = "Riser OPROM";
inline constexpr const char *kDefaultRiserHelp =
    "Enable or Disable Riser OPROM option.";

// The board's Setup form in the test firmware: its formset title (what the
// firmware's Device Manager lists) and, in each language its strings are
// held in, the riser option's prompt and help before any replacement.
inline constexpr const char *kSetupFormsetTitle = "Board Setup";
struct SetupLanguage {
  const char *code;
  const char *prompt;
  const char *help;
};
inline constexpr SetupLanguage kSetupLanguages[2] = {
    {"en-US", kDefaultRiserPrompt, kDefaultRiserHelp},
    {"fr-FR", "OPROM du riser", "Activer ou desactiver l'OPROM du riser."}};

// Designations of the System Slots records the test firmware holds, in
// table order; records beyond these are named by their number.
inline constexpr const char *kSlotDesignations[3] = {
    "RISER SLOT NONE", "RISER SLOT VARNEX-W", "RISER SLOT VARNEX-N"};
inline constexpr uint16_t kFirstSlotHandle = 0x0900;

// --- The firmware stage -------------------------------------------------
// Each chipset window is backed by a file of this size, mapped through one
// shared-memory device: the whole private-register window, and buses 0 to
// 15 of the PCI configuration window.
inline constexpr uint64_t kStageWindowFileSize = kPrivateWindowSize;
static_assert(kStageWindowFileSize <= kPciWindowSize);
// An SMBIOS OEM string (type 11) by which the stage asks the companion to
// leave the firmware's own instance under the bridge-location GUID alone.
inline constexpr const char *kKeepFirmwarePciLocation =
    "boardstage:pci-location=firmware";

}  // namespace facts

#endif
