#include "tools/boardlay/status_watch.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace boardlay {

namespace {

std::string Framed(const std::string &payload) {
  unsigned sum = 0;
  for (char c : payload) {
    sum += static_cast<unsigned char>(c);
  }
  char tail[4];
  std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
  return "$" + payload + tail;
}

}  // namespace

StatusWatch::StatusWatch(std::string socketPath, uint64_t address,
                         unsigned size)
    : socketPath_(std::move(socketPath)), address_(address), size_(size) {}

StatusWatch::~StatusWatch() {
  if (fd_ >= 0) {
    close(fd_);
  }
}

bool StatusWatch::TryAttach() {
  if (fd_ >= 0) {
    return true;
  }
  sockaddr_un where{};
  where.sun_family = AF_UNIX;
  if (socketPath_.size() >= sizeof where.sun_path) {
    throw std::runtime_error("gdb socket path too long: " + socketPath_);
  }
  std::memcpy(where.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    throw std::runtime_error("no socket for the gdb connection");
  }
  if (connect(fd, reinterpret_cast<const sockaddr *>(&where), sizeof where) !=
      0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  Send("?");
  Receive(true);  // the guest is held (-S): any stop reply
  Expect("Z" + Watchpoint('2'), "OK");
  Resume();
  return true;
}

std::string StatusWatch::Watchpoint(char type) const {
  char text[48];
  std::snprintf(text, sizeof text, "%c,%llx,%x", type,
                static_cast<unsigned long long>(address_), size_);
  return text;
}

void StatusWatch::Acknowledge() { Write("+"); }

void StatusWatch::Send(const std::string &payload) { Write(Framed(payload)); }

void StatusWatch::Write(const std::string &packet) {
  size_t sent = 0;
  while (sent < packet.size()) {
    const ssize_t n =
        send(fd_, packet.data() + sent, packet.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      gone_ = true;
      return;
    }
    sent += static_cast<size_t>(n);
  }
}

std::string StatusWatch::Receive(bool wait) {
  for (;;) {
    // QEMU's acknowledgements of our packets carry nothing.
    const size_t start = input_.find('$');
    const size_t hash =
        start == std::string::npos ? start : input_.find('#', start);
    if (hash != std::string::npos && input_.size() >= hash + 3) {
      std::string payload = input_.substr(start + 1, hash - start - 1);
      input_.erase(0, hash + 3);
      Acknowledge();
      return payload;
    }
    if (gone_) {
      return "";
    }
    pollfd ready{fd_, POLLIN, 0};
    const int waited = poll(&ready, 1, wait ? 5000 : 0);
    if (waited == 0) {
      if (wait) {
        throw std::runtime_error("QEMU's gdbstub does not answer");
      }
      return "";
    }
    char buffer[512];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      gone_ = true;
      return "";
    }
    input_.append(buffer, static_cast<size_t>(n));
  }
}

void StatusWatch::Expect(const std::string &command, const std::string &reply) {
  Send(command);
  const std::string answer = Receive(true);
  if (answer != reply && !gone_) {
    throw std::runtime_error("QEMU's gdbstub answered \"" + answer + "\" to " +
                             command);
  }
}

StatusWatch::Stop StatusWatch::NextStop() {
  if (fd_ < 0) {
    return Stop::None;
  }
  const std::string stop = Receive(false);
  if (stop.empty()) {
    return gone_ ? Stop::Gone : Stop::None;
  }
  if (stop[0] == 'W' || stop[0] == 'X') {
    gone_ = true;
    return Stop::Gone;
  }
  if (stop.find("rwatch:") != std::string::npos) {
    return Stop::Read;
  }
  if (stop.find(";watch:") != std::string::npos ||
      stop.find("Twatch:") != std::string::npos) {
    return Stop::Written;
  }
  return Stop::Other;
}

void StatusWatch::WatchReads(bool on) {
  if (on == watchingReads_ || gone_) {
    return;
  }
  Expect(std::string(on ? "Z" : "z") + Watchpoint('3'), "OK");
  watchingReads_ = on;
}

void StatusWatch::Resume() {
  if (!gone_) {
    Send("c");
  }
}

}  // namespace boardlay
