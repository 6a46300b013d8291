#include "sim/board/simulated_boot.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "driver/board_service.h"
#include "driver/driver_entry.h"
#include "gpio/gpio.h"
#include "sim/facts/efi_guids.h"
#include "sim/facts/gpio_layout.h"
#include "sim/scenario/chipset_setup.h"

namespace sim {

namespace {

// Another table the firmware may list ahead of the HOB list; the driver
// stores the HOB list's address and never reads through it.
constexpr EFI_GUID kAcpi20TableGuid = {
    0x8868E871,
    0xE4F1,
    0x11D3,
    {0xBC, 0x22, 0x00, 0x80, 0xC7, 0x3C, 0x88, 0x81}};
uint8_t tableStandIn[2];

const EFI_GUID &GuidOf(OutsideService service) {
  switch (service) {
    case OutsideService::PciLocation:
      return facts::efi::kPciLocationService;
    case OutsideService::Smbios:
      return facts::efi::kSmbiosRecordService;
    case OutsideService::SetupStrings:
      break;
  }
  return facts::efi::kSetupStringService;
}

VOID *InterfaceOf(ServiceDoubles &services, OutsideService service) {
  switch (service) {
    case OutsideService::PciLocation:
      return services.pciLocation.Interface();
    case OutsideService::Smbios:
      return services.smbios.Interface();
    case OutsideService::SetupStrings:
      break;
  }
  return services.setupStrings.Interface();
}

BOARD_SERVICE_PROTOCOL *BoardService(const FirmwareModel &firmware) {
  return static_cast<BOARD_SERVICE_PROTOCOL *>(
      firmware.Protocols().FindInterface(facts::efi::kBoardService));
}

}  // namespace

SimulatedBoot::SimulatedBoot(const BoardSetup &setup) : setup_(setup) {
  ChipsetModel &chipset = board_.Chipset();
  FirmwareModel &firmware = board_.Firmware();
  ConfigureChipset(chipset, setup_);
  // The driver forms copy sources in 32-bit arithmetic: every such address
  // is the board's, and one that nothing decodes reads all-ones there.
  firmware.Memory().SetDeviceByteReader(
      [&chipset](uint64_t address, uint8_t *out) {
        if (chipset.ReadDeviceByte(address, out)) {
          return true;
        }
        if ((address >> 32) != 0) {
          return false;
        }
        *out = static_cast<uint8_t>(chipset.Read(address, 8));
        return true;
      });
  if (setup_.smmBase) {
    firmware.InstallSmmBase(FALSE);
  }
  SmbiosRecordDouble &smbios = board_.Services().smbios;
  smbios.BuildTable(setup_.slotRecords);
  for (const auto &[instance, bytes] : setup_.recordCopies) {
    smbios.OverrideRead(9, instance, bytes);
  }
  smbios.SetReadSucceedsWithoutBuffer(setup_.recordReadsWithoutBuffer);
  for (const auto &[key, bridge] : setup_.bridgeKeys) {
    board_.Services().pciLocation.MapKey(key, bridge);
  }
  for (const InjectedFault &fault : setup_.faults) {
    firmware.Calls().FailCall(fault.service, fault.status, fault.occurrence);
  }
  for (ConfigurationTable table : setup_.configurationTables) {
    if (table == ConfigurationTable::HobList) {
      firmware.Protocols().AddConfigurationTable(facts::efi::kHobList,
                                                 &tableStandIn[1]);
    } else {
      firmware.Protocols().AddConfigurationTable(kAcpi20TableGuid,
                                                 &tableStandIn[0]);
    }
  }
  originalSlotHandles_ = smbios.SlotHandles();
  gppB0Before_ = GppB0Now();
}

void SimulatedBoot::Play() {
  if (setup_.hostileReads) {
    const std::vector<uint8_t> &bytes = *setup_.hostileReads;
    board_.Chipset().SetReadSource(
        [this, &bytes](uint64_t, uint8_t width) -> std::optional<uint32_t> {
          uint32_t value = 0;
          for (unsigned i = 0; i < width / 8U; ++i) {
            const uint8_t byte =
                hostileReadAt_ < bytes.size() ? bytes[hostileReadAt_++] : 0;
            value |= static_cast<uint32_t>(byte) << (8 * i);
          }
          return value;
        });
  }
  for (const BootStep &step : setup_.steps) {
    Play(step);
  }
  board_.Chipset().SetReadSource({});
}

void SimulatedBoot::Play(const BootStep &step) {
  switch (step.kind) {
    case BootStep::Kind::Entry:
      RunEntry();
      break;
    case BootStep::Kind::Install:
      Install(step.service);
      break;
    case BootStep::Kind::ReadyToBoot:
      SignalReadyToBoot();
      break;
    case BootStep::Kind::Entry4:
      AskBoardService();
      break;
    case BootStep::Kind::Entry4Exact:
      CallEntry4Exactly();
      break;
  }
}

EFI_STATUS SimulatedBoot::RunEntry() {
  FirmwareModel &firmware = board_.Firmware();
  entryStatus_ = DriverEntry(firmware.ImageHandle(), firmware.SystemTable());
  boardServiceAtEntry_ = BoardService(firmware) != nullptr;
  return entryStatus_;
}

void SimulatedBoot::Install(OutsideService service) {
  board_.Firmware().Protocols().Install(
      GuidOf(service), InterfaceOf(board_.Services(), service));
}

void SimulatedBoot::SignalReadyToBoot() {
  board_.Firmware().Events().SignalGroup(facts::efi::kReadyToBootEventGroup);
}

BoardServiceAnswer SimulatedBoot::AskBoardService() {
  BoardServiceAnswer answer;
  answer.asked = true;
  answer.first.fill(facts::kLanFirstCanary);
  answer.second.fill(facts::kLanSecondCanary);
  answer.status = EFI_NOT_FOUND;
  BOARD_SERVICE_PROTOCOL *board = BoardService(board_.Firmware());
  if (board != nullptr) {
    answer.installed = true;
    answer.entry0 = board->Entry0 != nullptr && board->Entry0();
    answer.entry1 = board->Entry1 != nullptr ? board->Entry1() : EFI_NOT_FOUND;
    answer.entry2 = board->Entry2 != nullptr && board->Entry2();
    answer.entry3Null = board->Entry3 == nullptr;
    answer.entry5 = board->Entry5 != nullptr && board->Entry5();
    answer.entry6 = board->Entry6 != nullptr ? board->Entry6() : EFI_NOT_FOUND;
    answer.entry7Null = board->Entry7 == nullptr;
    if (board->CollectOnboardLanMacs != nullptr) {
      answer.status = board->CollectOnboardLanMacs(answer.first.data(),
                                                   answer.second.data());
    }
  }
  answers_.push_back(answer);
  return answer;
}

BoardServiceAnswer SimulatedBoot::CallEntry4Exactly() {
  BoardServiceAnswer answer;
  answer.asked = true;
  answer.exactBuffers = true;
  answer.first.fill(facts::kLanFirstCanary);
  answer.second.fill(facts::kLanSecondCanary);
  answer.status = EFI_NOT_FOUND;
  BOARD_SERVICE_PROTOCOL *board = BoardService(board_.Firmware());
  if (board != nullptr && board->CollectOnboardLanMacs != nullptr) {
    answer.installed = true;
    // On the heap at exactly the promised sizes, so that a byte written
    // past either is caught by the address sanitizer.
    auto first = std::make_unique<uint8_t[]>(answer.first.size());
    auto second = std::make_unique<uint8_t[]>(answer.second.size());
    std::memcpy(first.get(), answer.first.data(), answer.first.size());
    std::memcpy(second.get(), answer.second.data(), answer.second.size());
    answer.status = board->CollectOnboardLanMacs(first.get(), second.get());
    std::memcpy(answer.first.data(), first.get(), answer.first.size());
    std::memcpy(answer.second.data(), second.get(), answer.second.size());
  }
  answers_.push_back(answer);
  return answer;
}

BoardServiceAnswer SimulatedBoot::LastAnswer() const {
  return answers_.empty() ? BoardServiceAnswer{} : answers_.back();
}

std::vector<unsigned> SimulatedBoot::SlotRecordsLeft() const {
  const std::vector<uint16_t> now = board_.Services().smbios.SlotHandles();
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
  const ChipsetModel &chipset = board_.Chipset();
  return {chipset.PadDw0(pad), chipset.PadTxLocked(pad)};
}

}  // namespace sim
