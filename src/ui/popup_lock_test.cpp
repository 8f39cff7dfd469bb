#include "ui/popup_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/testing/fake_clock.h"

namespace vx::ui {
namespace {

using namespace std::chrono_literals;

// Runs `fn` on a thread of its own and returns its result.
template <typename Fn>
auto OnOtherThread(Fn fn) {
  return std::async(std::launch::async, fn).get();
}

class CountingMainThread final : public MainThread {
 public:
  void RunSync(const std::function<void()>& work) override { work(); }
  void ProcessMessages() override { ++pumps; }
  std::atomic<int> pumps{0};
};

TEST(PopupLock, TheHolderTakesItAgainAndOthersWaitUntilItsLastRelease) {
  PopupLock lock;
  ASSERT_TRUE(lock.TryLock());
  ASSERT_TRUE(lock.TryLock());  // the same thread again
  EXPECT_FALSE(OnOtherThread([&] { return lock.TryLock(); }));
  lock.Unlock();
  // Still held once: another thread is refused.
  EXPECT_FALSE(OnOtherThread([&] { return lock.TryLock(); }));
  lock.Unlock();
  EXPECT_TRUE(OnOtherThread([&] {
    const bool got = lock.TryLock();
    if (got) lock.Unlock();
    return got;
  }));
}

TEST(PopupLock, LockPumpingPumpsAndPollsEvery200MsUntilTheOtherThreadLetsGo) {
  PopupLock lock;
  ASSERT_TRUE(lock.TryLock());
  testing::FakeClock clock;
  CountingMainThread main;
  std::promise<void> third_poll, released;
  std::shared_future<void> released_future = released.get_future().share();
  // The waiting thread's third sleep stops until this thread has let go.
  clock.OnNthSleep(3, [&] {
    third_poll.set_value();
    released_future.wait();
  });
  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    lock.LockPumping(main, clock);
    acquired = true;
    lock.Unlock();
  });
  third_poll.get_future().wait();
  EXPECT_FALSE(acquired);
  lock.Unlock();
  released.set_value();
  waiter.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(clock.Sleeps(), 3);
  for (auto d : clock.SleepList()) EXPECT_EQ(d, 200ms);
  EXPECT_EQ(main.pumps, 3);
}

TEST(PopupLock, LockPumpingByTheHolderTakesItAtOnce) {
  PopupLock lock;
  testing::FakeClock clock;
  CountingMainThread main;
  ASSERT_TRUE(lock.TryLock());
  lock.LockPumping(main, clock);
  EXPECT_EQ(clock.Sleeps(), 0);
  lock.Unlock();
  lock.Unlock();
  EXPECT_TRUE(OnOtherThread([&] {
    const bool got = lock.TryLock();
    if (got) lock.Unlock();
    return got;
  }));
}

}  // namespace
}  // namespace vx::ui
