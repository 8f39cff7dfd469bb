#include "busdriver/call_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace vx::bus {
namespace {

using namespace std::chrono_literals;

TEST(CallGate, CloseDoesNotWaitForACallInFlightAndTheLastCallClosesTheHandle) {
  std::atomic<int> closes{0};
  CallGate gate([&] {
    ++closes;
    return true;
  });
  ASSERT_TRUE(gate.Enter());  // a call held in the driver
  bool interrupted = false;
  auto close = std::async(std::launch::async, [&] { return gate.Close([&] { interrupted = true; }); });
  ASSERT_EQ(close.wait_for(5s), std::future_status::ready) << "Close waited behind the call in flight";
  EXPECT_TRUE(close.get());
  EXPECT_TRUE(interrupted);
  EXPECT_EQ(closes, 0) << "the handle must stay open while a call uses it";
  EXPECT_FALSE(gate.Enter()) << "calls after Close are refused";
  gate.Leave();
  EXPECT_EQ(closes, 1) << "the last call out closes the handle";
  EXPECT_FALSE(gate.Close(nullptr)) << "closed already";
  EXPECT_EQ(closes, 1);
}

TEST(CallGate, CallsRunSideBySideAndAnIdleCloseReportsItsResult) {
  int closes = 0;
  CallGate gate([&] {
    ++closes;
    return false;  // the close failed
  });
  ASSERT_TRUE(gate.Enter());
  ASSERT_TRUE(gate.Enter()) << "a second call does not wait for the first";
  gate.Leave();
  gate.Leave();
  EXPECT_EQ(closes, 0) << "leaving without Close closes nothing";
  EXPECT_FALSE(gate.Close(nullptr)) << "the close's own result when nothing is in flight";
  EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace vx::bus
