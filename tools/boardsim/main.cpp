// boardsim: plays one boot of the driver on a simulated board and reports
// what it did.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/boardsim/report.h"
#include "tools/boardsim/scenario.h"

namespace {

constexpr int kUsageError = 2;

bool ReadFile(const std::string &path, std::string &text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return false;
  }
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) {
    return false;
  }
  text = contents.str();
  return true;
}

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

  sim::BoardSetup setup;
  if (!scenarioPath.empty()) {
    std::string text;
    if (!ReadFile(scenarioPath, text)) {
      std::cerr << "boardsim: cannot read scenario file \"" << scenarioPath
                << "\"\n";
      return kUsageError;
    }
    if (auto refusal = boardsim::ParseScenario(text, setup)) {
      std::cerr << "boardsim: " << scenarioPath << ": " << *refusal << '\n';
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
