#include "sim/scenario/scenario_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "sim/scenario/scenario_keys.h"

namespace sim {

namespace {

using nlohmann::json;
using scenario::Refusal;

void Apply(const json &file, BoardSetup &setup) {
  if (!file.is_object()) {
    throw Refusal{"the scenario must be a JSON object"};
  }
  const std::vector<scenario::Key> &keys = scenario::Keys();
  std::vector<std::string> names;
  for (const scenario::Key &key : keys) {
    names.push_back(key.name);
  }
  scenario::CheckKeys("", file, names);
  scenario::Reading reading;
  for (const auto &[name, value] : file.items()) {
    const scenario::Key &key =
        keys[std::find(names.begin(), names.end(), name) - names.begin()];
    scenario::Check(name, value, key.form);
    if (key.read) {
      key.read(value, reading);
    }
  }
  scenario::CheckAcrossKeys(file, reading);
  setup = reading.setup;
}

}  // namespace

std::optional<std::string> ParseScenario(const std::string &text,
                                         BoardSetup &setup) {
  // JSON keeps the last of two equal keys; a scenario must say each once.
  std::vector<std::set<std::string>> keysSeen;
  std::optional<std::string> duplicate;
  const json::parser_callback_t noteKeys = [&](int, json::parse_event_t event,
                                               json &parsed) {
    if (event == json::parse_event_t::object_start) {
      keysSeen.emplace_back();
    } else if (event == json::parse_event_t::object_end) {
      keysSeen.pop_back();
    } else if (event == json::parse_event_t::key && !duplicate &&
               !keysSeen.back().insert(parsed.get<std::string>()).second) {
      duplicate = parsed.get<std::string>();
    }
    return true;
  };
  json file;
  try {
    file = json::parse(text, noteKeys, true, /*ignore_comments=*/true);
  } catch (const json::parse_error &error) {
    return std::string("malformed JSON: ") + error.what();
  }
  if (duplicate) {
    return "key \"" + *duplicate +
           "\" is given twice; accepted: each key once in its object";
  }
  BoardSetup parsed;
  try {
    Apply(file, parsed);
  } catch (const Refusal &refusal) {
    return refusal.message;
  }
  setup = parsed;
  return std::nullopt;
}

std::optional<std::string> LoadScenario(const std::string &path,
                                        BoardSetup &setup) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return "cannot read scenario file \"" + path + "\": it is a directory";
  }
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) {
    text << file.rdbuf();
  }
  if (!file || file.bad()) {
    return "cannot read scenario file \"" + path + "\"";
  }
  if (auto refusal = ParseScenario(text.str(), setup)) {
    return path + ": " + *refusal;
  }
  return std::nullopt;
}

}  // namespace sim
