// A tool run as a user runs it, through the shell: its exit status and what
// it printed on each stream.
#ifndef BOARDCFG_TESTS_PROGRAM_RUN_H
#define BOARDCFG_TESTS_PROGRAM_RUN_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

struct ProgramRun {
  int status = -1;  // -1 when it did not exit by itself
  std::string out;
  std::string err;
};

// A file of this process alone under the test directory: test processes of
// this and of other build trees run side by side and share it.
inline std::string ScratchPath(const std::string &name) {
  return ::testing::TempDir() + "boardcfg-" + std::to_string(getpid()) + "-" +
         name;
}

inline std::string Slurp(const std::string &path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// commandLine is shell text; its standard error goes to a file of this
// process alone, as test processes of several build trees run side by side.
inline ProgramRun RunProgram(const std::string &commandLine) {
  const std::string errPath = ScratchPath("program-stderr");
  const std::string command = commandLine + " 2>" + errPath;
  ProgramRun run;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    run.out.append(buffer, got);
  }
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = Slurp(errPath);
  std::remove(errPath.c_str());
  return run;
}

}  // namespace testsupport

#endif
