// The one clock for tests. Time moves only when a test moves it, or when code
// under test sleeps (unless the clock is told to stand still). Every sleep is
// recorded, and a test can run a hook on a given sleep (a server answering
// while the code waits). Safe to share between threads.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace vx::testing {

class FakeClock final : public Clock {
 public:
  // What a sleep does to the clock's time.
  enum class OnSleep { kAdvance, kStandStill };

  FakeClock() = default;
  explicit FakeClock(OnSleep mode) : mode_(mode) {}
  explicit FakeClock(LocalTime local) : local_(local) {}

  TimePoint Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  LocalTime LocalNow() const override {
    std::lock_guard lock(mutex_);
    return local_;
  }
  int64_t WallSeconds() const override {
    std::lock_guard lock(mutex_);
    return wall_ + std::chrono::duration_cast<std::chrono::seconds>(now_.time_since_epoch()).count();
  }
  void SleepFor(Duration d) override {
    std::function<void()> hook;
    {
      std::lock_guard lock(mutex_);
      sleeps_.push_back(d);
      if (mode_ == OnSleep::kAdvance) now_ += d;
      if (static_cast<int>(sleeps_.size()) == hook_at_) hook = hook_;
    }
    if (hook) hook();
  }

  // Moves time forward without a sleep.
  void Advance(Duration d) {
    std::lock_guard lock(mutex_);
    now_ += d;
  }
  void SetLocal(LocalTime t) {
    std::lock_guard lock(mutex_);
    local_ = t;
  }
  void SetWallSeconds(int64_t s) {
    std::lock_guard lock(mutex_);
    wall_ = s;
  }
  // Runs `hook` (outside the clock's lock) when the n-th sleep (from 1) starts.
  void OnNthSleep(int n, std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    hook_at_ = n;
    hook_ = std::move(hook);
  }

  int Sleeps() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(sleeps_.size());
  }
  std::vector<Duration> SleepList() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }
  // All time slept so far.
  Duration Slept() const {
    std::lock_guard lock(mutex_);
    Duration total{0};
    for (Duration d : sleeps_) total += d;
    return total;
  }

 private:
  mutable std::mutex mutex_;
  OnSleep mode_ = OnSleep::kAdvance;
  TimePoint now_{};
  LocalTime local_{2024, 5, 17, 13, 45, 30};
  int64_t wall_ = 0;
  std::vector<Duration> sleeps_;
  int hook_at_ = -1;
  std::function<void()> hook_;
};

}  // namespace vx::testing
