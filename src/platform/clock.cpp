#include "platform/clock.h"

#include <ctime>
#include <thread>

#include "platform/local_time.h"

namespace vx {
namespace {

class RealClock final : public Clock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  LocalTime LocalNow() const override {
    const std::tm tm = ToLocalTime(std::time(nullptr));
    return LocalTime{static_cast<uint32_t>(tm.tm_year + 1900), static_cast<uint32_t>(tm.tm_mon + 1),
                     static_cast<uint32_t>(tm.tm_mday),        static_cast<uint32_t>(tm.tm_hour),
                     static_cast<uint32_t>(tm.tm_min),         static_cast<uint32_t>(tm.tm_sec)};
  }
  int64_t WallSeconds() const override {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
  void SleepFor(Duration d) override { std::this_thread::sleep_for(d); }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

}  // namespace vx
