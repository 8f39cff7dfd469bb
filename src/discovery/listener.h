// The discovery listener: a worker thread that waits for datagrams on the
// discovery sockets, keeps server records in the discovery table, asks the
// servers again when an unknown one announces itself, forwards accepted
// datagrams to the bus driver and drives the main window's no-network state.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "discovery/datagram.h"
#include "discovery/discovery.h"
#include "discovery/forwarder.h"
#include "discovery/network_status.h"

namespace vx::discovery {

struct ListenerWiring {
  DatagramForwarder* forwarder = nullptr;  // none: nothing is forwarded
  const MasterBusQuery* master_bus = nullptr;
  NetworkStateSink* status = nullptr;          // none: no window to update
  const std::atomic<bool>* closing = nullptr;  // the process-wide closing flag
};

class TFindQuorinThread {
 public:
  struct Stats {
    uint64_t received = 0;   // datagrams read
    uint64_t stored = 0;     // new entries
    uint64_t replaced = 0;   // replaced entries
    uint64_t forwarded = 0;  // handed to the driver
    uint64_t dropped = 0;    // wrong type, lock busy or ignored
    uint64_t requests = 0;   // request bursts caused by unknown servers
  };

  TFindQuorinThread(Discovery& discovery, ListenerWiring wiring);
  // Requests termination and waits for the thread.
  ~TFindQuorinThread();
  TFindQuorinThread(const TFindQuorinThread&) = delete;
  TFindQuorinThread& operator=(const TFindQuorinThread&) = delete;

  void Start();
  // Asks the loop to end; it notices within the select time-out.
  void Terminate();
  // Waits until the loop has ended, running main-thread work meanwhile (the
  // loop may be waiting for the main thread).
  void WaitFor();
  // Parks the loop at its next turn (the sockets are about to be rebuilt);
  // the socket table stays safe to change at any moment regardless.
  void Suspend();
  void Resume();
  // True while the loop waits for Resume.
  bool Parked() const;
  bool Finished() const { return finished_.load(); }
  Stats GetStats() const;

 private:
  void Execute();
  void HandleDatagram(const SocketSlot& slot, std::span<const uint8_t> bytes, net::Ipv4 source);
  // Waits up to `d` or until termination; true when termination was asked.
  bool WaitTerminated(Millis d);
  bool Closing() const;
  void StatusStep(bool network_ok);

  Discovery& discovery_;
  const ListenerWiring wiring_;

  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool terminate_ = false;
  bool suspended_ = false;
  bool parked_ = false;
  std::atomic<bool> finished_{false};

  std::optional<bool> last_network_ok_;
  Clock::TimePoint last_ok_step_{};
  std::optional<Clock::TimePoint> last_burst_;
  Stats stats_;
};

}  // namespace vx::discovery
