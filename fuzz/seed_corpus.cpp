// Writes the boot fuzzers' seeds: every scenario file (*.json) of the
// folders named, as an input of each mode, into OUTPUT/board/ and
// OUTPUT/hostile/, each named after its folder and file. A scenario without
// hostile reads is a hostile seed whose reads all answer 0. Names each part
// of a scenario that the input layout cannot carry.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "fuzz/input_encoder.h"
#include "sim/scenario/scenario_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct Mode {
  const char *name;
  fuzz::InputMode mode;
};
constexpr Mode kModes[] = {{"board", fuzz::InputMode::Board},
                           {"hostile", fuzz::InputMode::Hostile}};

std::vector<fs::path> ScenarioFiles(const fs::path &folder) {
  std::vector<fs::path> files;
  for (const fs::directory_entry &entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == ".json") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool WriteSeed(const fs::path &path, const std::vector<uint8_t> &bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char *>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{
      "Writes the boot fuzzers' seed inputs, one per mode for every scenario "
      "file (*.json) of the folders, into OUTPUT/board/ and OUTPUT/hostile/."};
  std::string output;
  std::vector<std::string> folders;
  app.add_option("OUTPUT", output, "folder of the seeds (emptied first)")
      ->required();
  app.add_option("FOLDER", folders, "folders of scenario files")
      ->required()
      ->check(CLI::ExistingDirectory);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &help) {
    return app.exit(help);
  } catch (const CLI::ParseError &error) {
    std::cerr << "fuzz_seed_corpus: " << error.what() << "\n"
              << "usage: fuzz_seed_corpus OUTPUT FOLDER...\n";
    return kUsageError;
  }

  std::error_code error;
  for (const Mode &mode : kModes) {
    fs::remove_all(fs::path(output) / mode.name, error);
    if (!fs::create_directories(fs::path(output) / mode.name, error)) {
      std::cerr << "fuzz_seed_corpus: cannot make " << output << "/"
                << mode.name << ": " << error.message() << '\n';
      return kFailure;
    }
  }
  size_t count = 0;
  for (const std::string &folder : folders) {
    fs::path named = fs::path(folder).lexically_normal();
    if (!named.has_filename()) {
      named = named.parent_path();  // "folder/"
    }
    const std::string prefix = named.filename().string();
    for (const fs::path &file : ScenarioFiles(folder)) {
      sim::BoardSetup setup;
      if (auto refusal = sim::LoadScenario(file.string(), setup)) {
        std::cerr << "fuzz_seed_corpus: " << *refusal << '\n';
        return kUsageError;
      }
      for (const Mode &mode : kModes) {
        const fuzz::EncodedInput input = fuzz::EncodeInput(setup, mode.mode);
        sim::BoardSetup expected = setup;
        expected.hostileReads = input.carried.hostileReads;
        for (const std::string &key :
             fuzz::UncarriedKeys(expected, input.carried)) {
          std::cerr << "fuzz_seed_corpus: " << file.string() << ": the "
                    << mode.name << " input cannot carry its \"" << key
                    << "\"\n";
        }
        const fs::path seed = fs::path(output) / mode.name /
                              (prefix + "-" + file.stem().string());
        if (!WriteSeed(seed, input.bytes)) {
          std::cerr << "fuzz_seed_corpus: cannot write " << seed.string()
                    << '\n';
          return kFailure;
        }
      }
      ++count;
    }
  }
  std::cout << "fuzz seeds: " << count << " scenarios, in " << output
            << "/{board,hostile}\n";
  return 0;
}
