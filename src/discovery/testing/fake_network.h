// An in-memory network for the discovery tests: UDP sockets with queues,
// broadcasts looped back to every socket bound to the target port, datagrams
// to a local socket's own endpoint delivered to it, scripted
// TCP servers, and a connected pair for listeners. Nothing touches a real
// network. Time-outs are virtual: a receive on an empty queue times out at
// once; only SelectReadable waits (for data or its time-out).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/net/network.h"

namespace vx::discovery::testing {

struct SentDatagram {
  uint64_t handle = 0;
  net::Endpoint from;
  net::Endpoint to;
  std::vector<uint8_t> bytes;
};

// What a scripted TCP server does with a connection.
struct TcpServerScript {
  bool refuse = false;    // connection refused
  bool time_out = false;  // connect times out
  // Each entry answers one receive: bytes, or empty for a receive time-out.
  std::vector<std::vector<uint8_t>> replies;
  // After the replies: true = the server closes (receive returns 0), false =
  // further receives time out.
  bool close_after = true;
};

class FakeNetwork final : public net::NetworkPort {
 public:
  FakeNetwork() = default;

  // --- set-up (before use) ---
  std::optional<net::OsVersion> version;
  net::AdapterList adapter_list;
  net::InterfaceTable interface_table;
  net::AddressTable address_table;
  net::UdpListenerTable udp_table;
  std::set<uint16_t> ports_in_use;  // binding these ports fails (address in use)
  int fail_create_at = -1;          // the n-th CreateUdp (0-based) fails
  std::set<std::string> failing_bind_devices;
  bool select_fails = false;

  void AddAdapter(const std::string& ip, std::vector<uint8_t> mac, uint32_t type = 6,
                  const std::string& device = "");
  void SetTcpServer(net::Ipv4 address, TcpServerScript script);

  // --- injection and observation ---
  // Queues a datagram for the socket whose local endpoint matches `to` (a
  // socket bound to any address matches every address). False if none.
  bool Deliver(const net::Endpoint& to, std::vector<uint8_t> bytes, const net::Endpoint& from);
  std::vector<SentDatagram> Sent() const;
  void ClearSent();
  size_t OpenUdpSockets() const;
  size_t TcpConnects() const;
  std::vector<std::vector<uint8_t>> TcpRequests(net::Ipv4 server) const;
  int library_starts = 0;
  int library_stops = 0;

  // --- NetworkPort ---
  bool StartLibrary() override;
  void StopLibrary() override;
  std::optional<net::OsVersion> QueryOsVersion() override { return version; }
  net::AdapterList GetAdaptersInfo() override { return adapter_list; }
  net::InterfaceTable GetIfTable() override { return interface_table; }
  net::AddressTable GetIpAddrTable() override { return address_table; }
  net::UdpListenerTable GetUdpTable() override { return udp_table; }
  net::NetResult<std::unique_ptr<net::UdpSocket>> CreateUdp() override;
  net::NetResult<std::unique_ptr<net::TcpListener>> ListenTcp(const net::Endpoint& local, int backlog,
                                                              bool reuse_address) override;
  net::NetResult<std::unique_ptr<net::TcpStream>> ConnectTcp(const net::Endpoint& to,
                                                             net::Millis timeout) override;
  net::SelectResult SelectReadable(std::span<net::UdpSocket* const> sockets, net::Millis timeout) override;
  std::optional<std::string> BroadcastRefusal() const override { return std::nullopt; }

  // Internal state shared with the fake sockets.
  struct Queued {
    std::vector<uint8_t> bytes;
    net::Endpoint from;
  };
  struct UdpState {
    uint64_t handle = 0;
    bool bound = false;
    net::Endpoint local;
    std::deque<Queued> queue;
  };
  struct Pipe {
    std::deque<std::vector<uint8_t>> chunks;
    bool closed = false;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::map<uint64_t, UdpState> udp;
  std::vector<SentDatagram> sent;
  std::map<net::Ipv4, TcpServerScript> tcp_servers;
  std::map<net::Ipv4, std::vector<std::vector<uint8_t>>> tcp_requests;
  std::map<uint16_t, std::deque<std::pair<std::shared_ptr<Pipe>, std::shared_ptr<Pipe>>>> listeners;
  size_t tcp_connects = 0;
  std::atomic<int> select_calls{0};
  uint64_t next_handle = 100;
  int creates = 0;
};

}  // namespace vx::discovery::testing
