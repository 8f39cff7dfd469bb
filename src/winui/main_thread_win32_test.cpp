#include "winui/main_thread_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "winui/dialog.h"
#include "winui/test_support.h"
#include "winui/timer.h"

namespace vx::winui {
namespace {

using testing::WaitUntil;

TEST(Win32MainThread, WorkerHandsOverAndReturnsAfterTheWork) {
  Win32MainThread main;
  DWORD main_id = GetCurrentThreadId();
  DWORD ran_on = 0;
  bool work_done = false;
  bool done_when_returned = false;
  std::atomic<bool> worker_finished{false};

  std::thread worker([&] {
    main.RunSync([&] {
      ran_on = GetCurrentThreadId();
      work_done = true;
    });
    done_when_returned = work_done;
    worker_finished = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return worker_finished.load(); }));
  worker.join();
  EXPECT_EQ(ran_on, main_id);
  EXPECT_TRUE(done_when_returned);
}

TEST(Win32MainThread, OnTheMainThreadItRunsDirectly) {
  Win32MainThread main;
  bool ran = false;
  main.RunSync([&] { ran = true; });  // no message loop needed
  EXPECT_TRUE(ran);
  EXPECT_EQ(main.ThreadId(), GetCurrentThreadId());
}

TEST(Win32MainThread, ExceptionOfTheWorkReachesTheWorker) {
  Win32MainThread main;
  std::string caught;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    try {
      main.RunSync([] { throw std::runtime_error("tree is gone"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
    finished = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(caught, "tree is gone");
}

TEST(Win32MainThread, ManyWorkersAreServedOneAtATimeOnTheMainThread) {
  Win32MainThread main;
  DWORD main_id = GetCurrentThreadId();
  int counter = 0;  // unsynchronised on purpose: only the main thread touches it
  std::atomic<int> off_main{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        main.RunSync([&] {
          if (GetCurrentThreadId() != main_id) ++off_main;
          ++counter;
        });
      }
      ++finished;
    });
  }
  ASSERT_TRUE(WaitUntil([&] { return finished.load() == 4; }, std::chrono::seconds(20)));
  for (auto& t : workers) t.join();
  EXPECT_EQ(counter, 100);
  EXPECT_EQ(off_main.load(), 0);
}

TEST(Win32MainThread, WorkRunsWhileTheMainThreadIsInAModalDialog) {
  Win32MainThread main;
  Dialog dialog("TWaitCloseFm");
  ASSERT_TRUE(dialog.Create());
  std::thread worker;
  // Started once the modal loop runs; its work ends the modal run.
  Timer start({.handler =
                   [&] {
                     if (worker.joinable()) return;
                     worker = std::thread([&] { main.RunSync([&] { dialog.EndModal(77); }); });
                   },
               .interval_ms = 10,
               .enabled = true});
  EXPECT_EQ(dialog.ShowModal(), 77);
  start.SetEnabled(false);
  worker.join();
}

}  // namespace
}  // namespace vx::winui
