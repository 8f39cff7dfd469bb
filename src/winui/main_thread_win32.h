// The main-thread hand-over of the Windows program. Constructed on the main
// thread (the thread of the message loop). RunSync from a worker queues the
// work, wakes the main thread through a hidden message-only window and waits
// until the main thread has run it; the work runs wherever the main thread
// dispatches messages (its loop, a modal dialog, a message box, a pump).
// Called on the main thread, RunSync runs the work directly.
//
// An exception of the work is passed back and rethrown in the worker; once
// closed, RunSync throws MainThreadGone (workers on vx::WorkerThread then
// end). The main thread must keep dispatching messages while it waits for a
// worker that may hand work over (vx::WorkerThread::WaitFor does).
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <memory>

#include "platform/main_thread.h"

namespace vx::winui {

class Win32MainThread final : public vx::MainThread {
 public:
  // Throws std::runtime_error when the hidden window cannot be created.
  Win32MainThread();
  // Closes (see Close).
  ~Win32MainThread() override;
  Win32MainThread(const Win32MainThread&) = delete;
  Win32MainThread& operator=(const Win32MainThread&) = delete;

  // Takes no more work: runs what is still queued (on the main thread);
  // later RunSync calls throw MainThreadGone instead of waiting for ever.
  // For the end of the message loop, while workers may still run.
  void Close();

  void RunSync(const std::function<void()>& work) override;
  void ProcessMessages() override;

  DWORD ThreadId() const;

 private:
  struct State;
  class Sink;
  std::shared_ptr<State> state_;
  std::unique_ptr<Sink> sink_;
};

}  // namespace vx::winui
