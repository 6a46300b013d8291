#include "tools/boardlay/supervised_command.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace boardlay {

namespace {

constexpr int kCannotRun = 127;

volatile sig_atomic_t child = -1;
// A signal that came before the child was there to take it.
volatile sig_atomic_t pendingSignal = 0;

void Forward(int signal) {
  if (child > 0) {
    kill(child, signal);
  } else {
    pendingSignal = signal;
  }
}

[[noreturn]] void BecomeCommand(std::vector<std::string> &command,
                                pid_t parent) {
  // The command does not outlive the process that serves it.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) {
    _exit(kCannotRun);
  }
  std::vector<char *> argv;
  for (std::string &word : command) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  std::fprintf(stderr, "boardlay: cannot run %s: %s\n", argv[0],
               std::strerror(errno));
  _exit(kCannotRun);
}

std::runtime_error SystemError(const char *call) {
  return std::runtime_error(std::string(call) + ": " + std::strerror(errno));
}

}  // namespace

int RunSupervised(std::vector<std::string> command,
                  std::chrono::nanoseconds interval,
                  const std::function<void()> &poll) {
  if (command.empty()) {
    throw std::runtime_error("no command to run");
  }
  struct sigaction action = {};
  action.sa_handler = Forward;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
  const pid_t parent = getpid();
  const pid_t started = fork();
  if (started < 0) {
    throw SystemError("fork");
  }
  if (started == 0) {
    BecomeCommand(command, parent);
  }
  child = started;
  if (pendingSignal != 0) {
    kill(started, pendingSignal);
  }

  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(interval);
  const timespec pause = {static_cast<time_t>(seconds.count()),
                          static_cast<long>((interval - seconds).count())};
  int status = 0;
  while (true) {
    const pid_t done = waitpid(started, &status, WNOHANG);
    poll();
    if (done == started) {
      break;
    }
    if (done < 0 && errno != EINTR) {
      throw SystemError("waitpid");
    }
    nanosleep(&pause, nullptr);
  }
  child = -1;
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace boardlay
