#include "platform/worker_thread.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "platform/trace.h"

namespace vx {
namespace {

std::string MessageOf(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return x.what();
  } catch (...) {
    return "Unknown exception";
  }
}

}  // namespace

Worker::Worker(MainThread& main_thread, std::string name) : main_(main_thread), name_(std::move(name)) {}

bool Worker::WaitTerminated(std::chrono::milliseconds d) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, d, [this] { return terminated_.load() || woken_; });
  woken_ = false;
  return terminated_.load();
}

void Worker::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

void Worker::RequestTermination() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  changed_.notify_all();
}

bool Worker::RunOnMainThread(const std::function<void()>& work) {
  bool completed = false;
  try {
    main_.RunSync([&] {
      // On the main thread: what the work throws stays here. The worker only
      // learns that the step did not complete.
      try {
        work();
        completed = true;
      } catch (...) {
        TraceLine(name_ + " : exception in a main-thread step : " + MessageOf(std::current_exception()));
      }
    });
  } catch (...) {
    // The work's own exceptions never get here, so this is the port refusing
    // the hand-over: the main thread has closed or cannot be woken.
    TraceLine(name_ + " : the main thread takes no more work (" + MessageOf(std::current_exception()) +
              "), the thread ends");
    main_gone_ = true;
    RequestTermination();
    return false;
  }
  return completed;
}

void Worker::MarkFinished(std::optional<std::string> failure) {
  {
    std::lock_guard lock(mutex_);
    failure_ = std::move(failure);
    finished_ = true;
  }
  changed_.notify_all();
}

WorkerThread::WorkerThread(MainThread& main_thread, std::string name, Priority priority)
    : worker_(std::make_shared<Worker>(main_thread, std::move(name))), priority_(priority) {}

WorkerThread::~WorkerThread() {
  if (!thread_.joinable()) return;
  if (OnWorkerThread()) {
    // The body's last reference went away on its own thread: it cannot wait
    // for itself, and it is about to end anyway.
    Detach();
    return;
  }
  Stop();
}

bool WorkerThread::Start(Body body) {
  if (Started()) return false;
  try {
    thread_ = std::thread(&WorkerThread::Entry, worker_, std::move(body), priority_);
    thread_id_ = thread_.get_id();
    return true;
  } catch (const std::system_error& e) {
    TraceLine(worker_->Name() + " : cannot create the thread : " + e.what());
    worker_->MarkFinished(std::string(e.what()));
    return false;
  }
}

void WorkerThread::Entry(std::shared_ptr<Worker> worker, Body body, Priority priority) {
  if (priority == Priority::kAboveNormal) RaiseCurrentThreadPriority();
  std::optional<std::string> failure;
  try {
    body(*worker);
  } catch (...) {
    failure = MessageOf(std::current_exception());
    TraceLine(worker->Name() + " : thread ended by an exception : " + *failure);
  }
  worker->MarkFinished(std::move(failure));
}

void WorkerThread::Terminate() { worker_->RequestTermination(); }

bool WorkerThread::WaitUntil(const std::function<bool()>& done,
                             std::optional<std::chrono::milliseconds> timeout) {
  const auto deadline =
      timeout ? std::chrono::steady_clock::now() + *timeout : std::chrono::steady_clock::time_point::max();
  // The body may be waiting in a hand-over to this thread: keep serving the
  // hand-overs while waiting, or both would wait for ever.
  for (;;) {
    if (done()) return true;
    if (Finished()) return done();
    worker_->Main().ProcessMessages();
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    const auto slice =
        std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(10), deadline - now);
    std::unique_lock lock(worker_->mutex_);
    worker_->changed_.wait_for(lock, slice);
  }
}

bool WorkerThread::WaitFor(std::optional<std::chrono::milliseconds> timeout) {
  if (!thread_.joinable()) return !detached_ || Finished();
  if (OnWorkerThread()) return false;  // a thread cannot wait for itself
  if (!WaitUntil([this] { return Finished(); }, timeout)) return false;
  thread_.join();
  return true;
}

void WorkerThread::Stop() {
  Terminate();
  WaitFor();
}

void WorkerThread::Detach() {
  Terminate();
  if (!thread_.joinable()) return;
  thread_.detach();
  detached_ = true;
}

std::optional<std::string> WorkerThread::Failure() const {
  std::lock_guard lock(worker_->mutex_);
  if (!worker_->finished_) return std::nullopt;
  return worker_->failure_;
}

bool WaitServingMainThread(MainThread& main, const std::function<bool()>& done,
                           std::optional<std::chrono::milliseconds> timeout) {
  const auto deadline =
      timeout ? std::chrono::steady_clock::now() + *timeout : std::chrono::steady_clock::time_point::max();
  while (!done()) {
    main.ProcessMessages();
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace vx
