#include "busdriver/read_thread.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "busdriver/operations.h"
#include "platform/trace.h"

namespace vx::bus {

struct TReadThread::State {
  std::shared_ptr<DriverHandle> master;
  MainThread* main_thread;
  ReadInfoHandler* handler;
  std::atomic<bool> terminated{false};
  std::atomic<bool> running{false};
  std::mutex mutex;
  std::condition_variable cv;
  bool resumed = false;
  // The receive buffer: the driver writes it only while a read is pending,
  // and Read returns only once the read has completed or been cancelled.
  std::array<uint8_t, kEventBufferSize> buffer{};
};

TReadThread::TReadThread(std::shared_ptr<DriverHandle> master, MainThread& main_thread,
                         ReadInfoHandler& handler)
    : state_(std::make_shared<State>()) {
  state_->master = std::move(master);
  state_->main_thread = &main_thread;
  state_->handler = &handler;
}

TReadThread::~TReadThread() {
  if (thread_.joinable()) Stop(true);
}

void TReadThread::Start() {
  if (thread_.joinable() || !state_->master) return;
  try {
    state_->running = true;
    // Created suspended: the thread raises its priority, then waits to be resumed.
    thread_ = std::thread(&TReadThread::Loop, state_);
    {
      std::lock_guard lock(state_->mutex);
      state_->resumed = true;
    }
    state_->cv.notify_all();
    TraceLine("ReadThread Start ---------------------------------");
  } catch (...) {
    state_->running = false;  // errors while creating the thread are swallowed
  }
}

void TReadThread::Stop(bool wait) {
  if (!thread_.joinable()) return;
  state_->terminated = true;
  {
    std::lock_guard lock(state_->mutex);
    state_->resumed = true;
  }
  state_->cv.notify_all();
  Abort(*state_->master);
  // Abort completes the read the driver holds. A read issued just after the
  // abort, or a driver that ignores it, is cancelled here, and the reader
  // waits for that cancellation before the buffer is released.
  state_->master->InterruptReads();
  if (!wait) {
    thread_.detach();
    return;
  }
  // The reader may be waiting in a hand-over to this (the main) thread: keep
  // serving hand-overs while waiting, or both would wait for ever.
  for (;;) {
    {
      std::unique_lock lock(state_->mutex);
      if (state_->cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return !state_->running.load(); }))
        break;
    }
    state_->main_thread->ProcessMessages();
  }
  thread_.join();
}

bool TReadThread::Running() const { return state_->running; }

void TReadThread::Loop(std::shared_ptr<State> s) {
  RaiseCurrentThreadPriority();
  {
    std::unique_lock lock(s->mutex);
    s->cv.wait(lock, [&] { return s->resumed; });
  }
  while (!s->terminated) {
    s->buffer.fill(0);
    IoResult r = s->master->Read(s->buffer);
    int length = r.ok ? int(std::min<uint32_t>(r.bytes, kEventBufferSize)) : 0;
    if (s->terminated) break;
    s->main_thread->RunSync([&] {
      // Runs on the main thread, so it is ordered with Stop: once termination
      // was requested the handler (which may be gone) is not called.
      if (!s->terminated) s->handler->GetReadInfo(s->buffer, length);
    });
    if (!r.ok && r.last_error != kErrorOperationAborted) {
      // A broken handle fails every read at once; do not spin on it.
      std::unique_lock lock(s->mutex);
      s->cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return s->terminated.load(); });
    }
  }
  {
    std::lock_guard lock(s->mutex);
    s->running = false;
  }
  s->cv.notify_all();
}

}  // namespace vx::bus
