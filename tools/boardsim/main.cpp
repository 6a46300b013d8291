// boardsim: plays one boot of the driver on a simulated board and reports
// what it did.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/boardsim/report.h"
#include "tools/boardsim/scenario.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{
      "Plays one boot of BoardConfigDxe on a simulated board: preinstalled "
      "services, the entry, the other services in order, ready-to-boot "
      "twice, then entry 4 of the board service."};
  std::string scenarioPath;
  bool json = false;
  bool trace = false;
  app.add_option("SCENARIO.json", scenarioPath,
                 "board scenario; without one, the default board");
  app.add_flag("--json", json, "print the JSON report");
  app.add_flag("--trace", trace,
               "add every hardware access and service call in order");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &help) {
    return app.exit(help);
  } catch (const CLI::ParseError &error) {
    std::cerr << "boardsim: " << error.what() << "\n"
              << "usage: boardsim [SCENARIO.json] [--json] [--trace]\n";
    return kUsageError;
  }

  if (app.count("SCENARIO.json") != 0 && scenarioPath.empty()) {
    std::cerr << "boardsim: the scenario path is empty; give a file, or "
                 "none for the default board\n";
    return kUsageError;
  }
  sim::BoardSetup setup;
  if (!scenarioPath.empty()) {
    if (auto refusal = boardsim::LoadScenario(scenarioPath, setup)) {
      std::cerr << "boardsim: " << *refusal << '\n';
      return kUsageError;
    }
  }

  sim::SimulatedBoot boot(setup);
  boot.PlayDefaultSequence();
  const nlohmann::json report = boardsim::JsonReport(boot, trace);
  if (json) {
    std::cout << report.dump(2) << '\n';
    return 0;
  }
  std::cout << boardsim::TextAccount(report, setup);
  if (trace) {
    std::cout << "Trace (hw: hardware access, call: driver's service call, "
                 "----: the rest of the firmware):\n"
              << boardsim::TraceListing(boot);
  }
  return 0;
}
