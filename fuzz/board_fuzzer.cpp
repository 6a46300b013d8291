// libFuzzer target: one simulated boot of the driver per input, followed by
// the invariant checker. The input's bytes choose the board, which services
// exist, how they fail and what they hand back, and the order of service
// installations, ready-to-boot signals and calls of entry 4. Any broken
// invariant or firmware-model violation aborts the run: a finding.
//
// Built twice from this file. board_fuzzer plays the board as described;
// hostile_fuzzer (BOARDCFG_HOSTILE_HARDWARE) answers every hardware read
// (the two chipset windows and controller memory) with fresh bytes from the
// input left after the scenario, so a register read twice may differ; past
// the end of the input reads answer 0, which also ends any busy streak of
// the P2SB. Writes still reach the model.
//
// Every byte read past the end of the input is 0, and the all-zero input
// is the default board and boot, so short inputs stay meaningful.
//
// BOARD_FUZZ_DESCRIBE=1 in the environment prints each decoded scenario and
// what the boot did, to read a reproducer with; 2 adds every access.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/board_service.h"
#include "driver/board_service_protocol.h"
#include "platform/guids.h"
#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"
#include "sim/chipset/chipset_model.h"
#include "sim/firmware/firmware_model.h"
#include "sim/services/service_doubles.h"

#ifdef BOARDCFG_HOSTILE_HARDWARE
constexpr bool kHostile = true;
#else
constexpr bool kHostile = false;
#endif

namespace {

using sim::OutsideService;

// Sequential bytes from the front of the input; 0 once it is used up.
class InputBytes {
 public:
  InputBytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | static_cast<uint32_t>(U16()) << 16;
  }
  // Little-endian, as many bytes as the access is wide.
  uint32_t Value(uint8_t width) {
    uint32_t value = 0;
    for (unsigned i = 0; i < width / 8U; ++i) {
      value |= static_cast<uint32_t>(Byte()) << (8 * i);
    }
    return value;
  }
  size_t Used() const { return at_; }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
};

enum class Op : uint8_t { Install, Entry, ReadyToBoot, Entry4, Entry4Direct };

struct Step {
  Op op;
  OutsideService service = OutsideService::PciLocation;
};

struct Fault {
  const char *service;
  EFI_STATUS status;
  unsigned occurrence;
};

struct RecordReply {
  uint8_t instance;
  std::vector<uint8_t> bytes;
};

struct Scenario {
  sim::BoardSetup setup;
  uint8_t errorCompletion = 1;
  std::optional<uint16_t> firstBridge;
  std::optional<uint16_t> secondBridge;
  std::vector<RecordReply> replies;
  bool readWithoutBuffer = false;
  bool otherTable = false;  // configuration tables ahead of the HOB list
  bool hobList = false;
  std::vector<Fault> faults;
  std::vector<Step> steps;
};

// Registers whose raw values steer the driver: series, straps, GPP_B0 and
// its locks, the P2SB, the bridges' bus numbers, the controllers' IDs,
// command registers and BARs.
constexpr uint32_t kP2sbStatus = 0xE00F90D8;  // status and routing words
constexpr uint32_t kRegisterMenu[] = {
    0xE00F8000,  // LPC/eSPI vendor and device ID
    0xFD6B0020,  // GPP_K ownership (H)
    0xFD6B0600,  0xFD6B0610, 0xFD6B0620, 0xFD6B0630,  // GPP_K0..K3 DW0 (H)
    0xFD6E0030,                                       // GPP_B ownership
    0xFD6E0790,                                       // GPP_B0 DW0
    0xFD6E0088,                           // GPP_B configuration lock
    0xFD6E008C,                           // GPP_B TX-state lock
    0xE00F9000,                           // P2SB vendor and device ID
    kP2sbStatus, 0xE00E0018, 0xE00E1018,  // bus numbers of both bridges
    0xE0200000,  0xE0300000,              // controller IDs behind them
    0xE0200004,  0xE0300004,              // command and status
    0xE0200010,  0xE0300010,              // BAR0
    0xE0200014,                           // upper half of a 64-bit BAR0
};
constexpr size_t kRegisterMenuSize =
    sizeof kRegisterMenu / sizeof kRegisterMenu[0];

