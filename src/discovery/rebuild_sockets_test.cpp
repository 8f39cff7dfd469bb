// The socket rebuild after an address change, on this platform's real network
// adapter tied to loopback: one adapter on 127.0.0.1, an explicit target
// address instead of the broadcast address, and a free port in place of 7419.
// The listener waits in select with the product's time-out while the sockets
// are rebuilt; the new set must get the same port back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "discovery/discovery_service.h"
#include "discovery/testing/wait.h"
#include "platform/trace.h"

namespace vx::discovery {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// A socket of the real adapter that is never asked to broadcast (loopback
// needs no SO_BROADCAST, and the native adapter refuses it outside the lab).
class LoopbackUdp final : public net::UdpSocket {
 public:
  explicit LoopbackUdp(std::unique_ptr<net::UdpSocket> real) : real_(std::move(real)) {}
  uint64_t Handle() const override { return real_->Handle(); }
  net::NetError EnableBroadcast() override { return {}; }
  net::NetError EnableDebug() override { return real_->EnableDebug(); }
  net::NetError SetReceiveTimeout(net::Millis t) override { return real_->SetReceiveTimeout(t); }
  net::NetError Bind(const net::BindTarget& target) override { return real_->Bind(target); }
  std::optional<net::Endpoint> LocalEndpoint() const override { return real_->LocalEndpoint(); }
  net::NetError SendTo(std::span<const uint8_t> bytes, const net::Endpoint& to) override {
    if (to.address != net::Ipv4::Loopback()) return net::NetError{1, false, "not loopback"};
    return real_->SendTo(bytes, to);
  }
  net::NetResult<net::Datagram> ReceiveFrom(std::span<uint8_t> buffer) override {
    return real_->ReceiveFrom(buffer);
  }

 private:
  std::unique_ptr<net::UdpSocket> real_;
};

// The system's network with one adapter on loopback; everything else (the
// sockets, select, the UDP listener table) is the real adapter's.
class LoopbackNetwork final : public net::NetworkPort {
 public:
  // The socket library is started for the test's own sockets too (Winsock).
  LoopbackNetwork() { started_ = real_->StartLibrary(); }
  ~LoopbackNetwork() override {
    if (started_) real_->StopLibrary();
  }
  bool StartLibrary() override { return real_->StartLibrary(); }
  void StopLibrary() override { real_->StopLibrary(); }
  std::optional<net::OsVersion> QueryOsVersion() override { return net::OsVersion{6, 1}; }
  net::AdapterList GetAdaptersInfo() override {
    net::AdapterList list;
    list.adapters.push_back(net::AdapterInfo{6, {2, 0, 0, 0, 0, 1}, "127.0.0.1", ""});
    return list;
  }
  net::InterfaceTable GetIfTable() override { return {}; }
  net::AddressTable GetIpAddrTable() override { return {}; }
  net::UdpListenerTable GetUdpTable() override { return real_->GetUdpTable(); }
  net::NetResult<std::unique_ptr<net::UdpSocket>> CreateUdp() override {
    net::NetResult<std::unique_ptr<net::UdpSocket>> r;
    if (refuse_creates.load() > 0) {
      --refuse_creates;
      r.error = net::NetError{24, false, "EMFILE"};
      return r;
    }
    auto created = real_->CreateUdp();
    r.error = created.error;
    if (created.ok()) r.value = std::make_unique<LoopbackUdp>(std::move(created.value));
    return r;
  }
  net::NetResult<std::unique_ptr<net::TcpListener>> ListenTcp(const net::Endpoint&, int, bool) override {
    return {nullptr, net::NetError{1, false, "not used"}};
  }
  net::NetResult<std::unique_ptr<net::TcpStream>> ConnectTcp(const net::Endpoint&, net::Millis) override {
    return {nullptr, net::NetError{1, false, "not used"}};
  }
  net::SelectResult SelectReadable(std::span<net::UdpSocket* const> sockets, net::Millis timeout) override {
    ++selects;
    return real_->SelectReadable(sockets, timeout);
  }
  std::optional<std::string> BroadcastRefusal() const override { return std::nullopt; }

  std::atomic<int> selects{0};
  std::atomic<int> refuse_creates{0};  // the next n sockets cannot be created

  // A UDP port on loopback that nobody holds right now.
  // 0 when no socket could be made.
  uint16_t FreePort() {
    auto s = Sender();
    auto local = s ? s->LocalEndpoint() : std::nullopt;
    return local ? local->port : 0;
  }
  std::unique_ptr<net::UdpSocket> Sender() {
    auto s = real_->CreateUdp();
    if (!s.ok() || !s.value->Bind(net::BindTarget{{net::Ipv4::Loopback(), 0}, ""}).ok()) return nullptr;
    return std::move(s.value);
  }

