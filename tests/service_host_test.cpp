// The service doubles reach the firmware only through these three calls:
// each must leave the same record a boot-services entry does.
#include "sim/firmware/service_host.h"

#include <vector>

#include "tests/model_fixture.h"

namespace {

using ServiceHostTest = ModelTest;

TEST_F(ServiceHostTest, ServedCallTakesTheFaultChosenForItsService) {
  firmware().Calls().FailCall("Double.Work", EFI_OUT_OF_RESOURCES, 1);
  firmware().Calls().FailCall("Double.Work", EFI_WARN_DELETE_FAILURE, 2);
  unsigned worked = 0;
  auto work = [&] {
    ++worked;
    return EFI_NOT_FOUND;
  };
  EXPECT_EQ(sim::ServeRecorded("Double.Work", {1, 2}, work),
            EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(worked, 0U);
  EXPECT_EQ(sim::ServeRecorded("Double.Work", {3}, work),
            EFI_WARN_DELETE_FAILURE);
  EXPECT_EQ(worked, 1U);
  EXPECT_EQ(sim::ServeRecorded("Double.Work", {}, work), EFI_NOT_FOUND);
  EXPECT_EQ(worked, 2U);

  const std::vector<sim::ServiceCall> calls =
      firmware().Calls().To("Double.Work");
  ASSERT_EQ(calls.size(), 3U);
  EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{1, 2}));
  EXPECT_EQ(calls[0].status, EFI_OUT_OF_RESOURCES);
  EXPECT_TRUE(calls[0].injected);
  EXPECT_TRUE(calls[1].injected);
  EXPECT_FALSE(calls[2].injected);
  EXPECT_EQ(calls[2].status, EFI_NOT_FOUND);
  for (const sim::ServiceCall &call : calls) {
    EXPECT_EQ(call.caller, sim::Caller::Driver);
    EXPECT_FALSE(call.guid.has_value());
  }
  EXPECT_LT(calls[0].sequence, calls[1].sequence);
}

TEST_F(ServiceHostTest, AnsweredCallRecordsItsValueAndTakesNoFault) {
  firmware().Calls().FailCall("Double.Lookup", EFI_DEVICE_ERROR);
  EXPECT_EQ(sim::AnswerRecorded("Double.Lookup", {403},
                                [] { return uint64_t{0xE1}; }),
            0xE1U);
  const std::vector<sim::ServiceCall> calls =
      firmware().Calls().To("Double.Lookup");
  ASSERT_EQ(calls.size(), 1U);
  EXPECT_EQ(calls[0].args, std::vector<uint64_t>{403});
  EXPECT_EQ(calls[0].status, 0xE1U);
  EXPECT_FALSE(calls[0].injected);
}

TEST_F(ServiceHostTest, BufferHandedOutBelongsToTheCallBeingServed) {
  VOID *buffer = nullptr;
  sim::ServeRecorded("Double.Read", {}, [&] {
    buffer = sim::HandOutPoolBuffer(8);
    return EFI_SUCCESS;
  });
  ASSERT_NE(buffer, nullptr);
  const auto &handouts = firmware().Memory().PoolHandouts();
  ASSERT_EQ(handouts.size(), 1U);
  EXPECT_EQ(handouts[0].buffer, buffer);
  EXPECT_EQ(firmware().Calls().All().at(handouts[0].call).service,
            "Double.Read");
  EXPECT_EQ(firmware().Memory().OutstandingPoolBuffers(), 1U);
  EXPECT_EQ(boot()->FreePool(buffer), EFI_SUCCESS);
  EXPECT_EQ(firmware().Memory().OutstandingPoolBuffers(), 0U);
}

}  // namespace
