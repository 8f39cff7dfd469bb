// The discovery sockets: one UDP socket per adapter, bound to the adapter
// (port 7419, or an ephemeral port) and able to broadcast.
//
// The table is written on the main thread and read by the listener, the info
// queries and the configuration commands. Readers take a snapshot: a socket
// stays open while a snapshot holds it, so a socket closed by the main thread
// is never used (or its number reused) under a reader's feet.
#pragma once

#include <atomic>
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

  std::vector<SocketSlot> Snapshot() const;
  std::shared_ptr<net::UdpSocket> Slot(size_t k) const;
  // The highest handle value of the open set; 0 when none is open.
  uint64_t HighestHandle() const { return highest_.load(); }
  // Set only when a socket was opened for every adapter.
  bool SocketsReady() const { return ready_.load(); }

 private:
  mutable std::mutex mutex_;
  std::vector<SocketSlot> slots_;
  std::atomic<uint64_t> highest_{0};
  std::atomic<bool> ready_{false};
};

}  // namespace vx::discovery
