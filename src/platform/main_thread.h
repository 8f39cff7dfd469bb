// The synchronous hand-over from a worker thread to the main thread. A worker
// that must touch the user interface or the model calls RunOnMainThread and
// blocks until the main thread has run the work. In the Windows program the
// main thread runs it from its message loop; in tests and command-line tools
// the inline implementation runs it at once on the calling thread, serialised.
// Workers hand work over through their WorkerThread (worker_thread.h), which
// keeps the rule for exceptions in one place.
#pragma once

#include <functional>
#include <stdexcept>

namespace vx {

// Thrown by RunSync when the main thread takes no more work: it has closed,
// or it cannot be woken.
class MainThreadGone : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MainThread {
 public:
  virtual ~MainThread() = default;
  // Runs `work` on the main thread and returns when it has finished. Called
  // on the main thread itself, it runs `work` directly. An exception of
  // `work` is passed on to the caller; MainThreadGone when the work cannot
  // be handed over.
  virtual void RunSync(const std::function<void()>& work) = 0;
  // Pumps pending window messages (a no-op outside the Windows program).
  virtual void ProcessMessages() {}
};

// Runs work directly on the calling thread, one piece at a time.
MainThread& InlineMainThread();

}  // namespace vx
