// TReadThread: the driver event reader. It reads one event record at a time
// from the master bus and hands each to the main thread synchronously, where
// the ReadInfoHandler (GetReadInfo) applies it; it does not read again until
// the handler has returned. The close sequence stops it with a termination
// request and the driver's Abort. An exception of the handler ends the
// handling of that record only (the worker base's rule).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "busdriver/driver_channel.h"
#include "platform/main_thread.h"
#include "platform/worker_thread.h"

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

  // Starts the thread at a priority above normal (errors are swallowed).
  void Start();
  // Requests termination, issues Abort on the master bus and, when `wait`,
  // waits until the thread has ended. Without waiting (a TCP bus is being
  // built) the thread ends by itself later; the handler is no longer called.
  void Stop(bool wait = true);
  // From Start until the thread has ended (by Stop, or because the main
  // thread took no more work).
  bool Running() const { return worker_.Running(); }

 private:
  struct State;
  static void Loop(Worker& w, State& s);
  std::shared_ptr<State> state_;
  WorkerThread worker_;
  bool stopped_ = false;
};

}  // namespace vx::bus
