// The start-up port self-tests. Their outcome is only traced; they must never
// hold up the start for long or stop it.
#include <cstdio>
#include <cstring>

#include "discovery/discovery.h"
#include "platform/trace.h"

namespace vx::discovery {
namespace {

constexpr uint8_t kUdpProbe[9] = {'t', 'e', 's', 't', '_', 'u', 'd', 'p', 0};
constexpr uint8_t kTcpProbe[9] = {'t', 'e', 's', 't', '_', 't', 'c', 'p', 0};

std::string Text(const uint8_t* bytes, size_t n) {
  return std::string(reinterpret_cast<const char*>(bytes), strnlen(reinterpret_cast<const char*>(bytes), n));
}

}  // namespace

bool Discovery::CheckUDPSocket() {
  auto slots = sockets_.Snapshot();
  if (slots.empty() || slots.front().index != 0) return false;
  const SocketSlot& slot = slots.front();
  for (int pass = 0; pass < 3; ++pass) {
    // A failed send ends the test as passed: the test is about receiving.
    if (!slot.socket->SendTo(kUdpProbe, slot.broadcast).ok()) return true;
    int timeouts = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
      main_thread_.ProcessMessages();
      uint8_t buffer[64] = {};
      auto got = slot.socket->ReceiveFrom(buffer);
      if (!got.ok()) {
        if (got.error.timed_out && ++timeouts < 2) continue;
        break;
      }
      TraceLine("CheckUDPSocket() : " + got.value.from.address.ToString() + " : " +
                Text(buffer, got.value.length));
      if (got.value.length >= sizeof kUdpProbe && std::memcmp(buffer, kUdpProbe, sizeof kUdpProbe) == 0)
        return true;
    }
  }
  return false;
}

bool Discovery::CheckTCPSocket() {
  if (!sockets_.SocketsReady() || adapters_.empty()) return false;
  auto adapter_ip = net::Ipv4::Parse(adapters_.front().ip);
  if (!adapter_ip) return false;
  auto listener = net_.ListenTcp(net::Endpoint{net::Ipv4::Any(), settings_.config_port}, 5, true);
  if (!listener.ok()) return false;
  auto client =
      net_.ConnectTcp(net::Endpoint{*adapter_ip, settings_.config_port}, settings_.self_test_connect_timeout);
  if (!client.ok()) return false;
  if (!client.value->Send(kTcpProbe).ok()) return true;
  int timeouts = 0;
  for (int round = 0; round < 10; ++round) {
    main_thread_.ProcessMessages();
    auto accepted = listener.value->Accept(settings_.self_test_receive_timeout);
    if (!accepted.ok()) {
      std::fputs("ConfigdInit() : accept : call error!\n", stderr);
      break;
    }
    accepted.value->SetReceiveTimeout(settings_.self_test_receive_timeout);
    uint8_t buffer[64] = {};
    auto got = accepted.value->Receive(buffer);
    if (!got.ok()) {
      if (got.error.timed_out && ++timeouts < 2) continue;
      break;
    }
    auto peer = accepted.value->PeerEndpoint();
    TraceLine("CheckTCPSocket() : " + (peer ? peer->address.ToString() : std::string("?")) + " : " +
              Text(buffer, got.value));
    if (got.value >= sizeof kTcpProbe && std::memcmp(buffer, kTcpProbe, sizeof kTcpProbe) == 0) return true;
  }
  return false;
}

}  // namespace vx::discovery
