// The worker base: start and end, waiting while serving the main thread, and
// the exception rule (a throwing hand-over, a main thread that is gone, a
// body that throws).
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/testing/queue_main_thread.h"
#include "platform/trace.h"

namespace vx {
namespace {

using namespace std::chrono_literals;
using testing::QueueMainThread;

template <class Pred>
bool WaitUntil(Pred done) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(WorkerThread, RunsUntilTerminatedAndWaitsOnlyForTheBody) {
  QueueMainThread main;
  WorkerThread thread(main, "loop");
  std::atomic<int> turns{0};
  EXPECT_FALSE(thread.Started());
  ASSERT_TRUE(thread.Start([&](Worker& w) {
    while (!w.WaitTerminated(1h)) ++turns;
  }));
  EXPECT_FALSE(thread.Start([](Worker&) {})) << "a thread starts once";
  EXPECT_TRUE(thread.Running());
  EXPECT_FALSE(thread.WaitFor(20ms)) << "still waiting for termination";

  thread.State().Wake();  // one more turn, not an end
  ASSERT_TRUE(WaitUntil([&] { return turns == 1; }));
  EXPECT_TRUE(thread.Running());

  thread.Stop();
  EXPECT_TRUE(thread.Finished());
  EXPECT_FALSE(thread.Running());
  EXPECT_EQ(thread.Failure(), std::nullopt);
}

TEST(WorkerThread, AThrowingHandOverIsTracedOnTheMainThreadAndTheWorkerGoesOn) {
  QueueMainThread main;
  TraceCapture trace;
  WorkerThread thread(main, "TReader");
  std::vector<bool> results;
  std::atomic<bool> second_on_main{false};
  thread.Start([&](Worker& w) {
    results.push_back(w.RunOnMainThread([] { throw std::runtime_error("record 1 broke"); }));
    results.push_back(w.RunOnMainThread([&] { second_on_main = std::this_thread::get_id() == main.id(); }));
    results.push_back(w.RunOnMainThread([] { throw 42; }));
  });
  ASSERT_TRUE(thread.WaitFor(10s));
  EXPECT_EQ(results, (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(second_on_main);
  EXPECT_FALSE(thread.State().Terminated());
  EXPECT_FALSE(thread.State().MainThreadGone());
  EXPECT_EQ(thread.Failure(), std::nullopt);
  EXPECT_TRUE(trace.Contains("TReader : exception in a main-thread step : record 1 broke"));
  EXPECT_TRUE(trace.Contains("TReader : exception in a main-thread step : Unknown exception"));
}

TEST(WorkerThread, AMainThreadThatIsGoneEndsTheWorker) {
  QueueMainThread main;
  TraceCapture trace;
  WorkerThread thread(main, "TReader");
  std::atomic<int> handed{0};
  std::atomic<int> ran{0};
  main.Close();
  thread.Start([&](Worker& w) {
    // A loop that hands over until it is told to stop: the refused
    // hand-over is what stops it.
    while (!w.Terminated()) {
      ++handed;
      w.RunOnMainThread([&] { ++ran; });
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return thread.Finished(); }));
  EXPECT_EQ(handed, 1);
  EXPECT_EQ(ran, 0);
  EXPECT_TRUE(thread.State().MainThreadGone());
  EXPECT_TRUE(thread.State().Terminated());
  EXPECT_EQ(thread.Failure(), std::nullopt) << "a clean end, not a failure";
  EXPECT_TRUE(trace.Contains("TReader : the main thread takes no more work"));
}

TEST(WorkerThread, AnExceptionLeavingTheBodyEndsOnlyThatThread) {
  QueueMainThread main;
  WorkerThread thread(main, "TSaver");
  thread.Start([](Worker&) { throw std::runtime_error("disk gone"); });
  ASSERT_TRUE(thread.WaitFor(10s));
  EXPECT_EQ(thread.Failure(), std::optional<std::string>("disk gone"));
}

TEST(WorkerThread, WaitingOnTheMainThreadServesTheWorkersHandOver) {
  QueueMainThread main;
  WorkerThread thread(main, "listener");
  std::atomic<bool> ran_on_main{false};
  bool waited = false;
  // The main thread is busy waiting for the worker (the close sequence) when
  // the worker hands work to it: the wait must run that work.
  main.RunSync([&] {
    thread.Start([&](Worker& w) {
      w.RunOnMainThread([&] { ran_on_main = std::this_thread::get_id() == main.id(); });
      w.WaitTerminated(1h);
    });
    ASSERT_TRUE(main.WaitForPending());
    thread.Stop();
    waited = true;
  });
  EXPECT_TRUE(waited);
  EXPECT_TRUE(ran_on_main);
}

TEST(WorkerThread, ADetachedWorkerEndsByItselfAfterItsOwnerIsGone) {
  QueueMainThread main;
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  {
    WorkerThread thread(main, "reader");
    thread.Start([release, ended](Worker& w) {
      while (!release->load()) std::this_thread::sleep_for(1ms);  // a read the driver holds
      EXPECT_TRUE(w.Terminated());
      ended->store(true);
    });
    thread.Detach();
    EXPECT_TRUE(thread.WaitFor(0ms) == false || thread.Finished());
  }  // the owner is gone; its thread still runs
  release->store(true);
  ASSERT_TRUE(WaitUntil([&] { return ended->load(); }));
}

TEST(WorkerThread, TheOwnersEndStopsAThreadStillRunning) {
  QueueMainThread main;
  std::atomic<bool> ended{false};
  {
    WorkerThread thread(main, "loop");
    thread.Start([&](Worker& w) {
      w.WaitTerminated(1h);
      ended = true;
    });
  }
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace vx
