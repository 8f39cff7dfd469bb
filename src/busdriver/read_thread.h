// TReadThread: the driver event reader. It reads one event record at a time
// from the master bus and hands each to the main thread synchronously, where
// the ReadInfoHandler (GetReadInfo) applies it; it does not read again until
// the handler has returned. The close sequence stops it with a termination
// request and the driver's Abort.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>

#include "busdriver/driver_channel.h"
#include "platform/main_thread.h"

namespace vx::bus {

// The main-thread handler of event records (the tree, the sockets, the
// request dialogs). `record` holds the whole 4096-byte buffer, zeroed past
// the `length` bytes the read returned; a failed read gives a zeroed buffer.
class ReadInfoHandler {
 public:
  virtual ~ReadInfoHandler() = default;
  virtual void GetReadInfo(std::span<const uint8_t> record, int length) = 0;
};

class TReadThread {
 public:
  // The handle is shared: a reader that was not waited for keeps it alive.
  TReadThread(std::shared_ptr<DriverHandle> master, MainThread& main_thread, ReadInfoHandler& handler);
  ~TReadThread();  // stops (waiting) when still running
  TReadThread(const TReadThread&) = delete;
  TReadThread& operator=(const TReadThread&) = delete;

  // Creates the thread suspended at a priority above normal, then resumes it.
  void Start();
  // Requests termination, issues Abort on the master bus and, when `wait`,
  // waits until the thread has ended. Without waiting (a TCP bus is being
  // built) the thread ends by itself later; the handler is no longer called.
  void Stop(bool wait = true);
  bool Running() const;

 private:
  struct State;
  static void Loop(std::shared_ptr<State> s);
  std::shared_ptr<State> state_;
  std::thread thread_;
};

// Raises the calling thread's priority above normal (a no-op natively).
void RaiseCurrentThreadPriority();

}  // namespace vx::bus
