// boardlay's side of QEMU's gdbstub, against a stub that plays QEMU: the
// packets it sends to watch the status register and let the guest run, and
// the stops it reports.
#include "tools/boardlay/status_watch.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/boardlay/board_files.h"

namespace {

using Stop = boardlay::StatusWatch::Stop;

// Plays QEMU: answers each expected packet, or sends a stop after one.
class StubGdbServer {
 public:
  struct Exchange {
    std::string expected;  // the packet's payload
    std::string reply;     // a whole packet, checksum and all; empty: none
  };

  StubGdbServer(const std::string &path, std::vector<Exchange> script)
      : script_(std::move(script)) {
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::strncpy(where.sun_path, path.c_str(), sizeof where.sun_path - 1);
    EXPECT_EQ(
        bind(listener_, reinterpret_cast<sockaddr *>(&where), sizeof where), 0);
    EXPECT_EQ(listen(listener_, 1), 0);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StubGdbServer() {
    thread_.join();
    close(listener_);
  }

 private:
  void Serve() {
    const int fd = accept(listener_, nullptr, nullptr);
    std::string input;
    for (const Exchange &step : script_) {
      size_t hash;
      while ((hash = input.find('#', input.find('$'))) == std::string::npos ||
             input.size() < hash + 3) {
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
          close(fd);
          return;
        }
        input.append(buffer, static_cast<size_t>(n));
      }
      const size_t start = input.find('$');
      EXPECT_EQ(input.substr(start + 1, hash - start - 1), step.expected);
      input.erase(0, hash + 3);
      const std::string reply = "+" + step.reply;
      if (!step.reply.empty()) {
        EXPECT_EQ(write(fd, reply.data(), reply.size()),
                  static_cast<ssize_t>(reply.size()));
      }
    }
    close(fd);  // QEMU exited
  }

  std::vector<Exchange> script_;
  int listener_;
  std::thread thread_;
};

Stop NextStop(boardlay::StatusWatch &watch) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(5);
  Stop stop = Stop::None;
  while (stop == Stop::None && std::chrono::steady_clock::now() < deadline) {
    stop = watch.NextStop();
  }
  return stop;
}

TEST(StatusWatch, WatchesStoresAlwaysAndReadsOnDemand) {
  boardlaytest::ScratchDirectory directory;
  const std::string path = directory / "gdb";
  boardlay::StatusWatch watch(path, 0xE00F90D8, 2);
  EXPECT_FALSE(watch.TryAttach());  // no QEMU yet
  {
    StubGdbServer qemu(path, {{"?", "$S05#b8"},
                              {"Z2,e00f90d8,2", "$OK#9a"},
                              {"c", "$T05thread:p01.01;watch:e00f90d8;#c2"},
                              {"Z3,e00f90d8,2", "$OK#9a"},
                              {"c", "$T05thread:p01.01;rwatch:e00f90d8;#34"},
                              {"c", "$T05thread:p01.01;rwatch:e00f90d8;#34"},
                              {"z3,e00f90d8,2", "$OK#9a"},
                              {"c", ""}});
    ASSERT_TRUE(watch.TryAttach());
    EXPECT_EQ(NextStop(watch), Stop::Written);
    watch.WatchReads(true);
    watch.Resume();
    EXPECT_EQ(NextStop(watch), Stop::Read);
    watch.WatchReads(true);  // already on: nothing sent
    watch.Resume();
    EXPECT_EQ(NextStop(watch), Stop::Read);
    watch.WatchReads(false);
    watch.Resume();
    EXPECT_EQ(NextStop(watch), Stop::Gone);
  }
  watch.Resume();  // QEMU gone: nothing sent, no signal
  EXPECT_EQ(watch.NextStop(), Stop::Gone);
}

}  // namespace
