// The base of the program's worker threads. The thread is created suspended;
// Resume starts it, and Execute (the thread's work) runs once. Terminate only
// asks: Execute watches Terminated() and returns. WaitFor waits for the end,
// Finished() tells whether Execute has returned, Handle() lets a caller poll
// or wait with its own means.
//
// A derived class must call Stop() in its destructor: the base cannot wait
// for an Execute that still uses the derived object's members once those are
// destroyed. A thread asked to terminate before it first ran never runs
// Execute.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

#include "winui/handle.h"

namespace vx::winui {

class WorkerThread {
 public:
  enum class Priority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

  // Creates the thread, suspended. Throws std::system_error when it cannot.
  WorkerThread();
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  bool SetPriority(Priority priority);
  Priority GetPriority() const;
  // Starts a suspended thread. True when it runs now.
  bool Resume();
  // Asks Execute to end; never blocks.
  void Terminate() { terminated_.store(true); }
  // Waits until the thread has ended. False on time-out.
  bool WaitFor(std::chrono::milliseconds timeout);
  bool WaitFor();
  // Terminate, start it if it never ran (Execute is then skipped), wait.
  void Stop();

  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // The message of the exception that ended Execute, once Finished().
  std::optional<std::string> Failure() const;
  HANDLE Handle() const { return handle_.get(); }
  DWORD ThreadId() const { return thread_id_; }

 protected:
  // The thread's work. An exception ends it; it is traced and kept.
  virtual void Execute() = 0;
  bool Terminated() const { return terminated_.load(); }

 private:
  static unsigned __stdcall Entry(void* self);

  OwnedHandle handle_;
  DWORD thread_id_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> finished_{false};
  std::optional<std::string> failure_;
};

}  // namespace vx::winui
