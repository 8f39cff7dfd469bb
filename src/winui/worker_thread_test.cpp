#include "winui/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "winui/main_thread_win32.h"
#include "winui/test_support.h"

namespace vx::winui {
namespace {

using namespace std::chrono_literals;

class LoopThread final : public WorkerThread {
 public:
  ~LoopThread() override { Stop(); }
  std::atomic<bool> started{false};
  std::atomic<int> loops{0};

 protected:
  void Execute() override {
    started = true;
    while (!Terminated()) {
      ++loops;
      SwitchToThread();
    }
  }
};

TEST(WorkerThread, SuspendedThenResumedThenTerminatedOnRequest) {
  LoopThread thread;
  // Created suspended: its suspend count is 1 before Resume.
  EXPECT_EQ(SuspendThread(thread.Handle()), 1u);
  EXPECT_EQ(ResumeThread(thread.Handle()), 2u);
  EXPECT_FALSE(thread.started);

  EXPECT_TRUE(thread.SetPriority(WorkerThread::Priority::Lower));
  EXPECT_EQ(thread.GetPriority(), WorkerThread::Priority::Lower);
  ASSERT_TRUE(thread.Resume());
  ASSERT_TRUE(testing::WaitUntil([&] { return thread.started && thread.loops > 0; }));
  EXPECT_FALSE(thread.WaitFor(0ms));
  EXPECT_FALSE(thread.Finished());

  thread.Terminate();
  ASSERT_TRUE(thread.WaitFor(5000ms));
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.Failure(), std::nullopt);
}

TEST(WorkerThread, StoppedBeforeItRanNeverExecutes) {
  LoopThread thread;
  thread.Stop();
  EXPECT_TRUE(thread.Finished());
  EXPECT_FALSE(thread.started);
  EXPECT_EQ(WaitForSingleObject(thread.Handle(), 0), WAIT_OBJECT_0);
}

class FailingThread final : public WorkerThread {
 public:
  ~FailingThread() override { Stop(); }

 protected:
  void Execute() override { throw std::runtime_error("scan failed"); }
};

TEST(WorkerThread, ExceptionEndsTheThreadAndIsKept) {
  FailingThread thread;
  EXPECT_EQ(thread.Failure(), std::nullopt);
  thread.Resume();
  ASSERT_TRUE(thread.WaitFor(5000ms));
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.Failure(), std::optional<std::string>("scan failed"));
}

// The close sequence's pattern: the main thread waits for a worker while it
// pumps messages, and the worker hands work to it before it ends.
class HandOverThread final : public WorkerThread {
 public:
  explicit HandOverThread(MainThread& main) : main_(main) {}
  ~HandOverThread() override { Stop(); }
  DWORD ran_on = 0;

 protected:
  void Execute() override {
    main_.RunSync([this] { ran_on = GetCurrentThreadId(); });
  }

 private:
  MainThread& main_;
};

TEST(WorkerThread, MainThreadWaitingWithPumpingServesTheHandOver) {
  Win32MainThread main;
  HandOverThread thread(main);
  thread.Resume();
  ASSERT_TRUE(WaitPumping(thread.Handle(), 5000ms));
  EXPECT_EQ(thread.ran_on, GetCurrentThreadId());
  EXPECT_TRUE(thread.Finished());
}

}  // namespace
}  // namespace vx::winui
