#include "discovery/testing/fake_network.h"

#include <algorithm>
#include <cstring>

namespace vx::discovery::testing {
namespace {

net::NetError Err(int code, const char* name, bool timed_out = false) {
  return net::NetError{code, timed_out, name};
}

class FakeUdp final : public net::UdpSocket {
 public:
  FakeUdp(FakeNetwork& n, uint64_t h) : n_(n), h_(h) {}
  ~FakeUdp() override {
    std::lock_guard lock(n_.mutex);
    n_.udp.erase(h_);
  }
  uint64_t Handle() const override { return h_; }
  net::NetError EnableBroadcast() override { return {}; }
  net::NetError EnableDebug() override { return {}; }
  net::NetError SetReceiveTimeout(net::Millis) override { return {}; }
  net::NetError Bind(const net::BindTarget& target) override {
    std::lock_guard lock(n_.mutex);
    if (n_.failing_bind_devices.count(target.device)) return Err(99, "EADDRNOTAVAIL");
    uint16_t port = target.local.port;
    if (port != 0 && n_.ports_in_use.count(port)) return Err(98, "EADDRINUSE");
    if (port == 0) port = static_cast<uint16_t>(40000 + h_);
    auto& s = n_.udp[h_];
    s.bound = true;
    s.local = net::Endpoint{target.local.address, port};
    return {};
  }
  std::optional<net::Endpoint> LocalEndpoint() const override {
    std::lock_guard lock(n_.mutex);
    auto it = n_.udp.find(h_);
    if (it == n_.udp.end() || !it->second.bound) return std::nullopt;
    return it->second.local;
  }
  net::NetError SendTo(std::span<const uint8_t> bytes, const net::Endpoint& to) override {
    std::lock_guard lock(n_.mutex);
    const net::Endpoint from = n_.udp[h_].local;
    n_.sent.push_back(SentDatagram{h_, from, to, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    // A broadcast comes back to the local sockets of the sending adapter
    // that are bound to its port, as on a real adapter.
    if (to.address == net::Ipv4::Broadcast()) {
      for (auto& [h, s] : n_.udp)
        if (s.bound && s.local.port == to.port &&
            (s.local.address == from.address || s.local.address.IsZero()))
          s.queue.push_back({std::vector<uint8_t>(bytes.begin(), bytes.end()), from});
      n_.changed.notify_all();
    } else {
      // A datagram to one of our own sockets (loopback) arrives there.
      for (auto& [h, s] : n_.udp)
        if (s.bound && s.local == to) {
          s.queue.push_back({std::vector<uint8_t>(bytes.begin(), bytes.end()), from});
          n_.changed.notify_all();
          break;
        }
    }
    return {};
  }
  net::NetResult<net::Datagram> ReceiveFrom(std::span<uint8_t> buffer) override {
    net::NetResult<net::Datagram> r;
    std::lock_guard lock(n_.mutex);
    auto& q = n_.udp[h_].queue;
    if (q.empty()) {
      r.error = Err(110, "ETIMEDOUT", true);
      return r;
    }
    FakeNetwork::Queued d = std::move(q.front());
    q.pop_front();
    if (d.bytes.size() > buffer.size()) {
      r.error = Err(90, "EMSGSIZE");
      return r;
    }
    std::copy(d.bytes.begin(), d.bytes.end(), buffer.begin());
    r.value = net::Datagram{d.bytes.size(), d.from};
    return r;
  }

 private:
  FakeNetwork& n_;
  uint64_t h_;
};

// A stream that reads scripted replies (a TCP server of the test).
class ScriptedStream final : public net::TcpStream {
 public:
  ScriptedStream(FakeNetwork& n, net::Ipv4 server, TcpServerScript script)
      : n_(n), server_(server), script_(std::move(script)) {}
  uint64_t Handle() const override { return 7; }
  net::NetError SetReceiveTimeout(net::Millis) override { return {}; }
  net::NetError SetNoDelay(bool) override { return {}; }
  net::NetError Send(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(n_.mutex);
    if (shut_) return Err(32, "EPIPE");
    n_.tcp_requests[server_].emplace_back(bytes.begin(), bytes.end());
    return {};
  }
  net::NetResult<size_t> Receive(std::span<uint8_t> buffer) override {
    net::NetResult<size_t> r;
    if (shut_) return r;  // 0: the connection has ended
    if (next_ < script_.replies.size()) {
      const auto& reply = script_.replies[next_++];
      if (reply.empty()) {
        r.error = Err(110, "ETIMEDOUT", true);
        return r;
      }
      size_t n = std::min(reply.size(), buffer.size());
      std::memcpy(buffer.data(), reply.data(), n);
      r.value = n;
      return r;
    }
    if (!script_.close_after) r.error = Err(110, "ETIMEDOUT", true);
    return r;
  }
  void Shutdown() override { shut_ = true; }
  std::optional<net::Endpoint> PeerEndpoint() const override { return net::Endpoint{server_, 7305}; }

 private:
  FakeNetwork& n_;
  net::Ipv4 server_;
  TcpServerScript script_;
  size_t next_ = 0;
  std::atomic<bool> shut_{false};
};

// One end of a connected pair (a listener of the program under test).
class PipeStream final : public net::TcpStream {
 public:
  PipeStream(FakeNetwork& n, std::shared_ptr<FakeNetwork::Pipe> in, std::shared_ptr<FakeNetwork::Pipe> out)
      : n_(n), in_(std::move(in)), out_(std::move(out)) {}
  ~PipeStream() override {
    std::lock_guard lock(n_.mutex);
    out_->closed = true;
  }
  uint64_t Handle() const override { return 8; }
  net::NetError SetReceiveTimeout(net::Millis) override { return {}; }
  net::NetError SetNoDelay(bool) override { return {}; }
  net::NetError Send(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(n_.mutex);
    if (shut_) return Err(32, "EPIPE");
    out_->chunks.emplace_back(bytes.begin(), bytes.end());
    return {};
  }
  net::NetResult<size_t> Receive(std::span<uint8_t> buffer) override {
    net::NetResult<size_t> r;
    std::lock_guard lock(n_.mutex);
    if (shut_) return r;  // 0: the connection has ended
    if (in_->chunks.empty()) {
      if (!in_->closed) r.error = Err(110, "ETIMEDOUT", true);
      return r;
    }
    auto chunk = std::move(in_->chunks.front());
    in_->chunks.pop_front();
    size_t n = std::min(chunk.size(), buffer.size());
    std::memcpy(buffer.data(), chunk.data(), n);
    r.value = n;
    return r;
  }
  void Shutdown() override {
    std::lock_guard lock(n_.mutex);
    shut_ = true;
    out_->closed = true;  // the peer reads the end
    n_.changed.notify_all();
  }
  std::optional<net::Endpoint> PeerEndpoint() const override {
    return net::Endpoint{net::Ipv4::Loopback(), 1};
  }

 private:
  FakeNetwork& n_;
  std::shared_ptr<FakeNetwork::Pipe> in_, out_;
  bool shut_ = false;  // guarded by n_.mutex
};

class FakeListener final : public net::TcpListener {
 public:
  FakeListener(FakeNetwork& n, uint16_t port) : n_(n), port_(port) {}
  ~FakeListener() override {
    std::lock_guard lock(n_.mutex);
    n_.listeners.erase(port_);
  }
  uint64_t Handle() const override { return 9; }
  net::NetResult<std::unique_ptr<net::TcpStream>> Accept(net::Millis) override {
    net::NetResult<std::unique_ptr<net::TcpStream>> r;
    std::lock_guard lock(n_.mutex);
    auto& pending = n_.listeners[port_];
    if (pending.empty()) {
      r.error = Err(110, "ETIMEDOUT", true);
      return r;
    }
    auto [to_server, to_client] = pending.front();
    pending.pop_front();
    r.value = std::make_unique<PipeStream>(n_, to_server, to_client);
    return r;
  }
  std::optional<net::Endpoint> LocalEndpoint() const override {
    return net::Endpoint{net::Ipv4::Any(), port_};
  }

 private:
  FakeNetwork& n_;
  uint16_t port_;
};

}  // namespace

void FakeNetwork::AddAdapter(const std::string& ip, std::vector<uint8_t> mac, uint32_t type,
                             const std::string& device) {
  adapter_list.adapters.push_back(net::AdapterInfo{type, std::move(mac), ip, device});
}

void FakeNetwork::SetTcpServer(net::Ipv4 address, TcpServerScript script) {
  std::lock_guard lock(mutex);
  tcp_servers[address] = std::move(script);
}

bool FakeNetwork::Deliver(const net::Endpoint& to, std::vector<uint8_t> bytes, const net::Endpoint& from) {
  std::lock_guard lock(mutex);
  for (auto& [h, s] : udp) {
    if (!s.bound || s.local.port != to.port) continue;
    if (!s.local.address.IsZero() && s.local.address != to.address) continue;
    s.queue.push_back({std::move(bytes), from});
    changed.notify_all();
    return true;
  }
  return false;
}

std::vector<SentDatagram> FakeNetwork::Sent() const {
  std::lock_guard lock(const_cast<std::mutex&>(mutex));
  return sent;
}

void FakeNetwork::ClearSent() {
  std::lock_guard lock(mutex);
  sent.clear();
}

size_t FakeNetwork::OpenUdpSockets() const {
  std::lock_guard lock(const_cast<std::mutex&>(mutex));
  return udp.size();
}

size_t FakeNetwork::TcpConnects() const {
  std::lock_guard lock(const_cast<std::mutex&>(mutex));
  return tcp_connects;
}

std::vector<std::vector<uint8_t>> FakeNetwork::TcpRequests(net::Ipv4 server) const {
  std::lock_guard lock(const_cast<std::mutex&>(mutex));
  auto it = tcp_requests.find(server);
  return it == tcp_requests.end() ? std::vector<std::vector<uint8_t>>{} : it->second;
}

bool FakeNetwork::StartLibrary() {
  ++library_starts;
  return true;
}

void FakeNetwork::StopLibrary() { ++library_stops; }

net::NetResult<std::unique_ptr<net::UdpSocket>> FakeNetwork::CreateUdp() {
  net::NetResult<std::unique_ptr<net::UdpSocket>> r;
  std::lock_guard lock(mutex);
  if (creates++ == fail_create_at) {
    r.error = Err(24, "EMFILE");
    return r;
  }
  uint64_t h = next_handle++;
  udp[h].handle = h;
  r.value = std::make_unique<FakeUdp>(*this, h);
  return r;
}

net::NetResult<std::unique_ptr<net::TcpListener>> FakeNetwork::ListenTcp(const net::Endpoint& local, int,
                                                                         bool) {
  net::NetResult<std::unique_ptr<net::TcpListener>> r;
  std::lock_guard lock(mutex);
  if (listeners.count(local.port)) {
    r.error = Err(98, "EADDRINUSE");
    return r;
  }
  listeners[local.port];
  r.value = std::make_unique<FakeListener>(*this, local.port);
  return r;
}

net::NetResult<std::unique_ptr<net::TcpStream>> FakeNetwork::ConnectTcp(const net::Endpoint& to,
                                                                        net::Millis) {
  net::NetResult<std::unique_ptr<net::TcpStream>> r;
  std::lock_guard lock(mutex);
  ++tcp_connects;
  auto listener = listeners.find(to.port);
  if (listener != listeners.end()) {
    auto to_server = std::make_shared<Pipe>();
    auto to_client = std::make_shared<Pipe>();
    listener->second.emplace_back(to_server, to_client);
    r.value = std::make_unique<PipeStream>(*this, to_client, to_server);
    return r;
  }
  auto it = tcp_servers.find(to.address);
  if (it == tcp_servers.end() || it->second.refuse) {
    r.error = Err(111, "ECONNREFUSED");
    return r;
  }
  if (it->second.time_out) {
    r.error = Err(110, "ETIMEDOUT", true);
    return r;
  }
  r.value = std::make_unique<ScriptedStream>(*this, to.address, it->second);
  return r;
}

net::SelectResult FakeNetwork::SelectReadable(std::span<net::UdpSocket* const> sockets, net::Millis timeout) {
  net::SelectResult r;
  r.readable.assign(sockets.size(), false);
  ++select_calls;
  std::unique_lock lock(mutex);
  if (select_fails) {
    r.error = Err(9, "EBADF");
    return r;
  }
  auto any_ready = [&] {
    r.ready = 0;
    for (size_t i = 0; i < sockets.size(); ++i) {
      auto it = udp.find(sockets[i]->Handle());
      r.readable[i] = it != udp.end() && !it->second.queue.empty();
      r.ready += r.readable[i] ? 1 : 0;
    }
    return r.ready > 0;
  };
  changed.wait_for(lock, timeout, any_ready);
  any_ready();
  return r;
}

}  // namespace vx::discovery::testing
