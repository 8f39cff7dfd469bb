// The discovery sockets: one UDP socket per adapter, bound to the adapter
// (port 7419, or an ephemeral port) and able to broadcast.
//
// The table is written on the main thread and read by the listener, the info
// queries and the configuration commands. Readers take a snapshot: a socket
// stays open while a snapshot holds it, so a socket closed by the main thread
// is never used (or its number reused) under a reader's feet. The flip side:
// a socket of a closed set may still hold its port. Before the sockets are
// opened again on the same port, WaitAllClosed waits for the readers to let
// the old ones go.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/settings.h"

namespace vx::discovery {

struct SocketSlot {
  size_t index = 0;  // adapter k
  std::shared_ptr<net::UdpSocket> socket;
  net::Endpoint local;      // adapter k's address, port 7419 or the ephemeral port
  net::Endpoint broadcast;  // 255.255.255.255:7419
  Mac mac{};
  std::string ip;
};

class SocketTable {
 public:
  static constexpr size_t kSlots = kMaxAdapters;

  // OpenSocket: first closes what is still open (a failed earlier attempt or
  // the previous set), then opens one socket per adapter. On any failure the
  // sockets opened by this call are closed again and the table stays empty.
  bool Open(net::NetworkPort& net, const std::vector<Adapter>& adapters, bool ephemeral,
            const DiscoverySettings& settings);
  // CloseSockets: empties every slot. The highest handle becomes 0 and the
  // sockets are no longer ready, so nobody takes a closed set for a network.
  void CloseAll();
  // Waits until no socket this table opened is open any more (after
  // CloseAll: until every snapshot holding one has ended). False when
  // `timeout` passed first.
  bool WaitAllClosed(std::chrono::milliseconds timeout) const;
  // The number of sockets this table opened that are still open (in the
  // table or held by a reader).
  size_t OpenSockets() const;

  std::vector<SocketSlot> Snapshot() const;
  std::shared_ptr<net::UdpSocket> Slot(size_t k) const;
  // The highest handle value of the open set; 0 when none is open.
  uint64_t HighestHandle() const { return highest_.load(); }
  // Set only when a socket was opened for every adapter.
  bool SocketsReady() const { return ready_.load(); }

 private:
  std::shared_ptr<net::UdpSocket> Track(std::unique_ptr<net::UdpSocket> socket);

  // Counts the table's sockets that are still open; shared with the sockets'
  // deleters, which may run on a reader's thread after the table is gone.
  struct Alive {
    std::mutex mutex;
    std::condition_variable closed;
    size_t open = 0;
  };

  mutable std::mutex mutex_;
  std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
  std::vector<SocketSlot> slots_;
  std::atomic<uint64_t> highest_{0};
  std::atomic<bool> ready_{false};
};

}  // namespace vx::discovery
