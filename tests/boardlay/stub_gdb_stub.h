// A stand-in for QEMU's gdbstub: connects to boardlay's socket as QEMU's
// chardev does and plays a script, one exchange per packet boardlay sends.
#ifndef BOARDCFG_TESTS_BOARDLAY_STUB_GDB_STUB_H
#define BOARDCFG_TESTS_BOARDLAY_STUB_GDB_STUB_H

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace boardlaytest {

class StubGdbStub {
 public:
  struct Exchange {
    std::string expected;  // the packet's payload
    std::string reply;     // a whole packet, checksum and all; empty: none
    // What the guest does before the reply: runs on to a store, say.
    std::function<void()> guest = nullptr;
  };

  StubGdbStub(const std::string &path, std::vector<Exchange> script)
      : script_(std::move(script)) {
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::strncpy(where.sun_path, path.c_str(), sizeof where.sun_path - 1);
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr *>(&where), sizeof where),
              0);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StubGdbStub() { thread_.join(); }
  StubGdbStub(const StubGdbStub &) = delete;
  StubGdbStub &operator=(const StubGdbStub &) = delete;

  // A stop reply packet for a store to, or a read of, the address.
  static std::string StopAt(const char *kind, uint64_t address) {
    char payload[64];
    std::snprintf(payload, sizeof payload, "T05thread:p01.01;%s:%llx;", kind,
                  static_cast<unsigned long long>(address));
    unsigned sum = 0;
    for (const char *c = payload; *c != 0; ++c) {
      sum += static_cast<unsigned char>(*c);
    }
    char packet[80];
    std::snprintf(packet, sizeof packet, "$%s#%02x", payload, sum & 0xFF);
    return packet;
  }

 private:
  void Serve() {
    std::string input;
    for (const Exchange &step : script_) {
      size_t hash;
      while ((hash = input.find('#', input.find('$'))) == std::string::npos ||
             input.size() < hash + 3) {
        char buffer[256];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
          close(fd_);
          return;
        }
        input.append(buffer, static_cast<size_t>(n));
      }
      const size_t start = input.find('$');
      EXPECT_EQ(input.substr(start + 1, hash - start - 1), step.expected);
      input.erase(0, hash + 3);
      if (step.guest) {
        step.guest();
      }
      const std::string reply = "+" + step.reply;
      if (!step.reply.empty()) {
        EXPECT_EQ(write(fd_, reply.data(), reply.size()),
                  static_cast<ssize_t>(reply.size()));
      }
    }
    close(fd_);  // QEMU exited
  }

  std::vector<Exchange> script_;
  int fd_;
  std::thread thread_;
};

}  // namespace boardlaytest

#endif