 private:
  std::unique_ptr<net::NetworkPort> real_ = net::MakeSystemNetwork();
  bool started_ = false;
};

std::vector<uint8_t> Reply() {
  ServerRecordFields f;
  f.mac = {0, 0x80, 0x92, 0, 0, 0x21};
  f.model = "MD-LAN01";
  f.configd_type = 1;
  Record r = EncodeServerRecord(f);
  return std::vector<uint8_t>(r.begin(), r.end());
}

class RebuildSocketsTest : public ::testing::Test {
 protected:
  DiscoverySettings Settings() {
    DiscoverySettings s;  // the product's select time-out (5 s) and waits
    s.discovery_port = port_;
    s.broadcast = net::Ipv4::Loopback();
    return s;
  }
  uint16_t BoundPort() {
    auto slots = service_.Core().Sockets().Snapshot();
    return slots.empty() ? 0 : slots[0].local.port;
  }
  // Starts the listener and waits until it sits in select on the sockets.
  void StartListening() {
    ASSERT_NE(port_, 0) << "no loopback socket";
    ASSERT_TRUE(service_.OpenWorkingSockets());
    ASSERT_EQ(BoundPort(), port_);
    const int before = net_.selects.load();
    service_.StartDiscovery(ListenerWiring{});
    ASSERT_NE(service_.Listener(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return net_.selects.load() > before; }));
  }

  LoopbackNetwork net_;
  const uint16_t port_ = net_.FreePort();
  DiscoveryService service_{net_, SystemClock(), InlineMainThread(), IdentityTextCodec(), Settings()};
};

TEST_F(RebuildSocketsTest, TheNewSocketsGetTheDiscoveryPortBackAtOnce) {
  StartListening();
  TraceCapture trace;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(service_.RebuildSockets());
  const auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(BoundPort(), port_) << "fell back to an ephemeral port";
  EXPECT_FALSE(trace.Contains("be used by others"));
  // The listener's wait was interrupted, not waited out.
  EXPECT_LT(took, 2s);

  // The resumed listener reads the new sockets.
  auto server = net_.Sender();
  ASSERT_TRUE(server);
  const auto reply = Reply();
  ASSERT_TRUE(server->SendTo(reply, net::Endpoint{net::Ipv4::Loopback(), port_}).ok());
  ASSERT_TRUE(WaitUntil([&] { return service_.Core().Table().Count() == 1; }));
  EXPECT_TRUE(service_.Core().Table().Find(net::Ipv4::Loopback()));
  service_.StopListener();
}

TEST_F(RebuildSocketsTest, AListenerThatCannotBeWokenIsWaitedForAndThePortStillComesBack) {
  DiscoverySettings settings = Settings();
  settings.select_timeout = 300ms;
  DiscoveryService service(net_, SystemClock(), InlineMainThread(), IdentityTextCodec(), settings);
  ASSERT_NE(port_, 0) << "no loopback socket";
  ASSERT_TRUE(service.OpenWorkingSockets());
  net_.refuse_creates = 1;  // the listener's wake-up socket
  const int before = net_.selects.load();
  service.StartDiscovery(ListenerWiring{});
  ASSERT_TRUE(WaitUntil([&] { return net_.selects.load() > before; }));
  ASSERT_TRUE(service.RebuildSockets());
  auto slots = service.Core().Sockets().Snapshot();
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].local.port, port_);
  service.StopListener();
}

TEST_F(RebuildSocketsTest, AReaderStillHoldingAnOldSocketIsWaitedFor) {
  ASSERT_NE(port_, 0) << "no loopback socket";
  ASSERT_TRUE(service_.OpenWorkingSockets());
  // Another reader (an info query sending the request) still holds the old
  // set when the rebuild has closed the table; it lets go only then.
  auto held = std::make_shared<std::vector<SocketSlot>>(service_.Core().Sockets().Snapshot());
  std::atomic<bool> done{false};
  std::thread reader([&] {
    WaitUntil([&] { return !service_.Core().Sockets().SocketsReady() || done.load(); });
    held.reset();
  });
  const bool opened = service_.RebuildSockets();
  done = true;
  reader.join();
  ASSERT_TRUE(opened);
  EXPECT_EQ(BoundPort(), port_);
  EXPECT_EQ(service_.Core().Sockets().OpenSockets(), 1u);
}

}  // namespace
}  // namespace vx::discovery
