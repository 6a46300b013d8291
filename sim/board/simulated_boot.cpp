#include "sim/board/simulated_boot.h"

#include <algorithm>

#include "driver/board_service_protocol.h"
#include "driver/driver_entry.h"
#include "driver/riser.h"
#include "gpio/gpio.h"
#include "platform/guids.h"
#include "sim/chipset/chipset_model.h"
#include "sim/driver_state.h"
#include "sim/facts/gpio_layout.h"
#include "sim/firmware/firmware_model.h"
#include "sim/services/service_doubles.h"

namespace sim {

namespace {

constexpr PadCode kGppK0 = facts::PadCodeOf(facts::Series::H, facts::kGppK[0]);
constexpr uint8_t kFirstLanBus = 2;
constexpr uint8_t kSecondLanBus = 3;
// In the private-register window beyond the GPIO ports (0x6A..0x6E), where
// the firmware stage's shared memory backs them too.
constexpr uint32_t kFirstLanBar0 = 0xFDF00000;
constexpr uint32_t kSecondLanBar0 = 0xFDF20000;

bool IsLpDeviceId(uint16_t id) {
  return facts::SeriesOfLpcDeviceId(id) == facts::Series::Lp;
}

// GPP_B0 is group 1, pad 0 in the layouts of both series.
PadCode GppB0Of(const BoardSetup &setup) {
  return facts::PadCodeOf(facts::SeriesOfLpcDeviceId(setup.pchDeviceId),
                          facts::kGppB0);
}

void Configure(ChipsetModel &chipset, const BoardSetup &setup) {
  chipset.SetLpcDeviceId(setup.pchDeviceId);
  if (!IsLpDeviceId(setup.pchDeviceId)) {
    // The LP series has no GPP_K group: its straps are not wired.
    for (uint32_t i = 0; i < setup.straps.size(); ++i) {
      chipset.SetPadOwnership(kGppK0 + i, setup.strapOwners[i]);
      chipset.SetPadRxLevel(kGppK0 + i, setup.straps[i] != 0);
    }
  }
  const PadCode gppB0 = GppB0Of(setup);
  chipset.SetPadOwnership(gppB0, setup.gppB0.owner);
  chipset.SetPadDw0(gppB0, setup.gppB0.dw0);
  chipset.SetPadTxLock(gppB0, setup.gppB0.txLocked);

  switch (setup.p2sb) {
    case P2sbBehaviour::Ok:
      chipset.SetP2sbState(P2sbState::Ok);
      break;
    case P2sbBehaviour::Absent:
      chipset.SetP2sbState(P2sbState::Absent);
      break;
    case P2sbBehaviour::Stuck:
      chipset.SetP2sbState(P2sbState::Stuck);
      break;
    case P2sbBehaviour::Error:
      chipset.SetP2sbState(P2sbState::CompletesWithError, 1);
      break;
  }

  chipset.AddBridge(kFirstLanBridge, kFirstLanBus);
  chipset.AddBridge(kSecondLanBridge, kSecondLanBus);
  chipset.SetDeviceBehind(kFirstLanBus, setup.lan[0], setup.macs[0],
                          kFirstLanBar0);
  chipset.SetDeviceBehind(kSecondLanBus, setup.lan[1], setup.macs[1],
                          kSecondLanBar0);

  for (const auto &[address, value] : setup.registers) {
    chipset.OverrideRegister(address, value);
  }
  chipset.SetReadsZeroEverywhere(setup.readsZero);
}

const EFI_GUID &GuidOf(OutsideService service) {
  switch (service) {
    case OutsideService::PciLocation:
      return kPciLocationServiceGuid;
    case OutsideService::Smbios:
      return kSmbiosRecordServiceGuid;
    case OutsideService::SetupStrings:
      break;
  }
  return kSetupStringServiceGuid;
}

VOID *InterfaceOf(OutsideService service) {
  switch (service) {
    case OutsideService::PciLocation:
      return Services().pciLocation.Interface();
    case OutsideService::Smbios:
      return Services().smbios.Interface();
    case OutsideService::SetupStrings:
      break;
  }
  return Services().setupStrings.Interface();
}

}  // namespace

SimulatedBoot::SimulatedBoot(const BoardSetup &setup) : setup_(setup) {
  ResetFirmware();
  ResetChipset();
  ResetServices();
  ResetDriverState();

  Configure(Chipset(), setup_);
  // The driver forms copy sources in 32-bit arithmetic: every such address
  // is the board's, and one that nothing decodes reads all-ones there.
  Firmware().SetDeviceByteReader([](uint64_t address, uint8_t *out) {
    if (Chipset().ReadDeviceByte(address, out)) {
      return true;
    }
    if ((address >> 32) != 0) {
      return false;
    }
    *out = static_cast<uint8_t>(Chipset().Read(address, 8));
    return true;
  });
  if (setup_.smmBase) {
    Firmware().InstallSmmBase(FALSE);
  }
  Services().smbios.BuildTable(setup_.slotRecords);
  originalSlotHandles_ = Services().smbios.SlotHandles();
  gppB0Before_ = GppB0Now();
}

EFI_STATUS SimulatedBoot::RunEntry() {
  entryStatus_ =
      DriverEntry(Firmware().ImageHandle(), Firmware().SystemTable());
  return entryStatus_;
}

void SimulatedBoot::Install(OutsideService service) {
  Firmware().InstallProtocol(GuidOf(service), InterfaceOf(service));
}

void SimulatedBoot::SignalReadyToBoot() {
  Firmware().SignalEventGroup(kReadyToBootEventGroupGuid);
}

LanAnswer SimulatedBoot::CallCollectOnboardLanMacs() {
  LanAnswer answer;
  answer.first.fill(kCanary);
  answer.second.fill(kCanary);
  auto *board = static_cast<BoardServiceInterface *>(
      Firmware().FindInterface(kBoardServiceProtocolGuid));
  if (board == nullptr || board->CollectOnboardLanMacs == nullptr) {
    answer.status = EFI_NOT_FOUND;
  } else {
    answer.status =
        board->CollectOnboardLanMacs(answer.first.data(), answer.second.data());
  }
  lanAnswer_ = answer;
  return answer;
}

void SimulatedBoot::PlayDefaultSequence() {
  for (OutsideService service : setup_.preinstalled) {
    Install(service);
  }
  RunEntry();
  for (OutsideService service : setup_.services) {
    Install(service);
  }
  SignalReadyToBoot();
  SignalReadyToBoot();
  CallCollectOnboardLanMacs();
}

std::vector<unsigned> SimulatedBoot::SlotRecordsLeft() const {
  const std::vector<uint16_t> now = Services().smbios.SlotHandles();
  std::vector<unsigned> left;
  for (size_t i = 0; i < originalSlotHandles_.size(); ++i) {
    if (std::count(now.begin(), now.end(), originalSlotHandles_[i]) != 0) {
      left.push_back(static_cast<unsigned>(i + 1));
    }
  }
  return left;
}

PadState SimulatedBoot::GppB0Now() const {
  const PadCode pad = GppB0Of(setup_);
  return {Chipset().PadDw0(pad), Chipset().PadTxLocked(pad)};
}

uint8_t SimulatedBoot::RiserIdSeen() const {
  // A second board in the same state answers the straps, so the boot's own
  // trace and driver caches stay as the boot left them.
  ChipsetModel *boot = detail::activeChipset;
  const PchSeries cachedSeries = SeriesCache;
  ChipsetModel probe;
  Configure(probe, setup_);
  detail::activeChipset = &probe;
  const RiserId id = ReadRiserId();
  detail::activeChipset = boot;
  SeriesCache = cachedSeries;
  return id;
}

}  // namespace sim
