// A command run as a child that does not outlive this process, looked at
// every poll interval until it exits.
#ifndef BOARDCFG_TOOLS_BOARDLAY_SUPERVISED_COMMAND_H
#define BOARDCFG_TOOLS_BOARDLAY_SUPERVISED_COMMAND_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace boardlay {

// Runs the command (searched in PATH), forwarding SIGTERM, SIGINT and SIGHUP
// to it, and calls `poll` every interval while it runs and once after it
// exited. Returns its exit status, 128 + the signal that ended it, or 127
// when it could not be started; throws std::runtime_error when no child
// can be made or waited for, and whatever `poll` throws.
int RunSupervised(std::vector<std::string> command,
                  std::chrono::nanoseconds interval,
                  const std::function<void()> &poll);

}  // namespace boardlay

#endif
