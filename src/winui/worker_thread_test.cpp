// The program's worker base (platform/worker_thread.h) on the Windows main
// thread: priority, waiting while the message loop serves hand-overs, and the
// exception rule with the real hand-over, which rethrows the work's exception
// and refuses work once closed.
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

#include "platform/trace.h"
#include "winui/main_thread_win32.h"
#include "winui/test_support.h"

namespace vx::winui {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

TEST(WorkerThreadOnWindows, RunsAboveNormalPriorityWhenAsked) {
  Win32MainThread main;
  std::atomic<int> priority{-100}, plain{-100};
  WorkerThread raised(main, "reader", WorkerThread::Priority::kAboveNormal);
  WorkerThread normal(main, "saver");
  raised.Start([&](Worker&) { priority = GetThreadPriority(GetCurrentThread()); });
  normal.Start([&](Worker&) { plain = GetThreadPriority(GetCurrentThread()); });
  ASSERT_TRUE(raised.WaitFor(5000ms));
  ASSERT_TRUE(normal.WaitFor(5000ms));
  EXPECT_EQ(priority.load(), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(plain.load(), THREAD_PRIORITY_NORMAL);
}

TEST(WorkerThreadOnWindows, WaitingOnTheMainThreadServesItsHandOvers) {
  Win32MainThread main;
  DWORD ran_on = 0;
  WorkerThread thread(main, "listener");
  thread.Start([&](Worker& w) {
    for (int i = 0; i < 3; ++i) w.RunOnMainThread([&] { ran_on = GetCurrentThreadId(); });
  });
  ASSERT_TRUE(thread.WaitFor(5000ms));
  EXPECT_EQ(ran_on, GetCurrentThreadId());
}

TEST(WorkerThreadOnWindows, AThrowingHandOverNeitherEndsTheProcessNorTheWorker) {
  Win32MainThread main;
  TraceCapture trace;
  std::atomic<int> after{0};
  WorkerThread thread(main, "TReadThread");
  thread.Start([&](Worker& w) {
    for (int i = 0; i < 3; ++i) {
      w.RunOnMainThread([] { throw std::runtime_error("node vanished"); });
      w.RunOnMainThread([&] { ++after; });
    }
  });
  ASSERT_TRUE(thread.WaitFor(5000ms));
  EXPECT_EQ(after.load(), 3);
  EXPECT_EQ(thread.Failure(), std::nullopt);
  EXPECT_TRUE(trace.Contains("TReadThread : exception in a main-thread step : node vanished"));
}

TEST(WorkerThreadOnWindows, AClosedMainThreadEndsTheWorker) {
  Win32MainThread main;
  std::atomic<int> ran{0};
  std::atomic<bool> closed{false};
  WorkerThread thread(main, "TReadThread");
  thread.Start([&](Worker& w) {
    while (!w.Terminated()) {
      w.RunOnMainThread([&] { ++ran; });
      while (ran.load() == 1 && !closed.load()) SwitchToThread();
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return ran.load() == 1; }));
  main.Close();  // the message loop has ended
  closed = true;
  ASSERT_TRUE(thread.WaitFor(5000ms));
  EXPECT_EQ(ran.load(), 1);
  EXPECT_TRUE(thread.State().MainThreadGone());
  EXPECT_EQ(thread.Failure(), std::nullopt);
}

TEST(WorkerThreadOnWindows, AnExceptionLeavingTheBodyIsKept) {
  Win32MainThread main;
  WorkerThread thread(main, "TSaveScanningThread");
  thread.Start([](Worker&) { throw std::runtime_error("scan failed"); });
  ASSERT_TRUE(thread.WaitFor(5000ms));
  EXPECT_EQ(thread.Failure(), std::optional<std::string>("scan failed"));
}

}  // namespace
}  // namespace vx::winui
