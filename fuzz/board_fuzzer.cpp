// libFuzzer target: one simulated boot of the driver per input, on the board
// and boot the input describes (input_decoder.h), followed by the invariant
// checker. Any broken invariant or firmware-model violation aborts the run:
// a finding.
//
// Built twice from this file. board_fuzzer plays the board as described;
// hostile_fuzzer (BOARDCFG_HOSTILE_HARDWARE) answers every hardware read
// with the input's bytes left after the scenario.
//
// In the environment, BOARD_FUZZ_DESCRIBE=1 prints each decoded scenario as
// a scenario file and what the boot did, to read a reproducer with; 2 adds
// every access and service call. BOARD_FUZZ_SCENARIO=path writes the decoded
// scenario to path, for boardsim to replay.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/input_decoder.h"
#include "sim/board/invariants.h"
#include "sim/board/simulated_boot.h"
#include "sim/outcome/boot_outcome.h"
#include "sim/outcome/outcome_text.h"
#include "sim/scenario/scenario_json.h"

namespace {

#ifdef BOARDCFG_HOSTILE_HARDWARE
constexpr fuzz::InputMode kMode = fuzz::InputMode::Hostile;
#else
constexpr fuzz::InputMode kMode = fuzz::InputMode::Board;
#endif

bool describe = false;
bool describeTrace = false;
const char *scenarioPath = nullptr;

// A finding's scenario is kept in fuzz/reproducers/, which names the schema
// by this path.
constexpr const char *kReproducerSchema = "../../docs/scenario.schema.json";

void PrintScenario(const sim::BoardSetup &setup) {
  std::fprintf(stderr, "--- scenario\n%s\n",
               sim::ScenarioJson(setup, kReproducerSchema).dump(2).c_str());
}

void PrintOutcome(const sim::SimulatedBoot &boot) {
  const sim::BootOutcome outcome = sim::OutcomeOf(boot);
  std::fprintf(stderr, "--- outcome\n%s", sim::OutcomeText(outcome).c_str());
  if (describeTrace) {
    std::fprintf(stderr, "--- trace\n%s", sim::TraceListing(outcome).c_str());
  }
}

void WriteScenario(const sim::BoardSetup &setup) {
  std::ofstream file(scenarioPath);
  file << sim::ScenarioJson(setup, kReproducerSchema).dump(2) << '\n';
  if (!file) {
    std::fprintf(stderr, "cannot write the scenario to %s\n", scenarioPath);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  const char *flag = std::getenv("BOARD_FUZZ_DESCRIBE");
  describe = flag != nullptr && *flag != '\0' && std::strcmp(flag, "0") != 0;
  describeTrace = describe && std::strcmp(flag, "2") == 0;
  const char *path = std::getenv("BOARD_FUZZ_SCENARIO");
  if (path != nullptr && *path != '\0') {
    scenarioPath = path;
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const sim::BoardSetup setup = fuzz::DecodeInput({data, size}, kMode);
  // Before the boot, so that a crash or a hang leaves them too.
  if (scenarioPath != nullptr) {
    WriteScenario(setup);
  }
  if (describe) {
    PrintScenario(setup);
  }
  // The boot owns its board: a run frees all it allocates as it returns, so
  // libFuzzer need not run it again to look for a leak.
  sim::SimulatedBoot boot(setup);
  boot.Play();
  // The firmware model's violations are among the broken invariants.
  const std::vector<std::string> findings = sim::CheckInvariants(
      boot, setup.hostileReads ? sim::HardwareReads::Hostile
                               : sim::HardwareReads::Modelled);
  if (!describe && !findings.empty()) {
    PrintScenario(setup);
  }
  if (describe || !findings.empty()) {
    PrintOutcome(boot);
  }
  for (const std::string &finding : findings) {
    std::fprintf(stderr, "FINDING: %s\n", finding.c_str());
  }
  if (!findings.empty()) {
    std::abort();
  }
  return 0;
}
