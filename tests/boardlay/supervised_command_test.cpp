// The command boardlay serves: woken by what the command does, never by a
// clock, until the command exits.
#include "tools/boardlay/supervised_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

using std::chrono::milliseconds;

TEST(RunSupervised, ServesWhatComesAndWaitsQuietlyUntilTheCommandExits) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const std::string write = std::to_string(pipeEnds[1]);
  int readyCalls = 0;
  int quietCalls = 0;
  bool drained = false;
  // The command writes once, then stays quiet for six quiet periods.
  const auto started = std::chrono::steady_clock::now();
  const int status = boardlay::RunSupervised(
      {"sh", "-c", "echo stop >&" + write + "; sleep 0.3; exit 5"},
      milliseconds(50), [&] { return drained ? -1 : pipeEnds[0]; },
      [&](bool ready) {
        if (!ready) {
          ++quietCalls;
          return;
        }
        ++readyCalls;
        char buffer[16];
        drained = read(pipeEnds[0], buffer, sizeof buffer) > 0;
      });
  const auto periods =
      (std::chrono::steady_clock::now() - started) / milliseconds(50);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  EXPECT_EQ(status, 5);
  EXPECT_EQ(readyCalls, 1);
  // One a quiet period at most; a wait that did not block would call on and
  // on.
  EXPECT_GE(quietCalls, 2);
  EXPECT_LE(quietCalls, periods + 1);
}

}  // namespace
