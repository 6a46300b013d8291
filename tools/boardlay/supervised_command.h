// A command run as a child that does not outlive this process, served
// whenever something it does needs an answer, until it exits.
#ifndef BOARDCFG_TOOLS_BOARDLAY_SUPERVISED_COMMAND_H
#define BOARDCFG_TOOLS_BOARDLAY_SUPERVISED_COMMAND_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace boardlay {

// Runs the command (searched in PATH), forwarding SIGTERM, SIGINT and SIGHUP
// to it. While it runs, waits for the descriptor `wanted` names (none when
// negative; asked again before each wait) to become readable and then calls
// `serve(true)`, or calls `serve(false)` when nothing came for `quiet`.
// Returns its exit status, 128 + the signal that ended it, or 127 when it
// could not be started; throws std::runtime_error when no child can be made
// or waited for, and whatever `serve` throws.
int RunSupervised(std::vector<std::string> command,
                  std::chrono::milliseconds quiet,
                  const std::function<int()> &wanted,
                  const std::function<void(bool ready)> &serve);

}  // namespace boardlay

#endif
