// A clock for tests: time moves only when a test (or a sleep) moves it.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/clock.h"

namespace vx::discovery::testing {

class FakeClock final : public Clock {
 public:
  TimePoint Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  LocalTime LocalNow() const override {
    std::lock_guard lock(mutex_);
    return local_;
  }
  int64_t WallSeconds() const override { return 0; }
  void SleepFor(Duration d) override {
    sleeps_++;
    Advance(d);
  }
  void Advance(Duration d) {
    std::lock_guard lock(mutex_);
    now_ += d;
  }
  void SetLocal(LocalTime t) {
    std::lock_guard lock(mutex_);
    local_ = t;
  }
  int Sleeps() const { return sleeps_.load(); }

 private:
  mutable std::mutex mutex_;
  TimePoint now_{};
  LocalTime local_{2024, 5, 17, 13, 45, 30};
  std::atomic<int> sleeps_{0};
};

}  // namespace vx::discovery::testing
