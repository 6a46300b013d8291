// The fuzz inputs kept in the tree, each with the mode it is played in:
// fuzz/corpus/<mode>/ holds the seeds of a mode, and a reproducer's name
// starts with its mode.
#ifndef BOARDCFG_TESTS_FUZZ_INPUT_FILES_H
#define BOARDCFG_TESTS_FUZZ_INPUT_FILES_H

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/input_decoder.h"
#include "tests/test_paths.h"

struct FuzzInputFile {
  std::string path;
  fuzz::InputMode mode;
};

inline std::vector<uint8_t> ReadInputFile(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

inline std::vector<FuzzInputFile> CheckedInFuzzInputs() {
  const std::filesystem::path fuzz = testpaths::kFuzzDir;
  std::vector<FuzzInputFile> inputs;
  auto add = [&inputs](const std::filesystem::path &folder, auto modeOf) {
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
      inputs.push_back({entry.path().string(), modeOf(entry.path())});
    }
  };
  add(fuzz / "corpus" / "board",
      [](const std::filesystem::path &) { return fuzz::InputMode::Board; });
  add(fuzz / "corpus" / "hostile",
      [](const std::filesystem::path &) { return fuzz::InputMode::Hostile; });
  add(fuzz / "reproducers", [](const std::filesystem::path &path) {
    return path.filename().string().starts_with("hostile-")
               ? fuzz::InputMode::Hostile
               : fuzz::InputMode::Board;
  });
  return inputs;
}

#endif
