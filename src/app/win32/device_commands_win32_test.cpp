#include "app/win32/device_commands_win32.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vx::app::win32 {
namespace {

int ticks = 0;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }

// The settle wait keeps the window alive: what arrives during the pause is
// dispatched, and the pause lasts as long as asked.
TEST(SettlePump, PauseDispatchesWhatArrivesAndLastsItsTime) {
  Win32SettlePump pump;
  ticks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
  ASSERT_NE(timer, 0u);
  const auto start = std::chrono::steady_clock::now();
  pump.Wait(std::chrono::milliseconds(200));
  const auto took = std::chrono::steady_clock::now() - start;
  KillTimer(nullptr, timer);
  EXPECT_GE(took, std::chrono::milliseconds(190));
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_GE(ticks, 2) << "timer messages were dispatched during the pause";
}

TEST(SettlePump, ProcessMessagesDispatchesWhatIsWaiting) {
  Win32SettlePump pump;
  ticks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 1, Tick);
  Sleep(30);
  pump.ProcessMessages();
  KillTimer(nullptr, timer);
  EXPECT_GE(ticks, 1);
}

}  // namespace
}  // namespace vx::app::win32
