#include "discovery/socket_table.h"

#include "platform/trace.h"

namespace vx::discovery {

std::shared_ptr<net::UdpSocket> SocketTable::Track(std::unique_ptr<net::UdpSocket> socket) {
  {
    std::lock_guard lock(alive_->mutex);
    ++alive_->open;
  }
  return std::shared_ptr<net::UdpSocket>(socket.release(), [alive = alive_](net::UdpSocket* s) {
    delete s;  // closes the socket
    {
      std::lock_guard lock(alive->mutex);
      --alive->open;
    }
    alive->closed.notify_all();
  });
}

bool SocketTable::WaitAllClosed(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(alive_->mutex);
  return alive_->closed.wait_for(lock, timeout, [this] { return alive_->open == 0; });
}

size_t SocketTable::OpenSockets() const {
  std::lock_guard lock(alive_->mutex);
  return alive_->open;
}

bool SocketTable::Open(net::NetworkPort& net, const std::vector<Adapter>& adapters, bool ephemeral,
                       const DiscoverySettings& settings) {
  CloseAll();
  if (adapters.empty()) return false;
  const uint16_t port = ephemeral ? 0 : settings.discovery_port;
  std::vector<SocketSlot> opened;
  uint64_t highest = 0;
  for (size_t k = 0; k < adapters.size() && k < kSlots; ++k) {
    const Adapter& a = adapters[k];
    auto ip = net::Ipv4::Parse(a.ip);
    auto created = net.CreateUdp();
    if (!ip || !created.ok()) {
      TraceLine("OpenSocket(" + std::to_string(port) + ") : socket call failed! " + created.error.name);
      return false;  // `opened` closes its sockets
    }
    std::shared_ptr<net::UdpSocket> s = Track(std::move(created.value));
    if (auto e = s->EnableBroadcast(); !e.ok()) {
      TraceLine("OpenSocket(" + std::to_string(port) + ") : setsockopt SO_BROADCAST failed! " + e.name);
      return false;
    }
    net::Endpoint local{*ip, port};
    if (auto e = s->Bind(net::BindTarget{local, a.device}); !e.ok()) {
      TraceLine("OpenSocket(" + std::to_string(port) + ") : bind call failed! [broadcast] !" + e.name);
      return false;
    }
    s->EnableDebug();
    s->SetReceiveTimeout(settings.receive_timeout);
    if (auto bound = s->LocalEndpoint()) local.port = bound->port;
    highest = std::max(highest, s->Handle());
    TraceLine("OpenSocket(" + a.ip + ":" + std::to_string(local.port) + ") : sb[" + std::to_string(k) +
              "] : " + std::to_string(s->Handle()) + " sk_max : " + std::to_string(highest));
    opened.push_back(SocketSlot{k, std::move(s), local,
                                net::Endpoint{settings.broadcast, settings.discovery_port}, a.mac, a.ip});
  }
  std::lock_guard lock(mutex_);
  slots_ = std::move(opened);
  highest_ = highest;
  ready_ = true;
  return true;
}

void SocketTable::CloseAll() {
  std::vector<SocketSlot> closing;
  {
    std::lock_guard lock(mutex_);
    closing.swap(slots_);
    highest_ = 0;
    ready_ = false;
  }
  // The sockets close here, or when the last snapshot holding one ends.
}

std::vector<SocketSlot> SocketTable::Snapshot() const {
  std::lock_guard lock(mutex_);
  return slots_;
}

std::shared_ptr<net::UdpSocket> SocketTable::Slot(size_t k) const {
  std::lock_guard lock(mutex_);
  for (const auto& s : slots_)
    if (s.index == k) return s.socket;
  return nullptr;
}

}  // namespace vx::discovery
