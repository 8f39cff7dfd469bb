// A main thread for tests: a thread of its own that runs handed-over work one
// piece at a time, as the Windows program's message loop does. Work handed
// over while it runs other work waits in its queue until that work ends or
// pumps (ProcessMessages). After Close() it takes no more work: RunSync
// throws MainThreadGone, as the Windows adapter does once it has closed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/main_thread.h"

namespace vx::testing {

class QueueMainThread final : public MainThread {
 public:
  QueueMainThread() : thread_([this] { Run(); }) {}
  ~QueueMainThread() override {
    Post([this] { quit_ = true; });
    thread_.join();
  }
  void RunSync(const std::function<void()>& work) override {
    if (std::this_thread::get_id() == thread_.get_id()) return work();
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
    {
      std::lock_guard l(mutex_);
      if (closed_) throw MainThreadGone("the test's main thread is closed");
      queue_.push_back([&] {
        try {
          work();
        } catch (...) {
          error = std::current_exception();
        }
        std::lock_guard dl(m);
        done = true;
        cv.notify_all();
      });
      cv_.notify_all();
    }
    std::unique_lock l(m);
    cv.wait(l, [&] { return done; });
    l.unlock();
    if (error) std::rethrow_exception(error);
  }
  // Runs the hand-overs waiting for the main thread. Like a message pump it
  // serves only its own thread: elsewhere it does nothing.
  void ProcessMessages() override {
    if (std::this_thread::get_id() != thread_.get_id()) return;
    for (;;) {
      std::function<void()> f;
      {
        std::lock_guard l(mutex_);
        if (queue_.empty()) return;
        f = std::move(queue_.front());
        queue_.pop_front();
      }
      f();
    }
  }
  // From now on RunSync throws; hand-overs already queued still run.
  void Close() {
    std::lock_guard l(mutex_);
    closed_ = true;
  }
  bool WaitForPending(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock l(mutex_);
    return cv_.wait_for(l, timeout, [&] { return !queue_.empty(); });
  }
  void Post(std::function<void()> f) {
    std::lock_guard l(mutex_);
    queue_.push_back(std::move(f));
    cv_.notify_all();
  }
  std::thread::id id() const { return thread_.get_id(); }

 private:
  void Run() {
    while (!quit_) {
      std::function<void()> f;
      {
        std::unique_lock l(mutex_);
        cv_.wait(l, [&] { return !queue_.empty(); });
        f = std::move(queue_.front());
        queue_.pop_front();
      }
      f();
    }
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  bool closed_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace vx::testing
