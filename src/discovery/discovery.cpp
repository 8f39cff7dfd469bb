#include "discovery/discovery.h"

#include "discovery/protocol.h"
#include "platform/trace.h"

namespace vx::discovery {

Discovery::Discovery(net::NetworkPort& net, Clock& clock, MainThread& main_thread, const TextCodec& codec,
                     DiscoverySettings settings)
    : net_(net), clock_(clock), main_thread_(main_thread), codec_(codec), settings_(settings) {}

int Discovery::GetWindowsVersion() {
  version_flags_ = discovery::GetWindowsVersion(net_);
  return version_flags_;
}

void Discovery::EnumerateAdapters() {
  if (!library_started_) library_started_ = net_.StartLibrary();
  adapters_.clear();
  adapters_ = GetMacAddress(net_, GetWindowsVersion());
}

bool Discovery::OpenSocket(bool ephemeral) { return sockets_.Open(net_, adapters_, ephemeral, settings_); }

void Discovery::CloseSockets() { sockets_.CloseAll(); }

void Discovery::StopSocketLibrary() {
  if (!library_started_) return;
  net_.StopLibrary();
  library_started_ = false;
}

bool Discovery::CheckUDPPort(uint16_t port) {
  auto table = net_.GetUdpTable();
  switch (table.status) {
    case net::UdpTableStatus::kOk:
      break;
    case net::UdpTableStatus::kInsufficientBuffer:
      TraceLine("CheckUDPPort() : Error : ERROR_INSUFFICIENT_BUFFER ! ");
      return false;
    case net::UdpTableStatus::kInvalidParameter:
      TraceLine("CheckUDPPort() : Error : ERROR_INVALID_PARAMETER !");
      return false;
    case net::UdpTableStatus::kNotSupported:
      TraceLine("CheckUDPPort() : Error : ERROR_NOT_SUPPORTED !");
      return false;
    case net::UdpTableStatus::kOther:
      TraceLine("CheckUDPPort() : Error : Other !");
      return false;
  }
  for (uint16_t p : table.local_ports)
    if (p == port) return true;
  return false;
}

void Discovery::FindQuorinSend() {
  if (!sockets_.SocketsReady()) return;
  const LocalTime now = clock_.LocalNow();
  for (const SocketSlot& slot : sockets_.Snapshot()) {
    const Request request = BuildDiscoveryRequest(slot.mac, now);
    for (int i = 0; i < 3; ++i) {
      if (auto e = slot.socket->SendTo(request, slot.broadcast); !e.ok())
        TraceLine("FindQuorinSend(" + std::to_string(slot.socket->Handle()) + ") : sendto : call failed !" +
                  std::to_string(e.code) + " " + e.name);
    }
  }
}

void Discovery::PortSelfTest() {
  EnumerateAdapters();
  if (OpenSocket(false)) {
    TraceLine(std::string("CheckUDPSocket() : ") + (CheckUDPSocket() ? "OK" : "NG"));
    TraceLine(std::string("CheckTCPSocket() : ") + (CheckTCPSocket() ? "OK" : "NG"));
  } else if (CheckUDPPort(settings_.discovery_port)) {
    TraceLine("Port : " + std::to_string(settings_.discovery_port) + " be used by others.");
  } else {
    TraceLine("Port : " + std::to_string(settings_.discovery_port) + " maybe be network is not ready.");
  }
  CloseSockets();
}

bool Discovery::OpenWorkingSockets() {
  GetWindowsVersion();
  EnumerateAdapters();
  if (OpenSocket(false)) return true;
  if (CheckUDPPort(settings_.discovery_port)) {
    EnumerateAdapters();
    bool opened = OpenSocket(true);
    TraceLine("Port : " + std::to_string(settings_.discovery_port) +
              " be used by others. sk_max : " + std::to_string(sockets_.HighestHandle()));
    return opened;
  }
  TraceLine("Port : " + std::to_string(settings_.discovery_port) + " maybe be network is not ready.");
  return false;
}

}  // namespace vx::discovery
