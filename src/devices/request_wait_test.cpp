#include "devices/request_wait.h"

#include <gtest/gtest.h>

#include <deque>

namespace vx::devices {
namespace {

struct Script {
  std::deque<PolledDevice> polls;  // the last one repeats
  int refuse_at_wait = -1;         // the wait (0-based) that sees a refusal
  ConnectResult connect_result = ConnectResult::kConnected;
  int waits = 0, polled = 0, connects = 0, withdrawals = 0;
  std::chrono::milliseconds waited{0};

  RequestWaitPorts Ports() {
    return {[this] {
              ++polled;
              PolledDevice d = polls.front();
              if (polls.size() > 1) polls.pop_front();
              return d;
            },
            [this] {
              ++connects;
              return connect_result;
            },
            [this](std::chrono::milliseconds d) {
              waited += d;
              return waits++ == refuse_at_wait;
            },
            [this] { ++withdrawals; }};
  }
};

TEST(RequestWait, ClaimsOnceTheHolderLetsGo) {
  Script s;
  s.polls = {PolledDevice::kHeldByOther, PolledDevice::kListUnavailable, PolledDevice::kFree};
  EXPECT_EQ(WaitForRequestedDevice(s.Ports()), RequestOutcome::kConnected);
  EXPECT_EQ(s.polled, 3);
  EXPECT_EQ(s.connects, 1);
  EXPECT_EQ(s.waited, std::chrono::milliseconds(6000));  // every 2 s
  EXPECT_EQ(s.withdrawals, 0);
}

TEST(RequestWait, FailedClaimIsToldAsItIs) {
  Script s;
  s.polls = {PolledDevice::kFree};
  s.connect_result = ConnectResult::kLockFailed;
  EXPECT_EQ(WaitForRequestedDevice(s.Ports()), RequestOutcome::kClaimFailed);
  EXPECT_EQ(s.withdrawals, 0);
}

TEST(RequestWait, RefusalEndsTheWaitWithoutClaimOrWithdrawal) {
  Script s;
  s.polls = {PolledDevice::kHeldByOther};
  s.refuse_at_wait = 2;
  EXPECT_EQ(WaitForRequestedDevice(s.Ports()), RequestOutcome::kRefused);
  EXPECT_EQ(s.polled, 2);
  EXPECT_EQ(s.connects, 0);
  EXPECT_EQ(s.withdrawals, 0);
}

TEST(RequestWait, LimitOfPollsThenWithdrawn) {
  Script s;
  s.polls = {PolledDevice::kMissing};
  EXPECT_EQ(WaitForRequestedDevice(s.Ports()), RequestOutcome::kTimeout);
  EXPECT_EQ(s.polled, 50);
  EXPECT_EQ(s.withdrawals, 1);
  Script shorter;
  shorter.polls = {PolledDevice::kHeldByOther};
  EXPECT_EQ(WaitForRequestedDevice(shorter.Ports(), 3), RequestOutcome::kTimeout);
  EXPECT_EQ(shorter.polled, 3);
  EXPECT_EQ(shorter.connects, 0);
}

}  // namespace
}  // namespace vx::devices
