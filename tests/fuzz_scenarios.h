// The scenario files the fuzzers' seeds are made from: examples/,
// fuzz/seeds/ and fuzz/reproducers/.
#ifndef BOARDCFG_TESTS_FUZZ_SCENARIOS_H
#define BOARDCFG_TESTS_FUZZ_SCENARIOS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/scenario/board_setup.h"
#include "sim/scenario/scenario_file.h"
#include "tests/test_paths.h"

inline std::vector<std::string> FuzzSeedFolders() {
  const std::string fuzz = testpaths::kFuzzDir;
  return {testpaths::kExamplesDir, fuzz + "/seeds", fuzz + "/reproducers"};
}

inline std::vector<std::filesystem::path> FuzzSeedScenarios() {
  std::vector<std::filesystem::path> files;
  for (const std::string &folder : FuzzSeedFolders()) {
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() == ".json") {
        files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline sim::BoardSetup LoadFuzzScenario(const std::filesystem::path &path) {
  sim::BoardSetup setup;
  if (const auto refusal = sim::LoadScenario(path.string(), setup)) {
    ADD_FAILURE() << *refusal;
  }
  return setup;
}

#endif
