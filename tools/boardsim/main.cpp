// boardsim: plays one boot of the driver on a simulated board and reports
// what it did.
#include <CLI/CLI.hpp>
#include <iostream>

#include "sim/board/simulated_boot.h"
#include "sim/outcome/boot_outcome.h"
#include "sim/outcome/outcome_json.h"
#include "sim/outcome/outcome_schema.h"
#include "sim/outcome/outcome_text.h"
#include "sim/scenario/scenario_file.h"
#include "sim/scenario/scenario_json.h"
#include "sim/scenario/scenario_schema.h"
#include "tools/boardsim/facts_json.h"

namespace {

constexpr int kBrokenInvariant = 1;
constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{
      "Plays one boot of BoardConfigDxe on a simulated board: by default "
      "preinstalled services, the entry, the other services in order, "
      "ready-to-boot twice, then the board service is asked; a scenario's "
      "\"steps\" give another order."};
  std::string scenarioPath;
  bool json = false;
  bool trace = false;
  bool facts = false;
  bool scenario = false;
  bool schema = false;
  bool keys = false;
  bool outcomeSchema = false;
  app.add_option("SCENARIO.json", scenarioPath,
                 "board scenario; without one, the default board");
  app.add_flag("--json", json, "print the JSON report");
  app.add_flag("--trace", trace,
               "add every hardware access and service call in order");
  app.add_flag("--scenario", scenario,
               "print the scenario with every key resolved, and play nothing");
  app.add_flag("--facts", facts,
               "print the test-side board facts as JSON, and play nothing");
  app.add_flag("--schema", schema,
               "print the JSON Schema of scenario files, and play nothing");
  app.add_flag("--keys", keys,
               "print the scenario keys as the README lists them, and play "
               "nothing");
  app.add_flag("--outcome-schema", outcomeSchema,
               "print the JSON Schema of the --json report, and play nothing");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &help) {
    return app.exit(help);
  } catch (const CLI::ParseError &error) {
    std::cerr << "boardsim: " << error.what() << "\n"
              << "usage: boardsim [SCENARIO.json] [--json] [--trace] "
                 "[--scenario] [--facts]\n"
                 "                [--schema] [--keys] [--outcome-schema]\n";
    return kUsageError;
  }
  if (facts) {
    std::cout << sim::FactsJson().dump(2) << '\n';
    return 0;
  }
  if (schema) {
    std::cout << sim::ScenarioSchema().dump(2) << '\n';
    return 0;
  }
  if (outcomeSchema) {
    std::cout << sim::OutcomeSchema().dump(2) << '\n';
    return 0;
  }
  if (keys) {
    std::cout << sim::ScenarioKeyListing();
    return 0;
  }

  if (app.count("SCENARIO.json") != 0 && scenarioPath.empty()) {
    std::cerr << "boardsim: the scenario path is empty; give a file, or "
                 "none for the default board\n";
    return kUsageError;
  }
  sim::BoardSetup setup;
  if (!scenarioPath.empty()) {
    if (auto refusal = sim::LoadScenario(scenarioPath, setup)) {
      std::cerr << "boardsim: " << *refusal << '\n';
      return kUsageError;
    }
  }
  if (scenario) {
    std::cout << sim::ScenarioJson(setup).dump(2) << '\n';
    return 0;
  }

  sim::SimulatedBoot boot(setup);
  boot.Play();
  const sim::BootOutcome outcome = sim::OutcomeOf(boot);
  // A boot that broke an invariant is shown in full, then reported as such.
  const int status = outcome.brokenInvariants.empty() ? 0 : kBrokenInvariant;
  if (json) {
    std::cout << sim::OutcomeJson(outcome, trace).dump(2) << '\n';
    return status;
  }
  std::cout << sim::OutcomeText(outcome);
  if (trace) {
    std::cout << "Trace (hw: hardware access, call: driver's service call, "
                 "----: the rest of the firmware):\n"
              << sim::TraceListing(outcome);
  }
  return status;
}
