// Time as the program sees it: a monotonic clock for waits and time-outs, the
// local calendar time for protocol fields, and sleeping. Injected everywhere a
// step waits, so tests run in milliseconds and never sleep for real.
#pragma once

#include <chrono>
#include <cstdint>

namespace vx {

struct LocalTime {
  uint32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  using Duration = std::chrono::milliseconds;
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() const = 0;
  virtual LocalTime LocalNow() const = 0;
  // Seconds since the Unix epoch in local wall-clock terms (for date-time
  // values such as "the last bus-list event").
  virtual int64_t WallSeconds() const = 0;
  virtual void SleepFor(Duration d) = 0;
};

// The real clock of the machine.
Clock& SystemClock();

}  // namespace vx
