#include "sim/outcome/boot_outcome.h"

#include "sim/board/invariants.h"
#include "sim/facts/board.h"
#include "sim/facts/efi_guids.h"
#include "sim/facts/gpio_layout.h"

namespace sim {

namespace {

// Levels of GPP_K0..K3 as their DW0 RX bits hold them; the LP series has
// no GPP_K group.
std::optional<std::array<uint8_t, 4>> StrapLevels(const ChipsetModel &chipset,
                                                  uint16_t deviceId) {
  if (facts::SeriesOfLpcDeviceId(deviceId) == facts::Series::Lp) {
    return std::nullopt;
  }
  std::array<uint8_t, 4> levels{};
  for (size_t i = 0; i < levels.size(); ++i) {
    const facts::GpioPad pad = facts::kGppK[i];
    const facts::RegisterBits rx =
        facts::PadRxState(facts::GroupOf(facts::Series::H, pad), pad.number);
    levels[i] = (chipset.Peek(rx.address).value_or(0) & rx.mask) >> rx.shift;
  }
  return levels;
}

unsigned PositionOf(const std::vector<uint16_t> &original, uint16_t handle) {
  for (size_t i = 0; i < original.size(); ++i) {
    if (original[i] == handle) {
      return static_cast<unsigned>(i + 1);
    }
  }
  return 0;
}

}  // namespace

BootOutcome OutcomeOf(const SimulatedBoot &boot) {
  const FirmwareModel &firmware = boot.Board().Firmware();
  const ChipsetModel &chipset = boot.Board().Chipset();
  const ServiceDoubles &services = boot.Board().Services();
  BootOutcome outcome;
  outcome.scenario = boot.Setup();
  outcome.pchDeviceId = static_cast<uint16_t>(
      chipset.Peek(facts::kLpcDeviceId, 16).value_or(0xFFFF));
  outcome.strapLevels = StrapLevels(chipset, outcome.pchDeviceId);

  outcome.entryStatus = boot.EntryStatus();
  outcome.boardServiceAtEntry = boot.BoardServiceAtEntry();
  outcome.smmBase = firmware.Protocols().FindInterface(
                        facts::efi::kSmmBase2Protocol) != nullptr;
  if (outcome.smmBase) {
    outcome.smmBaseInSmm = firmware.SmmBase().InSmm() != FALSE;
  }
  if (outcome.strapLevels) {
    for (size_t i = 0; i < outcome.strapLevels->size(); ++i) {
      outcome.riserId |= static_cast<uint8_t>((*outcome.strapLevels)[i] << i);
    }
  }
  outcome.slotRecordsLeft = boot.SlotRecordsLeft();
  for (const SmbiosRecordDouble::Read &read : services.smbios.Reads()) {
    if (read.type == 9) {
      outcome.slotRecordReads.push_back(
          {read.instance, read.valueIn, read.status});
    }
  }
  for (const ServiceCall &call :
       firmware.Calls().To("SmbiosRecordService.DeleteRecord")) {
    const auto handle = static_cast<uint16_t>(call.args[0]);
    outcome.slotRecordsDeleted.push_back(
        {PositionOf(boot.OriginalSlotHandles(), handle), handle, call.status});
  }
  for (const StringReplacement &replacement :
       services.setupStrings.Replacements()) {
    outcome.setupStrings.push_back(
        {static_cast<uint16_t>(replacement.id), replacement.text});
  }

  outcome.gppB0Before = boot.GppB0Before();
  outcome.gppB0After = boot.GppB0Now();
  outcome.sidebandMessages = chipset.SidebandMessages();
  for (const ServiceCall &call :
       firmware.Calls().To("PciLocationService.LookupBridge")) {
    outcome.bridgeLookups.push_back(
        {call.args[0], static_cast<uint16_t>(call.status)});
  }
  outcome.boardService = boot.LastAnswer();

  outcome.openEvents = firmware.Events().OpenCount();
  outcome.poolBuffersUnfreed = firmware.Memory().OutstandingPoolBuffers();
  outcome.violations = firmware.Calls().Violations();
  outcome.chipsetFlags = chipset.Flags();
  outcome.brokenInvariants = CheckInvariants(
      boot, boot.Setup().hostileReads ? HardwareReads::Hostile
                                      : HardwareReads::Modelled);
  outcome.accessCount = chipset.Trace().AccessCount();
  outcome.accesses = chipset.Trace().Entries();
  outcome.calls = firmware.Calls().All();
  return outcome;
}

}  // namespace sim
