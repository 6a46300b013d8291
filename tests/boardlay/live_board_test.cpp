// The board kept live while a guest runs: the test stores into the window
// files as the guest would and lets the board take one look after each.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/facts/gpio_layout.h"
#include "sim/hex_text.h"
#include "tests/boardlay/board_files.h"

namespace {

using boardlaytest::GuestWindow;
using boardlaytest::LaidBoard;
using boardlaytest::StartMessage;
using nlohmann::json;
using sim::Hex;

constexpr uint16_t kOpcodeInStatus = facts::kSidebandGpioLockOpcode << 8;

void UnlockGppB0Tx(LaidBoard &board) {
  StartMessage(board.pciGuest, kGppB0Port,
               static_cast<uint16_t>(kGppB0LockTx.address), 0);
}

// As the driver's second wait: reads the status until busy clears, each
// read told to the board while it watches them, as boardlay's watchpoint
// does. The reads made, the last one included.
uint64_t WaitWhileBusy(LaidBoard &board, boardlay::LiveBoard &live,
                       uint64_t limit = 1000) {
  for (uint64_t reads = 1; reads <= limit; ++reads) {
    const bool watched = live.WantsStatusReads();
    const uint16_t status = board.pciGuest.Load<uint16_t>(facts::kP2sbStatus);
    if (watched) {
      live.StatusRead();
    }
    if ((status & facts::kP2sbBusy) == 0) {
      return reads;
    }
  }
  return limit;
}

struct GuestStore {
  const char *name;
  uint64_t address;
  // The value the guest stores, from the value laid there.
  uint32_t (*stored)(uint32_t laid);
  bool kept;  // the model keeps what was stored
  size_t notes;
  void (*board)(sim::BoardSetup &) = nullptr;  // the board, if not the default
};
// Named in test listings by its case name, not its bytes.
void PrintTo(const GuestStore &c, std::ostream *out) { *out << c.name; }

void GppK1OwnedByAnotherAgent(sim::BoardSetup &setup) {
  setup.strapOwners[1] = 1;
}
void GppB0AndB1ConfigLocked(sim::BoardSetup &setup) {
  const facts::RegisterBits lock = facts::PadLock(kH, facts::kGppB0);
  setup.registers[lock.address] = lock.mask | facts::PadLock(kH, kGppB1).mask;
}

class LiveBoardStore : public ::testing::TestWithParam<GuestStore> {};

TEST_P(LiveBoardStore, MemoryHoldsWhatTheModelKeeps) {
  const GuestStore &c = GetParam();
  sim::BoardSetup setup;  // GPP_B0's TX state locked
  if (c.board != nullptr) {
    c.board(setup);
  }
  LaidBoard board(setup);
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  const uint32_t laid = board.privateGuest.Load<uint32_t>(c.address);
  const uint32_t stored = c.stored(laid);
  ASSERT_NE(stored, laid);

  board.privateGuest.Store<uint32_t>(c.address, stored);
  live.Step();

  const uint32_t kept = c.kept ? stored : laid;
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(c.address), kept);
  EXPECT_EQ(board.chipset.Peek(c.address), kept);
  const json account = live.Account();
  const json changed = c.kept ? json::array()
                              : json::array({{{"address", Hex(c.address)},
                                              {"stored", Hex(stored)},
                                              {"kept", Hex(kept)}}});
  EXPECT_EQ(account["stores_changed"], changed);
  EXPECT_EQ(account["notes"].size(), c.notes) << account["notes"];

