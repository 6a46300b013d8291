// The scenarios of tests/data/scenario-cases.json, which the reader's, the
// program's and the schema's tests share: each refused one with what its
// message must name, and the accepted ones.
#ifndef BOARDCFG_TESTS_SCENARIO_CASES_H
#define BOARDCFG_TESTS_SCENARIO_CASES_H

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tests/test_paths.h"

namespace testsupport {

struct ScenarioCase {
  std::string name;
  std::string text;   // the scenario file's text
  std::string names;  // refused: what the message names
};

inline void PrintTo(const ScenarioCase &c, std::ostream *out) {
  *out << c.name;
}

// list: "refused" or "accepted".
inline std::vector<ScenarioCase> ScenarioCases(const std::string &list) {
  const nlohmann::json cases =
      nlohmann::json::parse(std::ifstream(testpaths::kScenarioCases));
  std::vector<ScenarioCase> all;
  for (const nlohmann::json &c : cases.at(list)) {
    all.push_back({c.at("name"),
                   c.contains("text") ? c["text"].get<std::string>()
                                      : c.at("scenario").dump(),
                   c.value("names", "")});
  }
  return all;
}

inline std::string ScenarioCaseName(
    const ::testing::TestParamInfo<ScenarioCase> &info) {
  return info.param.name;
}

}  // namespace testsupport

#endif
