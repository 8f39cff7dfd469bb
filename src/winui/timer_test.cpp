#include "winui/timer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "winui/test_support.h"

namespace vx::winui {
namespace {

using testing::WaitUntil;

TEST(Timer, FiresWhileEnabledOnly) {
  int ticks = 0;
  Timer timer({.handler = [&] { ++ticks; }, .interval_ms = 10});
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));

  // Disabled from its own handler (as a one-shot timer does): a tick that is
  // already queued must not run it again while a second timer keeps going.
  int once = 0, other = 0;
  Timer one_shot({.handler = [&] { ++once; }, .interval_ms = 10, .enabled = true});
  one_shot.SetHandler([&] {
    ++once;
    one_shot.SetEnabled(false);
  });
  Timer reference({.handler = [&] { ++other; }, .interval_ms = 10, .enabled = true});
  ASSERT_TRUE(WaitUntil([&] { return other >= 6; }));
  EXPECT_EQ(once, 1);
}

TEST(Timer, IntervalZeroNeverFiresAndAChangedIntervalApplies) {
  int zero = 0, changed = 0, other = 0;
  Timer silent({.handler = [&] { ++zero; }, .interval_ms = 0, .enabled = true});
  Timer slow({.handler = [&] { ++changed; }, .interval_ms = 60000, .enabled = true});
  slow.SetInterval(10);
  EXPECT_EQ(slow.Interval(), 10u);
  Timer reference({.handler = [&] { ++other; }, .interval_ms = 10, .enabled = true});
  ASSERT_TRUE(WaitUntil([&] { return changed >= 3 && other >= 3; }));
  EXPECT_EQ(zero, 0);
}

TEST(Timer, ExceptionInHandlerIsCaughtAndTheTimerGoesOn) {
  testing::ReportedExceptions reported;
  int ticks = 0;
  Timer timer({.handler =
                   [&] {
                     if (++ticks == 1) throw std::runtime_error("tick failed");
                   },
               .interval_ms = 10,
               .enabled = true});
  ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));
  EXPECT_EQ(reported.messages, std::vector<std::string>{"tick failed"});
}

TEST(Timer, DestroyedTimerStopsFiring) {
  int ticks = 0, other = 0;
  auto timer =
      std::make_unique<Timer>(TimerArgs{.handler = [&] { ++ticks; }, .interval_ms = 10, .enabled = true});
  Timer reference({.handler = [&] { ++other; }, .interval_ms = 10, .enabled = true});
  ASSERT_TRUE(WaitUntil([&] { return ticks >= 1; }));
  timer.reset();
  int at_reset = ticks;
  other = 0;
  ASSERT_TRUE(WaitUntil([&] { return other >= 5; }));
  EXPECT_EQ(ticks, at_reset);
}

}  // namespace
}  // namespace vx::winui
