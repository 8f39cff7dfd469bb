// The base of every worker thread of the program (the discovery listener, the
// info queries, the driver event reader, the scan saving, and the threads
// still to come). It starts the thread, carries the termination request,
// waits for the end while serving the main thread's hand-overs, and holds the
// one rule for exceptions:
//
//   - every hand-over to the main thread is guarded on its own: an exception
//     of the handed-over work is traced on the main thread and the worker
//     goes on with its next step;
//   - a main thread that no longer takes work (RunSync throws: it has closed,
//     or the hand-over could not be posted) ends the worker cleanly;
//   - an exception that leaves the body ends the thread; it is traced and
//     kept (Failure()), never passed to std::terminate.
//
// The body runs with a Worker, the thread's own view: termination checks,
// interruptible waits and the hand-over. The Worker lives as long as the
// thread, so a worker that was left to end by itself (Detach) keeps a valid
// one after its owner is gone.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/main_thread.h"

namespace vx {

class Worker {
 public:
  Worker(MainThread& main_thread, std::string name);
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  const std::string& Name() const { return name_; }
  MainThread& Main() { return main_; }

  // True once termination was asked (or the main thread went away).
  bool Terminated() const { return terminated_.load(); }
  // Waits up to `d`, until termination or a Wake(); true when termination was
  // asked. A Wake() before the wait makes it return at once (once).
  bool WaitTerminated(std::chrono::milliseconds d);
  // Ends a WaitTerminated early without asking for termination.
  void Wake();
  // Tells a WorkerThread::WaitUntil that the body changed a state it may be
  // waiting for (it also looks at least every 10 ms).
  void Notify() { changed_.notify_all(); }

  // Runs `work` on the main thread and waits for it. True when it ran to its
  // end; false when it threw (traced, the worker goes on) or when the main
  // thread no longer takes work (the worker is then terminated: its loop ends
  // at its next check).
  bool RunOnMainThread(const std::function<void()>& work);
  // True when a hand-over found the main thread gone.
  bool MainThreadGone() const { return main_gone_.load(); }

 private:
  friend class WorkerThread;
  void RequestTermination();
  void MarkFinished(std::optional<std::string> failure);

  MainThread& main_;
  const std::string name_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> main_gone_{false};
  std::atomic<bool> finished_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool woken_ = false;
  std::optional<std::string> failure_;
};

// Owns one worker thread. The owner (a T...Thread class) gives the body to
// Start and stops the thread in its own destructor, before the members the
// body uses are gone; the destructor here stops it as a last resort.
class WorkerThread {
 public:
  enum class Priority { kNormal, kAboveNormal };
  using Body = std::function<void(Worker&)>;

  // `name` prefixes the trace lines of the exception rule.
  WorkerThread(MainThread& main_thread, std::string name, Priority priority = Priority::kNormal);
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts the thread once. False when it was started before or the thread
  // cannot be created (traced; the caller goes on without it).
  bool Start(Body body);
  // Asks the body to end (Worker::Terminated) and wakes its waits. Never
  // blocks; a blocking call of the body is the owner's to interrupt.
  void Terminate();
  // Waits until the body has returned, running the main thread's hand-overs
  // meanwhile (the body may be waiting in one for the caller). False when
  // `timeout` passed first. Not from the worker itself.
  bool WaitFor(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Waits the same way until `done` holds (true) or the body has returned or
  // `timeout` passed (then `done` decides).
  bool WaitUntil(const std::function<bool()>& done, std::optional<std::chrono::milliseconds> timeout);
  // Terminate, then WaitFor.
  void Stop();
  // Terminate and leave the thread to end by itself; it is not waited for.
  void Detach();

  bool Started() const { return thread_.joinable() || detached_; }
  // True from Start until the body has returned.
  bool Running() const { return Started() && !worker_->finished_.load(); }
  bool Finished() const { return worker_->finished_.load(); }
  // The message of the exception that ended the body, once Finished().
  std::optional<std::string> Failure() const;
  // The thread's view, for the owner's own checks.
  Worker& State() { return *worker_; }
  // True on the worker thread itself.
  bool OnWorkerThread() const { return std::this_thread::get_id() == thread_id_; }

 private:
  static void Entry(std::shared_ptr<Worker> worker, Body body, Priority priority);

  std::shared_ptr<Worker> worker_;
  const Priority priority_;
  std::thread thread_;
  std::thread::id thread_id_;
  bool detached_ = false;
};

// Waits until `done` holds, running the main thread's hand-overs meanwhile
// (for waits on several workers at once). False when `timeout` passed first.
bool WaitServingMainThread(MainThread& main, const std::function<bool()>& done,
                           std::optional<std::chrono::milliseconds> timeout = std::nullopt);

// Raises the calling thread's priority above normal (the event reader's and
// the listener's); natively a no-op. Defined per platform.
void RaiseCurrentThreadPriority();

}  // namespace vx
