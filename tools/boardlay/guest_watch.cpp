#include "tools/boardlay/guest_watch.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

// A gdb watchpoint packet body: type, address, length.
std::string Watchpoint(char type, const AddressRange &range) {
  char text[64];
  std::snprintf(text, sizeof text, "%c,%llx,%llx", type,
                static_cast<unsigned long long>(range.address),
                static_cast<unsigned long long>(range.size));
  return text;
}

std::runtime_error SocketError(const std::string &what,
                               const std::string &path) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

GuestWatch::GuestWatch(std::string socketPath, std::vector<AddressRange> stores,
                       AddressRange reads)
    : socketPath_(std::move(socketPath)),
      stores_(std::move(stores)),
      reads_(reads) {
  sockaddr_un where{};
  where.sun_family = AF_UNIX;
  if (socketPath_.size() >= sizeof where.sun_path) {
    throw std::runtime_error("gdb socket path too long: " + socketPath_);
  }
  std::memcpy(where.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
  // A socket left by an earlier run; any other file there stays.
  struct stat there {};
  if (lstat(socketPath_.c_str(), &there) == 0 && S_ISSOCK(there.st_mode)) {
    unlink(socketPath_.c_str());
  }
  listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) {
    throw SocketError("no socket for", socketPath_);
  }
  if (bind(listener_, reinterpret_cast<const sockaddr *>(&where),
           sizeof where) != 0 ||
      listen(listener_, 1) != 0) {
    const std::runtime_error error =
        SocketError("cannot listen on the gdb socket", socketPath_);
    close(listener_);
    throw error;
  }
}

GuestWatch::~GuestWatch() {
  if (fd_ >= 0) {
    close(fd_);
  }
  StopListening();
}

void GuestWatch::StopListening() {
  if (listener_ >= 0) {
    close(listener_);
    unlink(socketPath_.c_str());
    listener_ = -1;
  }
}

int GuestWatch::Descriptor() const {
  if (gone_) {
    return -1;
  }
  return fd_ >= 0 ? fd_ : listener_;
}

void GuestWatch::Attach() {
  fd_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd_ < 0) {
    throw SocketError("no connection on the gdb socket", socketPath_);
  }
  StopListening();
  Send("?");
  Receive(true);  // the guest is held (-S): any stop reply
  for (const AddressRange &range : stores_) {
    Expect("Z" + Watchpoint('2', range), "OK");
  }
  Resume();
}

void GuestWatch::Acknowledge() { Write("+"); }

void GuestWatch::Send(const std::string &payload) { Write(Framed(payload)); }

void GuestWatch::Write(const std::string &packet) {
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

std::string GuestWatch::Receive(bool wait) {
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

void GuestWatch::Expect(const std::string &command, const std::string &reply) {
  Send(command);
  const std::string answer = Receive(true);
  if (answer != reply && !gone_) {
    throw std::runtime_error("QEMU's gdbstub answered \"" + answer + "\" to " +
                             command);
  }
}

GuestWatch::Stop GuestWatch::NextStop() {
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

void GuestWatch::WatchReads(bool on) {
  if (on == watchingReads_ || gone_) {
    return;
  }
  Expect(std::string(on ? "Z" : "z") + Watchpoint('3', reads_), "OK");
  watchingReads_ = on;
}

void GuestWatch::Resume() {
  if (!gone_) {
    Send("c");
  }
}

}  // namespace boardlay
