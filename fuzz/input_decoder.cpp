#include "fuzz/input_decoder.h"

#include <iterator>
#include <utility>
#include <vector>

#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"

namespace fuzz {

namespace {

using sim::BoardSetup;
using sim::BootStep;
using sim::OutsideService;

// Sequential bytes from the front of the input; 0 once it is used up.
class InputBytes {
 public:
  explicit InputBytes(std::span<const uint8_t> input) : input_(input) {}

  uint8_t Byte() { return at_ < input_.size() ? input_[at_++] : 0; }
  uint16_t U16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | static_cast<uint32_t>(U16()) << 16;
  }
  std::span<const uint8_t> Rest() const { return input_.subspan(at_); }

 private:
  std::span<const uint8_t> input_;
  size_t at_ = 0;
};

// The controllers at device 0 of the bridges' subordinate buses.
constexpr uint16_t kFirstController =
    facts::PciFunction(facts::kLanPorts[0].bus, 0, 0);
constexpr uint16_t kSecondController =
    facts::PciFunction(facts::kLanPorts[1].bus, 0, 0);

constexpr facts::Series kH = facts::Series::H;

// Registers whose raw values steer the driver: series, straps, GPP_B0 and
// its locks, the P2SB, the bridges' bus numbers, the controllers' IDs,
// command registers and BARs.
constexpr uint64_t kRegisterMenu[] = {
    facts::PciRegister(facts::kLpcFunction, facts::kPciIdsOffset),
    facts::PadOwnership(kH, facts::kGppK[0]).address,  // GPP_K0..K3
    facts::PadDw0(kH, facts::kGppK[0]),
    facts::PadDw0(kH, facts::kGppK[1]),
    facts::PadDw0(kH, facts::kGppK[2]),
    facts::PadDw0(kH, facts::kGppK[3]),
    facts::PadOwnership(kH, facts::kGppB0).address,
    facts::PadDw0(kH, facts::kGppB0),
    facts::PadLock(kH, facts::kGppB0).address,
    facts::PadLockTx(kH, facts::kGppB0).address,
    facts::kP2sbVendorId,
    facts::kP2sbStatus,  // status and routing words
    facts::PciRegister(facts::kLanPorts[0].bridge,
                       facts::kBridgeBusNumbersOffset),
    facts::PciRegister(facts::kLanPorts[1].bridge,
                       facts::kBridgeBusNumbersOffset),
    facts::PciRegister(kFirstController, facts::kPciIdsOffset),
    facts::PciRegister(kSecondController, facts::kPciIdsOffset),
    facts::PciRegister(kFirstController, facts::kPciCommandOffset),
    facts::PciRegister(kSecondController, facts::kPciCommandOffset),
    facts::PciRegister(kFirstController, facts::kPciBar0Offset),
    facts::PciRegister(kSecondController, facts::kPciBar0Offset),
    facts::PciRegister(kFirstController, facts::kPciBar0HighOffset),
};

// Bridges the location service may name instead of the board's own.
constexpr uint16_t kBridgeMenu[] = {
    facts::kLanPorts[0].bridge, facts::kLanPorts[1].bridge, 0x0000,
    facts::kLpcFunction,        facts::kP2sbFunction,       kFirstController,
    kSecondController};

// Services whose statuses the driver tests or must survive. CloseEvent,
// FreePool and UninstallProtocolInterface are left alone: their failure
// would unbalance the firmware's own books, which no driver can mend.
constexpr const char *kFaultMenu[] = {
    "LocateProtocol",
    "CreateEvent",
    "CreateEventEx",
    "RegisterProtocolNotify",
    "InstallProtocolInterface",
    "SmbiosRecordService.ReadRecordByType",
    "SmbiosRecordService.DeleteRecord",
    "SetupStringService.ReplaceString",
};
constexpr EFI_STATUS kStatusMenu[] = {
    EFI_NOT_FOUND,          EFI_OUT_OF_RESOURCES,    EFI_INVALID_PARAMETER,
    EFI_DEVICE_ERROR,       EFI_UNSUPPORTED,         EFI_ACCESS_DENIED,
    EFI_WARN_UNKNOWN_GLYPH, EFI_WARN_DELETE_FAILURE,
};

constexpr OutsideService kServices[] = {OutsideService::PciLocation,
                                        OutsideService::Smbios,
                                        OutsideService::SetupStrings};

// A stuck P2SB costs two full waits of 0x0FFFFFFF status reads (seconds
// each), so the board picks it for one value of a 16-bit field only.
constexpr uint16_t kStuckP2sb = 0xA75C;

constexpr size_t kMaxSteps = 12;
constexpr unsigned kMaxReadyToBoot = 3;
constexpr unsigned kMaxInstallsEach = 2;
constexpr unsigned kMaxEntry4Calls = 3;

void DecodeSeries(InputBytes &in, BoardSetup &setup) {
  const uint8_t series = in.Byte();
  const uint8_t idLow = in.Byte() ^ 0x05;
  switch (series % 4) {
    case 1:
      setup.pchDeviceId =
          static_cast<uint16_t>(facts::kLpFamily | (idLow & 0x1F));
      break;
    case 3:
      setup.pchDeviceId = in.U16();
      break;
    default:
      setup.pchDeviceId =
          static_cast<uint16_t>(facts::kHFamily | (idLow & 0x1F));
      break;
  }
  const uint8_t straps = in.Byte() ^ 0x0E;  // 0 gives VARNEX-W
  const uint8_t owners = in.Byte();
  for (unsigned i = 0; i < 4; ++i) {
    setup.straps[i] = (straps >> i) & 1;
    setup.strapOwners[i] = (owners >> (2 * i)) & 3;
  }
  const uint8_t gppB0 = in.Byte();
  setup.gppB0.owner = gppB0 & 3;
  setup.gppB0.txLocked = (gppB0 & 4) == 0;
  setup.gppB0.dw0 = in.U32() ^ 0x44000201;
}

void DecodeP2sb(InputBytes &in, BoardSetup &setup) {
  const uint16_t p2sb = in.U16();
  // Bits 8..5: the status reads a message stays busy for, 0..15 (0 gives the
  // default board's 3).
  setup.p2sbBusyReads = ((p2sb >> 5) & 0xF) ^ sim::P2sb::kDefaultBusyReads;
  if (p2sb == kStuckP2sb) {
    setup.p2sb = sim::P2sbBehaviour::Stuck;
    return;
  }
  switch (p2sb % 8) {
    case 5:
      setup.p2sb = sim::P2sbBehaviour::Absent;
      break;
    case 6:
    case 7:
      setup.p2sb = sim::P2sbBehaviour::Error;
      setup.p2sbCompletion = static_cast<uint8_t>(1 + (p2sb >> 3) % 3);
      break;
    default:
      setup.p2sb = sim::P2sbBehaviour::Ok;
      break;
  }
}

void DecodeDevices(InputBytes &in, BoardSetup &setup) {
  const uint8_t lan = in.Byte();
  constexpr sim::DeviceKind kKinds[] = {
      sim::DeviceKind::I210, sim::DeviceKind::Other, sim::DeviceKind::None,
      sim::DeviceKind::I210};
  setup.lan = {kKinds[lan & 3], kKinds[(lan >> 2) & 3]};
  if ((lan & 0x10) != 0) {
    for (sim::MacAddress &mac : setup.macs) {
      for (uint8_t &byte : mac) {
        byte = in.Byte();
      }
    }
  }
  setup.slotRecords = (in.Byte() + 3U) % 17;

  const uint8_t flags = in.Byte();
  setup.smmBase = (flags & 1) != 0;
  setup.readsZero = (flags & 0x0E) == 0x0E;
  if ((flags & 0x10) != 0) {
    setup.configurationTables.push_back(sim::ConfigurationTable::Acpi20);
  }
  if ((flags & 0x20) != 0) {
    setup.configurationTables.push_back(sim::ConfigurationTable::HobList);
  }
}

void DecodeRegisters(InputBytes &in, BoardSetup &setup) {
  const unsigned overrides = in.Byte() % 8;
  for (unsigned i = 0; i < overrides; ++i) {
    const uint8_t pick = in.Byte();
    uint64_t address;
    if (pick < std::size(kRegisterMenu)) {
      address = kRegisterMenu[pick];
    } else if (pick % 2 == 0) {
      const uint8_t port = in.Byte();
      address = facts::PrivateRegister(port, in.U16() & 0xFFFC);
    } else {
      const uint16_t function = in.U16();
      address = facts::PciRegister(function, in.Byte() & 0xFC);
    }
    uint32_t value = in.U32();
    if (address == facts::kP2sbStatus &&
        setup.p2sb != sim::P2sbBehaviour::Stuck) {
      // A busy P2SB only through the rare stuck choice.
      value &= ~uint32_t{facts::kP2sbBusy};
    }
    setup.registers[address] = value;
  }
}

void DecodeServices(InputBytes &in, BoardSetup &setup) {
  const uint8_t bridges = in.Byte();
  for (unsigned port = 0; port < 2; ++port) {
    if ((bridges & (1U << port)) != 0) {
      const uint8_t pick = in.Byte() % 8;
      setup.bridgeKeys[facts::kLanPorts[port].key] =
          pick < std::size(kBridgeMenu) ? kBridgeMenu[pick] : in.U16();
    }
  }

  const uint8_t replies = in.Byte();
  setup.recordReadsWithoutBuffer = (replies & 0xF0) == 0xF0;
  for (unsigned i = 0; i < replies % 4U; ++i) {
    const auto instance = static_cast<uint8_t>(1 + in.Byte() % 4);
    // At least the structure header that the service's contract promises.
    std::vector<uint8_t> bytes(4 + in.Byte() % 28U);
    for (uint8_t &byte : bytes) {
      byte = in.Byte();
    }
    setup.recordCopies[instance] = std::move(bytes);
  }

  const unsigned faults = in.Byte() % 5;
  for (unsigned i = 0; i < faults; ++i) {
    const char *service = kFaultMenu[in.Byte() % 8];
    const EFI_STATUS status = kStatusMenu[in.Byte() % 8];
    setup.faults.push_back({service, status, in.Byte() % 5U});
  }
}

// Up to kMaxSteps steps, each kind within its limit; none keeps the default
// boot. The entry comes first when the steps never name it.
void DecodeSteps(InputBytes &in, BoardSetup &setup) {
  using Kind = BootStep::Kind;
  const unsigned count = in.Byte() % (kMaxSteps + 1);
  if (count == 0) {
    return;
  }
  std::vector<BootStep> steps;
  bool entered = false;
  unsigned signals = 0;
  unsigned calls = 0;
  unsigned installs[std::size(kServices)] = {};
  for (unsigned i = 0; i < count; ++i) {
    const uint8_t b = in.Byte();
    switch (b % 4) {
      case 0: {
        const unsigned which = (b >> 2) % 3;
        if (installs[which]++ < kMaxInstallsEach) {
          steps.push_back({Kind::Install, kServices[which]});
        }
        break;
      }
      case 1:
        if (!entered) {
          entered = true;
          steps.push_back({Kind::Entry});
        }
        break;
      case 2:
        if (signals++ < kMaxReadyToBoot) {
          steps.push_back({Kind::ReadyToBoot});
        }
        break;
      default:
        if (calls++ < kMaxEntry4Calls) {
          steps.push_back({(b & 4) != 0 ? Kind::Entry4Exact : Kind::Entry4});
        }
        break;
    }
  }
  if (!entered) {
    steps.insert(steps.begin(), {Kind::Entry});
  }
  setup.steps = std::move(steps);
}

}  // namespace

sim::BoardSetup DecodeInput(std::span<const uint8_t> input, InputMode mode) {
  InputBytes in(input);
  BoardSetup setup;
  DecodeSeries(in, setup);
  DecodeP2sb(in, setup);
  DecodeDevices(in, setup);
  DecodeRegisters(in, setup);
  DecodeServices(in, setup);
  DecodeSteps(in, setup);
  if (mode == InputMode::Hostile) {
    const std::span<const uint8_t> reads = in.Rest();
    setup.hostileReads.emplace(reads.begin(), reads.end());
  }
  return setup;
}

}  // namespace fuzz