  // Memory and model agree again: a second look finds nothing to follow.
  live.Step();
  EXPECT_EQ(live.Account(), account);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LiveBoardStore,
    ::testing::Values(
        GuestStore{"TxStateUnderLock", kGppB0Dw0,
                   [](uint32_t laid) { return laid ^ facts::kDw0TxState; },
                   false, 0},
        GuestStore{"TxStateOfAnUnlockedPad", facts::PadDw0(kH, kGppB1),
                   [](uint32_t laid) { return laid ^ facts::kDw0TxState; },
                   true, 0},
        GuestStore{"RxStateFollowsTheInput", facts::PadDw0(kH, facts::kGppK[1]),
                   [](uint32_t laid) { return laid ^ facts::kDw0RxState; },
                   false, 0},
        GuestStore{"LockTxTakesNoPlainStore", kGppB0LockTx.address,
                   [](uint32_t laid) { return laid ^ kGppB0LockTx.mask; },
                   false, 1},
        GuestStore{"OwnershipIsReadOnly",
                   facts::PadOwnership(kH, facts::kGppB0).address,
                   [](uint32_t laid) { return laid ^ 1U; }, false, 1},
        GuestStore{"PadTheHostDoesNotOwn", facts::PadDw0(kH, facts::kGppK[1]),
                   [](uint32_t laid) { return laid ^ 0x100U; }, false, 1,
                   GppK1OwnedByAnotherAgent},
        GuestStore{"Dw0OfAConfigLockedPad", facts::PadDw0(kH, kGppB1),
                   [](uint32_t laid) { return laid ^ 0x100U; }, false, 1,
                   GppB0AndB1ConfigLocked},
        GuestStore{"Dw1OfAConfigLockedPad",
                   facts::PadDw0(kH, facts::kGppB0) + 4,
                   [](uint32_t laid) { return laid ^ 0x1000U; }, false, 1,
                   GppB0AndB1ConfigLocked},
        GuestStore{"TxStateOfAConfigLockedPad", facts::PadDw0(kH, kGppB1),
                   [](uint32_t laid) { return laid ^ facts::kDw0TxState; },
                   true, 0, GppB0AndB1ConfigLocked}),
    [](const auto &info) { return std::string(info.param.name); });

struct MessageCase {
  const char *name;
  sim::P2sbBehaviour p2sb;
  uint8_t completion;  // of P2sbBehaviour::Error
  uint16_t offset;     // in GPP_B0's port
  uint16_t statusAfter;
  uint32_t lockTxAfter;
  size_t notes;
};
// Named in test listings by its case name, not its bytes.
void PrintTo(const MessageCase &c, std::ostream *out) { *out << c.name; }

class LiveBoardMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(LiveBoardMessage, BusyStartsItAndTheAnswerIsWrittenBack) {
  const MessageCase &c = GetParam();
  sim::BoardSetup setup;
  setup.p2sb = c.p2sb;
  setup.p2sbCompletion = c.completion;
  LaidBoard board(setup);
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  const uint32_t lockTxBefore =
      board.privateGuest.Load<uint32_t>(kGppB0LockTx.address);

  StartMessage(board.pciGuest, kGppB0Port, c.offset, 0);
  live.Step();
  live.Step();  // busy stays as answered: not a second message
  EXPECT_EQ(WaitWhileBusy(board, live), sim::P2sb::kDefaultBusyReads + 1U);

  EXPECT_EQ(board.pciGuest.Load<uint16_t>(facts::kP2sbStatus), c.statusAfter);
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(kGppB0LockTx.address),
            c.lockTxAfter);
  const json account = live.Account();
  ASSERT_EQ(account["messages"].size(), 1U) << account;
  const json &message = account["messages"][0];
  EXPECT_EQ(message["port"], Hex(kGppB0Port, 2));
  EXPECT_EQ(message["offset"], Hex(c.offset, 3));
  const bool applied = c.lockTxAfter != lockTxBefore;
  EXPECT_EQ(message["applied"], applied);
  EXPECT_EQ(message["status_reads"], sim::P2sb::kDefaultBusyReads + 1U);
  if (applied) {
    EXPECT_EQ(message["lock_register"], Hex(kGppB0LockTx.address));
    EXPECT_EQ(message["lock_before"], Hex(lockTxBefore));
    EXPECT_EQ(message["lock_after"], Hex(c.lockTxAfter));
  } else {
    EXPECT_FALSE(message.contains("lock_register")) << message;
  }
  EXPECT_EQ(account["notes"].size(), c.notes) << account["notes"];
  EXPECT_EQ(account["stores_changed"], json::array());
}

