// The discovery listener: a worker thread that waits for datagrams on the
// discovery sockets, keeps server records in the discovery table, asks the
// servers again when an unknown one announces itself, forwards accepted
// datagrams to the bus driver and drives the main window's no-network state.
//
// Its wait for datagrams can be interrupted: besides the discovery sockets it
// waits on a wake-up socket of its own on loopback, to which Terminate and
// Suspend send one byte. So a suspended listener lets go of the discovery
// sockets at once, and the sockets can be rebuilt on the same port.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "discovery/datagram.h"
#include "discovery/discovery.h"
#include "discovery/forwarder.h"
#include "discovery/network_status.h"
#include "platform/worker_thread.h"

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

  // Starts the thread at a priority above normal. False when it could not be
  // created.
  bool Start();
  // Asks the loop to end and interrupts its wait.
  void Terminate();
  // Waits until the loop has ended, running main-thread work meanwhile (the
  // loop may be waiting for the main thread).
  void WaitFor();
  // Parks the loop at its next turn and interrupts its wait (the sockets are
  // about to be rebuilt); the socket table stays safe to change at any moment
  // regardless. WaitParked then waits (serving the main thread) until the
  // loop holds no discovery socket any more; false when `timeout` passed.
  void Suspend();
  bool WaitParked(Millis timeout);
  void Resume();
  // True while the loop waits for Resume.
  bool Parked() const { return parked_.load() && suspended_.load(); }
  bool Finished() const { return worker_.Finished(); }
  Stats GetStats() const;

 private:
  void Execute(Worker& w);
  // Wakes the loop from whatever it waits for (select or a pause).
  void Interrupt();
  void OpenWakeSocket();
  void DrainWakeSocket();
  void HandleDatagram(const SocketSlot& slot, std::span<const uint8_t> bytes, net::Ipv4 source);
  bool Closing() const;
  void StatusStep(Worker& w, bool network_ok);

  Discovery& discovery_;
  const ListenerWiring wiring_;

  // Created before the thread starts, closed after it has ended.
  std::unique_ptr<net::UdpSocket> wake_socket_;
  net::Endpoint wake_endpoint_;
  std::atomic<bool> suspended_{false};
  std::atomic<bool> parked_{false};

  // Loop-only state.
  std::optional<bool> last_network_ok_;
  Clock::TimePoint last_ok_step_{};
  std::optional<Clock::TimePoint> last_burst_;

  mutable std::mutex stats_mutex_;
  Stats stats_;

  WorkerThread worker_;
};

}  // namespace vx::discovery
