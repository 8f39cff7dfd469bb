#include "winui/main_thread_win32.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>

#include "winui/message_loop.h"
#include "winui/window.h"

namespace vx::winui {
namespace {

constexpr UINT kRunQueued = WM_APP + 0x100;

struct Job {
  const std::function<void()>* work = nullptr;
  bool done = false;
  std::exception_ptr error;
};

}  // namespace

struct Win32MainThread::State {
  DWORD thread_id = GetCurrentThreadId();
  std::mutex mutex;
  std::condition_variable finished;
  std::deque<Job*> queue;
  bool closed = false;

  // Main thread: runs every queued job and wakes its worker.
  void Drain() {
    for (;;) {
      Job* job = nullptr;
      {
        std::lock_guard lock(mutex);
        if (queue.empty()) return;
        job = queue.front();
        queue.pop_front();
      }
      try {
        (*job->work)();
      } catch (...) {
        job->error = std::current_exception();
      }
      {
        std::lock_guard lock(mutex);
        job->done = true;
      }
      finished.notify_all();
    }
  }
};

class Win32MainThread::Sink final : public Window {
 public:
  explicit Sink(std::shared_ptr<State> state) : state_(std::move(state)) {}

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == kRunQueued) {
      state_->Drain();
      return 0;
    }
    return Window::HandleMessage(message, wparam, lparam);
  }

 private:
  std::shared_ptr<State> state_;
};

Win32MainThread::Win32MainThread()
    : state_(std::make_shared<State>()), sink_(std::make_unique<Sink>(state_)) {
  if (!sink_->Create(WindowArgs{.class_name = "VxMainThreadSink", .style = 0, .message_only = true})) {
    throw std::runtime_error("cannot create the main-thread window");
  }
}

Win32MainThread::~Win32MainThread() { Close(); }

void Win32MainThread::Close() {
  {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
  }
  // Workers already waiting get their work done rather than hanging.
  state_->Drain();
}

DWORD Win32MainThread::ThreadId() const { return state_->thread_id; }

void Win32MainThread::RunSync(const std::function<void()>& work) {
  if (GetCurrentThreadId() == state_->thread_id) {
    work();
    return;
  }
  Job job;
  job.work = &work;
  std::unique_lock lock(state_->mutex);
  if (state_->closed) throw MainThreadGone("the main thread no longer takes work");
  state_->queue.push_back(&job);
  if (!PostMessageW(sink_->hwnd(), kRunQueued, 0, 0)) {
    std::erase(state_->queue, &job);
    throw MainThreadGone("cannot wake the main thread");
  }
  state_->finished.wait(lock, [&job] { return job.done; });
  lock.unlock();
  if (job.error) std::rethrow_exception(job.error);
}

void Win32MainThread::ProcessMessages() { winui::ProcessMessages(); }

}  // namespace vx::winui
