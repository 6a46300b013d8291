// boardlay's side of QEMU's gdbstub, against a stub that plays QEMU: the
// packets it sends to watch the registers and let the guest run, and the
// stops it reports.
#include "tools/boardlay/guest_watch.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/boardlay/board_files.h"
#include "tests/boardlay/stub_gdb_stub.h"
#include "tests/program_run.h"

namespace {

using boardlaytest::StubGdbStub;
using Stop = boardlay::GuestWatch::Stop;

Stop NextStop(boardlay::GuestWatch &watch) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(5);
  Stop stop = Stop::None;
  while (stop == Stop::None && std::chrono::steady_clock::now() < deadline) {
    stop = watch.NextStop();
  }
  return stop;
}

TEST(GuestWatch, WatchesStoresAlwaysAndReadsOnDemand) {
  boardlaytest::ScratchDirectory directory;
  const std::string path = directory / "gdb";
  boardlay::GuestWatch watch(path, {{0xE00F90D8, 2}, {0xFD6A0020, 0x7A4}},
                             {0xE00F90D8, 2});
  const int listener = watch.Descriptor();
  EXPECT_GE(listener, 0);
  EXPECT_FALSE(watch.Attached());
  {
    StubGdbStub qemu(path, {{"?", "$S05#b8"},
                            {"Z2,e00f90d8,2", "$OK#9a"},
                            {"Z2,fd6a0020,7a4", "$OK#9a"},
                            {"c", StubGdbStub::StopAt("watch", 0xFD6A0620)},
                            {"c", StubGdbStub::StopAt("watch", 0xE00F90D8)},
                            {"Z3,e00f90d8,2", "$OK#9a"},
                            {"c", StubGdbStub::StopAt("rwatch", 0xE00F90D8)},
                            {"c", StubGdbStub::StopAt("rwatch", 0xE00F90D8)},
                            {"z3,e00f90d8,2", "$OK#9a"},
                            {"c", ""}});
    watch.Attach();
    EXPECT_TRUE(watch.Attached());
    EXPECT_NE(watch.Descriptor(), listener);
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing else connects";
    EXPECT_EQ(NextStop(watch), Stop::Written);
    watch.Resume();
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
  EXPECT_EQ(watch.Descriptor(), -1) << "nothing left to wait on";
}

// A socket an earlier run left behind is replaced; any other file is not.
TEST(GuestWatch, ListensWhereAnEarlierRunLeftItsSocket) {
  boardlaytest::ScratchDirectory directory;
  const std::string path = directory / "gdb";
  { boardlay::GuestWatch earlier(path, {}, {0xE00F90D8, 2}); }
  const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un where{};
  where.sun_family = AF_UNIX;
  std::strncpy(where.sun_path, path.c_str(), sizeof where.sun_path - 1);
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr *>(&where), sizeof where), 0);
  close(stale);
  EXPECT_NO_THROW(boardlay::GuestWatch(path, {}, {0xE00F90D8, 2}));

  const std::string plain = directory / "plain";
  std::ofstream(plain) << "kept";
  try {
    boardlay::GuestWatch refused(plain, {}, {0xE00F90D8, 2});
    FAIL() << "listened on " << plain;
  } catch (const std::runtime_error &error) {
    EXPECT_NE(std::string(error.what()).find(plain), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(testsupport::Slurp(plain), "kept");
}

}  // namespace