// Bridges the location service may name instead of the board's own.
constexpr uint16_t kBridgeMenu[] = {0x00E0, 0x00E1, 0x0000, 0x00F8,
                                    0x00F9, 0x0200, 0x0300};

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

void DecodeBoard(InputBytes &in, Scenario &s) {
  sim::BoardSetup &setup = s.setup;
  const uint8_t series = in.Byte();
  const uint8_t idLow = in.Byte() ^ 0x05;
  switch (series % 4) {
    case 1:
      setup.pchDeviceId = static_cast<uint16_t>(0x9D80 | (idLow & 0x1F));
      break;
    case 3:
      setup.pchDeviceId = in.U16();
      break;
    default:
      setup.pchDeviceId = static_cast<uint16_t>(0xA300 | (idLow & 0x1F));
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

  const uint16_t p2sb = in.U16();
  if (p2sb == kStuckP2sb) {
    setup.p2sb = sim::P2sbBehaviour::Stuck;
  } else {
    switch (p2sb % 8) {
      case 5:
        setup.p2sb = sim::P2sbBehaviour::Absent;
        break;
      case 6:
      case 7:
        setup.p2sb = sim::P2sbBehaviour::Error;
        s.errorCompletion = static_cast<uint8_t>(1 + (p2sb >> 3) % 3);
        break;
      default:
        setup.p2sb = sim::P2sbBehaviour::Ok;
        break;
    }
  }

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
  s.otherTable = (flags & 0x10) != 0;
  s.hobList = (flags & 0x20) != 0;

  const unsigned overrides = in.Byte() % 8;
  for (unsigned i = 0; i < overrides; ++i) {
    const uint8_t pick = in.Byte();
    uint32_t address;
    if (pick < kRegisterMenuSize) {
      address = kRegisterMenu[pick];
    } else if (pick % 2 == 0) {
      const uint32_t port = in.Byte();
      address = 0xFD000000 | port << 16 | (in.U16() & 0xFFFC);
    } else {
      const uint32_t function = in.U16();
      address = 0xE0000000 + (function << 12) + (in.Byte() & 0xFC);
    }
    uint32_t value = in.U32();
    if (address == kP2sbStatus && setup.p2sb != sim::P2sbBehaviour::Stuck) {
      value &= ~1U;  // a busy P2SB only through the rare stuck choice
    }
    setup.registers[address] = value;
  }
}

void DecodeServices(InputBytes &in, Scenario &s) {
  const uint8_t bridges = in.Byte();
  auto bridge = [&in](uint8_t pick) {
    return pick < sizeof kBridgeMenu / sizeof kBridgeMenu[0] ? kBridgeMenu[pick]
                                                             : in.U16();
  };
  if ((bridges & 1) != 0) {
    s.firstBridge = bridge(in.Byte() % 8);
  }
  if ((bridges & 2) != 0) {
    s.secondBridge = bridge(in.Byte() % 8);
  }

  const uint8_t replies = in.Byte();
  s.readWithoutBuffer = (replies & 0xF0) == 0xF0;
  for (unsigned i = 0; i < replies % 4U; ++i) {
    RecordReply reply;
    reply.instance = static_cast<uint8_t>(1 + in.Byte() % 4);
    // At least the structure header that the service's contract promises.
    reply.bytes.resize(4 + in.Byte() % 28U);
    for (uint8_t &byte : reply.bytes) {
      byte = in.Byte();
    }
    s.replies.push_back(std::move(reply));
  }

  const unsigned faults = in.Byte() % 5;
  for (unsigned i = 0; i < faults; ++i) {
    const char *service = kFaultMenu[in.Byte() % 8];
    const EFI_STATUS status = kStatusMenu[in.Byte() % 8];
    s.faults.push_back({service, status, in.Byte() % 5U});
  }
}

void DecodeSequence(InputBytes &in, Scenario &s) {
  const unsigned count = in.Byte() % (kMaxSteps + 1);
  if (count == 0) {
    // The simulator's own boot: entry, every service, two signals, entry 4.
    s.steps = {{Op::Entry},
               {Op::Install, OutsideService::PciLocation},
               {Op::Install, OutsideService::Smbios},
               {Op::Install, OutsideService::SetupStrings},
               {Op::ReadyToBoot},
               {Op::ReadyToBoot},
               {Op::Entry4}};
  } else {
    bool entered = false;
    unsigned signals = 0;
    unsigned calls = 0;
    unsigned installs[3] = {0, 0, 0};
    for (unsigned i = 0; i < count; ++i) {
      const uint8_t b = in.Byte();
      switch (b % 4) {
        case 0: {
          const unsigned which = (b >> 2) % 3;
          if (installs[which]++ < kMaxInstallsEach) {
            s.steps.push_back({Op::Install, kServices[which]});
          }
          break;
        }
        case 1:
          if (!entered) {
            entered = true;
            s.steps.push_back({Op::Entry});
          }
          break;
        case 2:
          if (signals++ < kMaxReadyToBoot) {
            s.steps.push_back({Op::ReadyToBoot});
          }
          break;
        default:
          if (calls++ < kMaxEntry4Calls) {
            s.steps.push_back({(b & 4) != 0 ? Op::Entry4Direct : Op::Entry4});
          }
          break;
      }
    }
    if (!entered) {
      s.steps.insert(s.steps.begin(), {Op::Entry});
    }
  }
  // The board's account of which services come before the entry and which
  // after, in order.
  bool afterEntry = false;
  for (const Step &step : s.steps) {
    if (step.op == Op::Entry) {
      afterEntry = true;
    } else if (step.op == Op::Install) {
      (afterEntry ? s.setup.services : s.setup.preinstalled)
          .push_back(step.service);
    }
  }
}

Scenario Decode(InputBytes &in) {
  Scenario s;
  s.setup.services.clear();
  DecodeBoard(in, s);
  DecodeServices(in, s);
  DecodeSequence(in, s);
  return s;
}

// Another configuration table the firmware may list first; the driver
// stores the HOB list's address and never reads through it.
constexpr EFI_GUID kAcpi20TableGuid = {
    0x8868E871,
    0xE4F1,
    0x11D3,
    {0xBC, 0x22, 0x00, 0x80, 0xC7, 0x3C, 0x88, 0x81}};
uint8_t tableStandIn[2];

bool describe = false;
bool describeAccesses = false;
std::vector<std::string> harnessFindings;

// The driver copies a MAC from whatever BAR0 reads, in 32-bit arithmetic.
// Below 4 GiB only device memory lives on the board: a range that no
// controller decodes reads all-ones there, traced as unimplemented.
bool ReadDeviceByte(uint64_t address, uint8_t *out) {
  if (sim::Chipset().ReadDeviceByte(address, out)) {
    return true;
  }
  if (address > 0xFFFFFFFFULL) {
    return false;
  }
  *out = static_cast<uint8_t>(sim::Chipset().Read(address, 8));
  return true;
}

// Entry 4 with buffers of exactly the promised sizes on the heap, so that
// a byte written past them is caught, and bytes 0..2 of the first checked.
void CallEntry4Direct() {
  auto *board = static_cast<BoardServiceInterface *>(
      sim::Firmware().Protocols().FindInterface(kBoardServiceProtocolGuid));
  if (board == nullptr || board->CollectOnboardLanMacs == nullptr) {
    return;
  }
  auto first = std::make_unique<uint8_t[]>(10);
  auto second = std::make_unique<uint8_t[]>(7);
  std::memset(first.get(), sim::kCanary, 10);
  std::memset(second.get(), sim::kCanary, 7);
  board->CollectOnboardLanMacs(first.get(), second.get());
  for (unsigned i = 0; i < 3; ++i) {
    if (first[i] != sim::kCanary) {
      harnessFindings.push_back("entry 4 wrote byte " + std::to_string(i) +
                                " of its first buffer");
    }
  }
}

const char *OpName(const Step &step) {
  switch (step.op) {
    case Op::Install:
      return sim::ServiceName(step.service);
    case Op::Entry:
      return "entry";
    case Op::ReadyToBoot:
      return "ready-to-boot";
    case Op::Entry4:
      return "entry4";
    case Op::Entry4Direct:
      return "entry4-direct";
  }
  return "?";
}

void Describe(const Scenario &s, size_t scenarioBytes) {
  const sim::BoardSetup &b = s.setup;
  std::fprintf(stderr, "--- %s scenario (%zu bytes)\n",
               kHostile ? "hostile" : "board", scenarioBytes);
  std::fprintf(stderr,
               "pch 0x%04X straps %u%u%u%u owners %u%u%u%u gpp_b0 owner %u "
               "%s dw0 0x%08X\n",
               b.pchDeviceId, b.straps[0], b.straps[1], b.straps[2],
               b.straps[3], b.strapOwners[0], b.strapOwners[1],
               b.strapOwners[2], b.strapOwners[3], b.gppB0.owner,
               b.gppB0.txLocked ? "locked" : "unlocked", b.gppB0.dw0);
  std::fprintf(stderr,
               "p2sb %s (completion %u) lan %s/%s slots %u smm %d "
               "reads_zero %d\n",
               sim::P2sbName(b.p2sb), s.errorCompletion,
               sim::LanDeviceName(b.lan[0]), sim::LanDeviceName(b.lan[1]),
               b.slotRecords, b.smmBase, b.readsZero);
  for (const auto &[address, value] : b.registers) {
    std::fprintf(stderr, "register 0x%08llX := 0x%08X\n",
                 static_cast<unsigned long long>(address), value);
  }
  if (s.firstBridge) {
    std::fprintf(stderr, "key 8 -> bridge 0x%04X\n", *s.firstBridge);
  }
  if (s.secondBridge) {
    std::fprintf(stderr, "key 403 -> bridge 0x%04X\n", *s.secondBridge);
  }
  for (const RecordReply &reply : s.replies) {
    std::fprintf(stderr, "type-9 instance %u reads %zu bytes:", reply.instance,
                 reply.bytes.size());
    for (uint8_t byte : reply.bytes) {
      std::fprintf(stderr, " %02X", byte);
    }
    std::fprintf(stderr, "\n");
  }
  if (s.readWithoutBuffer) {
    std::fprintf(stderr, "reads succeed without a buffer\n");
  }
  for (const Fault &fault : s.faults) {
    std::fprintf(stderr, "fail %s call %u with 0x%llX\n", fault.service,
                 fault.occurrence,
                 static_cast<unsigned long long>(fault.status));
  }
  if (s.otherTable || s.hobList) {
    std::fprintf(stderr, "configuration tables:%s%s\n",
                 s.otherTable ? " acpi" : "", s.hobList ? " hob-list" : "");
  }
  std::fprintf(stderr, "steps:");
  for (const Step &step : s.steps) {
    std::fprintf(stderr, " %s", OpName(step));
  }
  std::fprintf(stderr, "\n");
}

void DescribeOutcome(const sim::SimulatedBoot &boot) {
  std::fprintf(stderr, "entry 0x%llX, riser seen %u, slots left:",
               static_cast<unsigned long long>(boot.EntryStatus()),
               boot.RiserIdSeen());
  for (unsigned slot : boot.SlotRecordsLeft()) {
    std::fprintf(stderr, " %u", slot);
  }
  const sim::PadState before = boot.GppB0Before();
  const sim::PadState now = boot.GppB0Now();
  std::fprintf(stderr, "\ngpp_b0 0x%08X %s -> 0x%08X %s\n", before.dw0,
               before.txLocked ? "locked" : "unlocked", now.dw0,
               now.txLocked ? "locked" : "unlocked");
  for (const sim::SidebandMessage &m : sim::Chipset().SidebandMessages()) {
    std::fprintf(stderr,
                 "sideband opcode 0x%02X port 0x%02X offset 0x%X data 0x%08X "
                 "completion %d\n",
                 m.opcode, m.port, m.offset, m.data,
                 m.completion ? static_cast<int>(*m.completion) : -1);
  }
  for (const std::string &note : sim::Chipset().Notes()) {
    std::fprintf(stderr, "chipset note: %s\n", note.c_str());
  }
  const sim::LanAnswer &lan = boot.LastLanAnswer();
  std::fprintf(stderr, "last entry 4: 0x%llX first",
               static_cast<unsigned long long>(lan.status));
  for (uint8_t byte : lan.first) {
    std::fprintf(stderr, " %02X", byte);
  }
  std::fprintf(stderr, " second");
  for (uint8_t byte : lan.second) {
    std::fprintf(stderr, " %02X", byte);
  }
  std::fprintf(
      stderr, "\nhardware: %llu accesses\n",
      static_cast<unsigned long long>(sim::Chipset().Trace().AccessCount()));
  if (describeAccesses) {
    for (const sim::Access &access : sim::Chipset().Trace().Entries()) {
      std::fprintf(stderr, "  %s\n", sim::Describe(access).c_str());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  const char *flag = std::getenv("BOARD_FUZZ_DESCRIBE");
  describe = flag != nullptr && *flag != '\0' && std::strcmp(flag, "0") != 0;
  describeAccesses = describe && std::strcmp(flag, "2") == 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  InputBytes in(data, size);
  const Scenario scenario = Decode(in);
  if (describe) {
    Describe(scenario, in.Used());
  }
  harnessFindings.clear();

  sim::SimulatedBoot boot(scenario.setup);
  if (scenario.setup.p2sb == sim::P2sbBehaviour::Error) {
    sim::Chipset().SetP2sbState(sim::P2sbState::CompletesWithError,
                                scenario.errorCompletion);
  }
  if (scenario.firstBridge) {
    sim::Services().pciLocation.MapKey(sim::kFirstLanBridgeKey,
                                       *scenario.firstBridge);
  }
  if (scenario.secondBridge) {
    sim::Services().pciLocation.MapKey(sim::kSecondLanBridgeKey,
                                       *scenario.secondBridge);
  }
  for (const RecordReply &reply : scenario.replies) {
    sim::Services().smbios.OverrideRead(9, reply.instance, reply.bytes);
  }
  sim::Services().smbios.SetReadSucceedsWithoutBuffer(
      scenario.readWithoutBuffer);
  for (const Fault &fault : scenario.faults) {
    sim::Firmware().Calls().FailCall(fault.service, fault.status,
                                     fault.occurrence);
  }
  if (scenario.otherTable) {
    sim::Firmware().Protocols().AddConfigurationTable(kAcpi20TableGuid,
                                                      &tableStandIn[0]);
  }
  if (scenario.hobList) {
    sim::Firmware().Protocols().AddConfigurationTable(kHobListGuid,
                                                      &tableStandIn[1]);
  }
  sim::Firmware().Memory().SetDeviceByteReader(ReadDeviceByte);
  if (kHostile) {
    sim::Chipset().SetReadSource(
        [&in](uint64_t, uint8_t width) -> std::optional<uint32_t> {
          return in.Value(width);
        });
  }

  for (const Step &step : scenario.steps) {
    switch (step.op) {
      case Op::Install:
        boot.Install(step.service);
        break;
      case Op::Entry:
        boot.RunEntry();
        break;
      case Op::ReadyToBoot:
        boot.SignalReadyToBoot();
        break;
      case Op::Entry4:
        boot.CallCollectOnboardLanMacs();
        break;
      case Op::Entry4Direct:
        CallEntry4Direct();
        break;
    }
  }
  sim::Chipset().SetReadSource({});

  std::vector<std::string> findings;
  for (std::string &broken :
       sim::CheckInvariants(boot, kHostile ? sim::HardwareReads::Hostile
                                           : sim::HardwareReads::Modelled)) {
    findings.push_back(std::move(broken));
  }
  for (const std::string &violation : sim::Firmware().Calls().Violations()) {
    const std::string finding = "firmware: " + violation;
    if (std::find(findings.begin(), findings.end(), finding) ==
        findings.end()) {
      findings.push_back(finding);
    }
  }
  findings.insert(findings.end(), harnessFindings.begin(),
                  harnessFindings.end());
  if (describe) {
    DescribeOutcome(boot);
  }
  if (!findings.empty()) {
    if (!describe) {
      Describe(scenario, in.Used());
      DescribeOutcome(boot);
    }
    for (const std::string &finding : findings) {
      std::fprintf(stderr, "FINDING: %s\n", finding.c_str());
    }
    std::abort();
  }
  // Back to empty models, so that every run allocates as much as it frees
  // and libFuzzer need not run it again to look for a leak.
  sim::ResetFirmware();
  sim::ResetChipset();
  sim::ResetServices();
  return 0;
}
