#include "winui/worker_thread.h"

#include <process.h>

#include <algorithm>
#include <exception>
#include <system_error>

#include "platform/trace.h"

namespace vx::winui {
namespace {

int ToWin32(WorkerThread::Priority p) {
  switch (p) {
    case WorkerThread::Priority::Idle:
      return THREAD_PRIORITY_IDLE;
    case WorkerThread::Priority::Lowest:
      return THREAD_PRIORITY_LOWEST;
    case WorkerThread::Priority::Lower:
      return THREAD_PRIORITY_BELOW_NORMAL;
    case WorkerThread::Priority::Normal:
      return THREAD_PRIORITY_NORMAL;
    case WorkerThread::Priority::Higher:
      return THREAD_PRIORITY_ABOVE_NORMAL;
    case WorkerThread::Priority::Highest:
      return THREAD_PRIORITY_HIGHEST;
    case WorkerThread::Priority::TimeCritical:
      return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

}  // namespace

WorkerThread::WorkerThread() {
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, &WorkerThread::Entry, this, CREATE_SUSPENDED, &id);
  if (handle == 0) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot create a thread");
  }
  handle_.Reset(reinterpret_cast<HANDLE>(handle));
  thread_id_ = id;
}

WorkerThread::~WorkerThread() { Stop(); }

unsigned __stdcall WorkerThread::Entry(void* param) {
  auto* self = static_cast<WorkerThread*>(param);
  if (!self->terminated_.load()) {
    try {
      self->Execute();
    } catch (const std::exception& e) {
      self->failure_ = e.what();
    } catch (...) {
      self->failure_ = "Unknown exception";
    }
    if (self->failure_) TraceLine("Thread ended by an exception : " + *self->failure_);
  }
  self->finished_.store(true, std::memory_order_release);
  return 0;
}

bool WorkerThread::SetPriority(Priority priority) {
  return SetThreadPriority(handle_.get(), ToWin32(priority)) != FALSE;
}

WorkerThread::Priority WorkerThread::GetPriority() const {
  switch (GetThreadPriority(handle_.get())) {
    case THREAD_PRIORITY_IDLE:
      return Priority::Idle;
    case THREAD_PRIORITY_LOWEST:
      return Priority::Lowest;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return Priority::Lower;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return Priority::Higher;
    case THREAD_PRIORITY_HIGHEST:
      return Priority::Highest;
    case THREAD_PRIORITY_TIME_CRITICAL:
      return Priority::TimeCritical;
    default:
      return Priority::Normal;
  }
}

bool WorkerThread::Resume() {
  DWORD previous = ResumeThread(handle_.get());
  if (previous == static_cast<DWORD>(-1)) return false;
  started_.store(true);
  return previous <= 1;
}

bool WorkerThread::WaitFor(std::chrono::milliseconds timeout) {
  DWORD ms = timeout.count() < 0 ? 0 : static_cast<DWORD>(std::min<int64_t>(timeout.count(), INFINITE - 1));
  return WaitForSingleObject(handle_.get(), ms) == WAIT_OBJECT_0;
}

bool WorkerThread::WaitFor() { return WaitForSingleObject(handle_.get(), INFINITE) == WAIT_OBJECT_0; }

void WorkerThread::Stop() {
  if (!handle_) return;
  Terminate();
  if (GetCurrentThreadId() == thread_id_) return;  // a thread cannot wait for itself
  if (!started_.load()) {
    // Let a thread that never ran end; it skips Execute.
    for (;;) {
      DWORD previous = ResumeThread(handle_.get());
      if (previous == static_cast<DWORD>(-1) || previous <= 1) break;
    }
    started_.store(true);
  }
  WaitFor();
}

std::optional<std::string> WorkerThread::Failure() const {
  if (!Finished()) return std::nullopt;
  return failure_;
}

}  // namespace vx::winui
