// The GPIO register table each series' layout builds once, and a chipset
// moving between layouts on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>

#include "sim/chipset/chipset_model.h"
#include "sim/chipset/gpio_register_table.h"
#include "sim/facts/gpio_layout.h"
#include "tests/gpio/gpio_test_support.h"

namespace {

using sim::GpioRegisterTable;
using sim::GpioRole;

// Every register the layout names, by address, with its role, worked out
// group by group as the layout describes them.
std::map<uint64_t, GpioRole> Expected(const facts::GpioLayout &layout) {
  std::map<uint64_t, GpioRole> expected;
  for (const facts::GpioGroup &group : layout) {
    for (uint16_t pad = 0; pad < group.pads; ++pad) {
      expected[facts::PadOwnership(group, pad).address] = GpioRole::Ownership;
      expected[facts::PadLock(group, pad).address] = GpioRole::Lock;
      expected[facts::PadLockTx(group, pad).address] = GpioRole::LockTx;
      expected[facts::PadDw0(group, pad)] = GpioRole::Dw0;
      expected[facts::PadDw0(group, pad) + 4] = GpioRole::Dw1;
    }
    for (uint16_t field :
         {group.hostSw, group.intSts, group.intEn, group.gpeSts, group.gpeEn,
          group.smiSts, group.smiEn, group.nmiSts, group.nmiEn}) {
      for (uint32_t i = 0;
           field != facts::kNoRegister && i < facts::PadBitRegisterCount(group);
           ++i) {
        expected[facts::GroupRegister(group, field + i * 4)] = GpioRole::Plain;
      }
    }
  }
  return expected;
}

TEST(GpioRegisterTable, FindsEveryRegisterOfTheLayoutAndNothingElse) {
  for (const facts::GpioLayout *layout :
       {&facts::kGpioLayoutH, &facts::kGpioLayoutLp}) {
    const GpioRegisterTable &table = GpioRegisterTable::Of(*layout);
    EXPECT_EQ(&GpioRegisterTable::Of(*layout), &table) << "built once";
    const std::map<uint64_t, GpioRole> expected = Expected(*layout);
    ASSERT_EQ(table.Size(), expected.size());
    for (const auto &[address, role] : expected) {
      const std::optional<size_t> index = table.Find(address);
      ASSERT_TRUE(index.has_value()) << sim::Hex(address);
      EXPECT_EQ(table.Entries()[*index].address, address);
      EXPECT_EQ(table.Entries()[*index].role, role) << sim::Hex(address);
      // Neighbours the layout lacks, misaligned bytes and dwords.
      for (uint64_t near : {address + 1, address + 2, address - 1}) {
        EXPECT_FALSE(table.Find(near).has_value()) << sim::Hex(near);
      }
      if (!expected.count(address + 4)) {
        EXPECT_FALSE(table.Find(address + 4).has_value());
      }
    }
    const uint64_t first = expected.begin()->first;
    const uint64_t last = expected.rbegin()->first;
    for (uint64_t outside : {first - 4, last + 4, uint64_t{0},
                             facts::kPrivateWindowBase, ~uint64_t{3}}) {
      EXPECT_FALSE(table.Find(outside).has_value()) << sim::Hex(outside);
    }
  }
}

// GPP_G0's DW0 on LP: a register only the LP layout has.
constexpr uint64_t kLpOnly = 0xFD6E0930;

TEST_F(GpioTest, LayoutChangesKeepSharedValuesAndLoadedRegistersOnly) {
  Board().SetLpcDeviceId(kHDeviceId);
  constexpr uint64_t kNowhere = 0xFD6E0FF0;  // in neither layout
  Board().OverrideRegister(kHGppBLockTx, 0x5);
  Board().OverrideRegister(kNowhere, 0x1234);
  Board().OverrideRegister(kLpOnly, 0xABCD);  // loaded while H is laid out

  Board().SetLpcDeviceId(kLpDeviceId);
  // Shared by both layouts: kept. Loaded at an LP register: now that
  // register, with the loaded value and the register's protection.
  EXPECT_EQ(Board().Peek(kHGppBLockTx), 0x5u);
  EXPECT_EQ(Board().Peek(kNowhere), 0x1234u);
  EXPECT_EQ(Board().Peek(kLpOnly), 0xABCDu);
  Board().Write(kLpOnly, 32, 0xABCE);
  EXPECT_EQ(Board().Peek(kLpOnly), 0xABCCu) << "a DW0 keeps its RX state";
  EXPECT_TRUE(Board().Notes().empty());

  // Back to H: the LP register goes with its layout, the loaded one stays.
  Board().SetLpcDeviceId(kHDeviceId);
  EXPECT_EQ(Board().Peek(kLpOnly), std::nullopt);
  EXPECT_EQ(Board().Peek(kNowhere), 0x1234u);
  EXPECT_EQ(Board().Peek(kHGppBLockTx), 0x5u);

  std::map<uint64_t, int> visits;
  Board().ForEachRegister([&](uint64_t address, uint8_t width, uint32_t) {
    if (width == 32) {
      ++visits[address];
    }
  });
  EXPECT_EQ(visits.size(),
            GpioRegisterTable::Of(facts::kGpioLayoutH).Size() + 1);
  for (const auto &[address, count] : visits) {
    EXPECT_EQ(count, 1) << sim::Hex(address);
  }
}

}  // namespace
