#include "tools/boardlay/supervised_command.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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
                  std::chrono::milliseconds quiet,
                  const std::function<int()> &wanted,
                  const std::function<void(bool ready)> &serve) {
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
  // Readable once the child exited. Debian's glibc declares pidfd_open
  // without C linkage for C++, so the call goes through syscall().
  const int exited = static_cast<int>(syscall(SYS_pidfd_open, started, 0));
  if (exited < 0) {
    throw SystemError("pidfd_open");
  }

  int status = 0;
  for (;;) {
    pollfd ready[2] = {{exited, POLLIN, 0}, {wanted(), POLLIN, 0}};
    const int count =
        poll(ready, ready[1].fd >= 0 ? 2 : 1, static_cast<int>(quiet.count()));
    if (count < 0 && errno != EINTR) {
      close(exited);
      throw SystemError("poll");
    }
    if (count == 0) {
      serve(false);
    } else if (count > 0 && ready[1].revents != 0) {
      serve(true);
    }
    if (count > 0 && ready[0].revents != 0) {
      break;
    }
  }
  close(exited);
  while (waitpid(started, &status, 0) < 0) {
    if (errno != EINTR) {
      throw SystemError("waitpid");
    }
  }
  child = -1;
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace boardlay