INSTANTIATE_TEST_SUITE_P(
    P2sb, LiveBoardMessage,
    ::testing::Values(
        MessageCase{"LockTxUpdate", sim::P2sbBehaviour::Ok, 1,
                    static_cast<uint16_t>(kGppB0LockTx.address),
                    kOpcodeInStatus, 0, 0},
        MessageCase{"NoLockRegisterThere", sim::P2sbBehaviour::Ok, 1,
                    static_cast<uint16_t>(kGppB0Dw0), kOpcodeInStatus | 1 << 1,
                    kGppB0LockTx.mask, 1},
        MessageCase{"CompletesWithError", sim::P2sbBehaviour::Error, 2,
                    static_cast<uint16_t>(kGppB0LockTx.address),
                    kOpcodeInStatus | 2 << 1, kGppB0LockTx.mask, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// A P2SB busy from the start never sees busy set, until the guest clears it
// itself: its next busy store is a message the P2SB never completes.
TEST(LiveBoard, StuckP2sbTakesAMessageOnlyAfterBusyWasCleared) {
  sim::BoardSetup setup;
  setup.p2sb = sim::P2sbBehaviour::Stuck;
  LaidBoard board(setup);
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  UnlockGppB0Tx(board);
  live.Step();
  EXPECT_EQ(live.Account()["messages"], json::array());

  board.pciGuest.Store<uint16_t>(facts::kP2sbStatus, 0);
  live.Step();
  UnlockGppB0Tx(board);
  live.Step();
  const json messages = live.Account()["messages"];
  ASSERT_EQ(messages.size(), 1U) << messages;
  EXPECT_TRUE(messages[0]["completion"].is_null()) << messages;
  EXPECT_NE(
      board.pciGuest.Load<uint16_t>(facts::kP2sbStatus) & facts::kP2sbBusy, 0);
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(kGppB0LockTx.address),
            kGppB0LockTx.mask);
}

// The guest's status reads while a message is busy are the P2SB's count:
// memory shows busy for exactly that many, the completion to the next, and
// the board stops watching once it is complete.
TEST(LiveBoard, MessageCompletesOnTheReadAfterTheBusyOnes) {
  for (uint32_t busyReads : {0U, 1U, 7U}) {
    sim::BoardSetup setup;
    setup.p2sbBusyReads = busyReads;
    LaidBoard board(setup);
    boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
    UnlockGppB0Tx(board);
    live.Step();
    EXPECT_EQ(live.WantsStatusReads(), busyReads != 0) << busyReads;
    EXPECT_EQ(WaitWhileBusy(board, live), busyReads + 1U) << busyReads;
    EXPECT_FALSE(live.WantsStatusReads()) << busyReads;
    EXPECT_EQ(board.pciGuest.Load<uint16_t>(facts::kP2sbStatus),
              kOpcodeInStatus);
    const json messages = live.Account()["messages"];
    ASSERT_EQ(messages.size(), 1U) << messages;
    EXPECT_EQ(messages[0]["status_reads"], busyReads + 1U) << messages;
    EXPECT_EQ(messages[0]["completion"], 0) << messages;
    EXPECT_EQ(messages[0]["lock_after"], Hex(0)) << messages;
    EXPECT_EQ(board.privateGuest.Load<uint32_t>(kGppB0LockTx.address), 0U);
  }
}

// Until the reads come, the message is under way: busy in memory and the
// lock register as it was.
TEST(LiveBoard, MessageStaysBusyWithoutStatusReads) {
  LaidBoard board(sim::BoardSetup{});
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  UnlockGppB0Tx(board);
  for (int look = 0; look < 5; ++look) {
    live.Step();
  }
  EXPECT_NE(
      board.pciGuest.Load<uint16_t>(facts::kP2sbStatus) & facts::kP2sbBusy, 0);
  EXPECT_EQ(board.privateGuest.Load<uint32_t>(kGppB0LockTx.address),
            kGppB0LockTx.mask);
  const json messages = live.Account()["messages"];
  ASSERT_EQ(messages.size(), 1U) << messages;
  EXPECT_TRUE(messages[0]["completion"].is_null()) << messages;
  EXPECT_EQ(messages[0]["status_reads"], 0) << messages;
}

TEST(LiveBoard, EachBusyStoreIsAMessageOfItsOwn) {
  LaidBoard board(sim::BoardSetup{});
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  UnlockGppB0Tx(board);
  live.Step();
  WaitWhileBusy(board, live);
  StartMessage(board.pciGuest, kGppB0Port,
               static_cast<uint16_t>(kGppB0LockTx.address), kGppB0LockTx.mask);
  live.Step();
  live.Step();
  WaitWhileBusy(board, live);

  const json account = live.Account();
  ASSERT_EQ(account["messages"].size(), 2U) << account;
  EXPECT_EQ(account["messages"][0]["lock_after"], Hex(0));
  EXPECT_EQ(account["messages"][1]["lock_before"], Hex(0));
  EXPECT_EQ(account["messages"][1]["lock_after"], Hex(kGppB0LockTx.mask));
  // The lock register the board rewrote is no store of the guest's.
  EXPECT_EQ(account["stores_changed"], json::array());
  EXPECT_EQ(account["notes"], json::array());
}

TEST(LiveBoard, AccountHoldsGppB0AsMemoryHoldsIt) {
  LaidBoard board(sim::BoardSetup{});
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  UnlockGppB0Tx(board);
  live.Step();
  WaitWhileBusy(board, live);
  board.privateGuest.Store<uint32_t>(kGppB0Dw0, 0x44000200);
  live.Step();

  EXPECT_EQ(live.Account()["gpp_b0"],
            (json{{"dw0_address", Hex(kGppB0Dw0)},
                  {"dw0", "0x44000200"},
                  {"lock_tx_address", Hex(kGppB0LockTx.address)},
                  {"lock_tx", "0x00000000"}}));
}

struct RangesBoard {
  const char *name;
  void (*board)(sim::BoardSetup &);
};
// Named in test listings by its case name, not its bytes.
void PrintTo(const RangesBoard &c, std::ostream *out) { *out << c.name; }

void LpSeries(sim::BoardSetup &setup) { setup.pchDeviceId = 0x9D84; }
void RegisterLoadedFarAway(sim::BoardSetup &setup) {
  setup.registers[facts::PrivateRegister(0x10, 0x0FF0)] = 0x12345678;
}

class LiveBoardStoreRanges : public ::testing::TestWithParam<RangesBoard> {};

// Every private register meets its store rules only if a store to it stops
// the guest; QEMU walks the watchpoints at every TLB fill, so they stay few.
TEST_P(LiveBoardStoreRanges, CoverTheStatusAndEveryPrivateRegister) {
  sim::BoardSetup setup;
  GetParam().board(setup);
  LaidBoard board(setup);
  boardlay::LiveBoard live(board.chipset, board.pci, board.privateRegisters);
  const std::vector<boardlay::AddressRange> ranges = live.StoreRanges();
  ASSERT_FALSE(ranges.empty());
  EXPECT_EQ(ranges[0], (boardlay::AddressRange{facts::kP2sbStatus, 2}));
  EXPECT_LE(ranges.size(), 8U);
  size_t uncovered = 0;
  board.chipset.ForEachRegister([&](uint64_t address, uint8_t width, uint32_t) {
    if (width != 32 || !facts::InPrivateWindow(address)) {
      return;
    }
    const size_t covering =
        std::count_if(ranges.begin() + 1, ranges.end(), [&](const auto &range) {
          return address >= range.address &&
                 address + 4 <= range.address + range.size;
        });
    uncovered += covering == 1 ? 0 : 1;
  });
  EXPECT_EQ(uncovered, 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, LiveBoardStoreRanges,
    ::testing::Values(RangesBoard{"HSeries", [](sim::BoardSetup &) {}},
                      RangesBoard{"LpSeries", LpSeries},
                      RangesBoard{"RegisterLoadedFarAway",
                                  RegisterLoadedFarAway}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
