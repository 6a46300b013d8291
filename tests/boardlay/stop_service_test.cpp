// The board served at the guest's stops, with a stub playing QEMU whose
// guest stores and loads through the window files: whatever the guest
// loads after a stop already holds the board's answer to it.
#include "tools/boardlay/stop_service.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/facts/gpio_layout.h"
#include "tests/boardlay/board_files.h"
#include "tests/boardlay/stub_gdb_stub.h"

namespace {

using boardlaytest::LaidBoard;
using boardlaytest::StubGdbStub;
using Exchange = StubGdbStub::Exchange;

constexpr uint64_t kGppB1Dw0 = facts::PadDw0(kH, kGppB1);
constexpr boardlay::AddressRange kStatus = {facts::kP2sbStatus, 2};

std::string WatchpointPacket(char kind, const boardlay::AddressRange &range) {
  char text[64];
  std::snprintf(text, sizeof text, "Z%c,%llx,%llx", kind,
                static_cast<unsigned long long>(range.address),
                static_cast<unsigned long long>(range.size));
  return text;
}

// The stub's greeting and the write watchpoints boardlay sets, then the
// guest's part of the script.
std::vector<Exchange> Script(const boardlay::LiveBoard &live,
                             std::vector<Exchange> guest) {
  std::vector<Exchange> script = {{"?", "$S05#b8"}};
  for (const boardlay::AddressRange &range : live.StoreRanges()) {
    script.push_back({WatchpointPacket('2', range), "$OK#9a"});
  }
  script.insert(script.end(), guest.begin(), guest.end());
  return script;
}

// Serves the guest's stops as boardlay does until the stub is done.
void ServeUntilGone(boardlay::GuestWatch &watch, boardlay::LiveBoard &live) {
  watch.Attach();
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (watch.Descriptor() >= 0 &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd ready{watch.Descriptor(), POLLIN, 0};
    poll(&ready, 1, 100);
    boardlay::ServeStops(watch, live);
  }
  EXPECT_EQ(watch.Descriptor(), -1) << "the stub's script did not end";
}

TEST(StopService, GuestLoadsTheStoreRulesAnswerRightAfterItsStore) {
  LaidBoard board(sim::BoardSetup{});  // GPP_B0's TX state locked
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  boardlay::GuestWatch watch(board.directory / "gdb", live.StoreRanges(),
                             kStatus);
  const uint32_t lockedLaid = board.privateGuest.Load<uint32_t>(kGppB0Dw0);
  const uint32_t unlockedLaid = board.privateGuest.Load<uint32_t>(kGppB1Dw0);
  uint32_t lockedRead = 0;
  uint32_t unlockedRead = 0;
  auto store = [&](uint64_t address, uint32_t value) {
    return [&board, address, value] {
      board.privateGuest.Store<uint32_t>(address, value);
    };
  };
  {
    StubGdbStub qemu(
        board.directory / "gdb",
        Script(live, {{"c", StubGdbStub::StopAt("watch", kGppB0Dw0),
                       store(kGppB0Dw0, lockedLaid ^ facts::kDw0TxState)},
                      {"c", StubGdbStub::StopAt("watch", kGppB1Dw0),
                       [&] {
                         lockedRead =
                             board.privateGuest.Load<uint32_t>(kGppB0Dw0);
                         store(kGppB1Dw0, unlockedLaid ^ facts::kDw0TxState)();
                       }},
                      {"c", "", [&] {
                         unlockedRead =
                             board.privateGuest.Load<uint32_t>(kGppB1Dw0);
                       }}}));
    ServeUntilGone(watch, live);
  }
  EXPECT_EQ(lockedRead, lockedLaid) << "the locked TX state was read as stored";
  EXPECT_EQ(unlockedRead, unlockedLaid ^ facts::kDw0TxState);
  EXPECT_EQ(live.Account()["stores_changed"].size(), 1U);
}

// The busy store stops the guest, the board takes the message and watches
// the status reads; the read after the scenario's busy ones finds the
// completion.
TEST(StopService, MessageCompletesOnTheReadAfterTheBusyOnes) {
  sim::BoardSetup setup;
  setup.p2sbBusyReads = 2;
  LaidBoard board(setup);
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  boardlay::GuestWatch watch(board.directory / "gdb", live.StoreRanges(),
                             kStatus);
  std::vector<uint16_t> statusRead;
  auto readStatus = [&] {
    statusRead.push_back(board.pciGuest.Load<uint16_t>(facts::kP2sbStatus));
  };
  auto startMessage = [&] {
    boardlaytest::StartMessage(board.pciGuest, kGppB0Port,
                               static_cast<uint16_t>(kGppB0LockTx.address), 0);
  };
  const std::string statusStop = StubGdbStub::StopAt("watch", kStatus.address);
  const std::string readStop = StubGdbStub::StopAt("rwatch", kStatus.address);
  {
    StubGdbStub qemu(board.directory / "gdb",
                     Script(live, {{"c", statusStop, startMessage},
                                   {WatchpointPacket('3', kStatus), "$OK#9a"},
                                   {"c", readStop, readStatus},
                                   {"c", readStop, readStatus},
                                   {"z3,e00f90d8,2", "$OK#9a"},
                                   {"c", "", readStatus}}));
    ServeUntilGone(watch, live);
  }
  ASSERT_EQ(statusRead.size(), 3U);
  EXPECT_NE(statusRead[0] & facts::kP2sbBusy, 0);
  EXPECT_NE(statusRead[1] & facts::kP2sbBusy, 0);
  EXPECT_EQ(statusRead[2] & facts::kP2sbBusy, 0);
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(kGppB0LockTx.address), 0U);
  EXPECT_EQ(live.Account()["messages"][0]["status_reads"], 3);
}

}  // namespace
