// What one simulated boot did, gathered once from the firmware, the chipset
// and the service doubles after it: the single account that boardsim, the
// fuzzers and every comparison with the real image render or read.
#ifndef BOARDCFG_SIM_OUTCOME_BOOT_OUTCOME_H
#define BOARDCFG_SIM_OUTCOME_BOOT_OUTCOME_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/uefi.h"
#include "sim/board/simulated_boot.h"
#include "sim/chipset/access_trace.h"
#include "sim/chipset/p2sb.h"
#include "sim/firmware/service_call.h"
#include "sim/scenario/board_setup.h"

namespace sim {

struct SlotRecordRead {
  uint8_t instance;
  std::optional<uint16_t> valueIn;  // the value the driver passed in
  EFI_STATUS status;
};

struct SlotRecordDeletion {
  unsigned position;  // in the original table, 0 for a handle it lacked
  uint16_t handle;
  EFI_STATUS status;
};

struct SetupStringReplacement {
  uint16_t id;
  std::string text;
};

struct BridgeLookup {
  uint64_t key;
  uint16_t bridge;
};

struct BootOutcome {
  BoardSetup scenario;
  // The board as its registers show it (a register dump may say otherwise
  // than the scenario's named keys); no strap levels on an LP-series PCH.
  uint16_t pchDeviceId = 0;
  std::optional<std::array<uint8_t, 4>> strapLevels;

  EFI_STATUS entryStatus = EFI_SUCCESS;
  // The board service stood installed as the entry returned.
  bool boardServiceAtEntry = false;
  bool smmBase = false;
  std::optional<bool> smmBaseInSmm;  // what InSmm answers, while installed
  // The riser the straps name, from their levels (0 without strap pads).
  uint8_t riserId = 0;
  std::vector<unsigned> slotRecordsLeft;
  std::vector<SlotRecordRead> slotRecordReads;
  std::vector<SlotRecordDeletion> slotRecordsDeleted;
  std::vector<SetupStringReplacement> setupStrings;
  PadState gppB0Before;
  PadState gppB0After;
  std::vector<SidebandMessage> sidebandMessages;
  std::vector<BridgeLookup> bridgeLookups;
  BoardServiceAnswer boardService;  // the last time it was asked

  size_t openEvents = 0;
  size_t poolBuffersUnfreed = 0;
  std::vector<std::string> violations;
  std::vector<std::string> chipsetFlags;
  // Every invariant the boot broke (sim/board/invariants.h).
  std::vector<std::string> brokenInvariants;
  uint64_t accessCount = 0;
  std::vector<Access> accesses;
  std::vector<ServiceCall> calls;
};

// Gathers the outcome of the boot just played.
BootOutcome OutcomeOf(const SimulatedBoot &boot);

}  // namespace sim

#endif
