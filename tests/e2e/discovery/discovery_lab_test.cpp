// Discovery against the simulated servers, run inside the lab's PC namespace
// vxpc1 by discovery_lab.sh: the real POSIX network adapter, the listener and
// the info query, with vx-uds steered through its control socket.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "discovery/discovery_service.h"
#include "platform/net/network.h"
#include "uds_client.h"

namespace vx::discovery {
namespace {

using namespace std::chrono_literals;

std::string g_control;      // vx-uds in vxsrv
std::string g_wan_control;  // vx-uds in vxwan

template <class Pred>
bool WaitUntil(Pred done, std::chrono::milliseconds deadline = 15000ms) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

std::string Uds(const std::string& path, const std::string& line) { return UdsCommand(path, line); }

nlohmann::json UdsStats() {
  std::string r = Uds(g_control, "stats");
  return r.rfind("OK ", 0) == 0 ? nlohmann::json::parse(r.substr(3)) : nlohmann::json::object();
}

uint64_t RequestsFrom(const std::string& ip) {
  auto s = UdsStats();
  return s["udp_requests"].contains(ip) ? s["udp_requests"][ip].get<uint64_t>() : 0;
}

uint64_t TcpRequestsTo(const std::string& server) {
  auto s = UdsStats();
  return s["tcp_requests"].contains(server) ? s["tcp_requests"][server].get<uint64_t>() : 0;
}

class Recorder final : public DatagramForwarder, public MasterBusQuery {
 public:
  bool SendUdpPacket(uint32_t source, const uint8_t* bytes, uint32_t n) override {
    std::lock_guard lock(mutex_);
    packets_.push_back(
        {net::Ipv4::FromNetworkOrder(source), std::string(reinterpret_cast<const char*>(bytes), n)});
    return true;
  }
  bool MasterBusValid() const override { return true; }
  size_t Boots(const net::Ipv4& from) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& [src, bytes] : packets_) n += (src == from && bytes.rfind("RBOOTUP", 0) == 0) ? 1 : 0;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<net::Ipv4, std::string>> packets_;
};

std::string Model(const Record& r) { return reinterpret_cast<const char*>(r.data() + off::kModel); }

class DiscoveryLab : public ::testing::Test {
 protected:
  void StartDiscovery() {
    ASSERT_FALSE(net_->BroadcastRefusal()) << "not inside a lab namespace";
    ASSERT_TRUE(service_.OpenWorkingSockets());
    service_.StartDiscovery(ListenerWiring{&recorder_, &recorder_, nullptr, nullptr});
    ASSERT_TRUE(WaitUntil([&] { return service_.Core().Table().Count() >= 4; }))
        << "servers found: " << service_.Core().Table().Count();
  }
  std::optional<Record> Entry(const char* ip) { return service_.Core().Table().Find(*net::Ipv4::Parse(ip)); }
  // Runs one info query and waits for its end; the values it handed over.
  std::optional<ServerInfo> Query(const char* ip, const char* location) {
    auto pending = std::make_shared<std::atomic<bool>>(false);
    auto got = std::make_shared<std::optional<ServerInfo>>();
    auto m = std::make_shared<std::mutex>();
    service_.InfoRequests().StartServerInfoRequest(ip, location, pending, [got, m](const ServerInfo& info) {
      std::lock_guard lock(*m);
      *got = info;
    });
    EXPECT_TRUE(WaitUntil([&] { return !pending->load(); }));
    std::lock_guard lock(*m);
    return *got;
  }

  std::unique_ptr<net::NetworkPort> net_ = net::MakeSystemNetwork();
  // The listener ends within one select period; a short one keeps the test quick.
  static DiscoverySettings Settings() {
    DiscoverySettings s;
    s.select_timeout = 200ms;
    return s;
  }
  DiscoveryService service_{*net_, SystemClock(), InlineMainThread(), IdentityTextCodec(), Settings()};
  Recorder recorder_;
};

TEST_F(DiscoveryLab, FindsTheServersOnBothSubnetsButNotTheRemoteOne) {
  StartDiscovery();
  for (const char* ip : {"10.77.0.21", "10.77.0.22", "10.77.0.23", "10.88.0.21"})
    EXPECT_TRUE(Entry(ip)) << ip;
  EXPECT_FALSE(Entry("10.99.0.21"));
  EXPECT_EQ(Model(*Entry("10.77.0.23")), "MD-WLAN04N");
}

TEST_F(DiscoveryLab, ASecondReplyFromOneAddressReplacesItsEntry) {
  StartDiscovery();
  const size_t count = service_.Core().Table().Count();
  ASSERT_EQ(Uds(g_control, "set srv1 model MD-WLAN01N"), "OK");
  ASSERT_EQ(Uds(g_control, "announce srv1 long"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return Model(*Entry("10.77.0.21")) == "MD-WLAN01N"; }));
  EXPECT_EQ(service_.Core().Table().Count(), count);
  Uds(g_control, "set srv1 model MD-LAN01");
}

TEST_F(DiscoveryLab, OnlyAnUnknownServersBootCausesOneBurstOfThreeRequests) {
  StartDiscovery();
  const net::Ipv4 fresh{{10, 77, 0, 29}};
  ASSERT_EQ(Uds(g_control, "reset-stats"), "OK");
  ASSERT_EQ(Uds(g_control, R"(add {"name": "new1", "mac": "00:80:92:00:00:29", "ip": "10.77.0.29"})"), "OK");
  ASSERT_TRUE(WaitUntil([&] { return recorder_.Boots(fresh) == 1 && Entry("10.77.0.29"); }));
  EXPECT_TRUE(WaitUntil([&] { return RequestsFrom("10.77.0.11") >= 3; }));

  // Now known: its next boot is forwarded but asks nothing. A request sent
  // after the forward (a fence on the same path) is counted after any burst.
  ASSERT_EQ(Uds(g_control, "announce new1 boot"), "OK");
  ASSERT_TRUE(WaitUntil([&] { return recorder_.Boots(fresh) == 2; }));
  auto fence = net_->CreateUdp();
  ASSERT_TRUE(fence.value->Bind(net::BindTarget{{net::Ipv4{{10, 77, 0, 11}}, 0}, ""}).ok());
  ASSERT_TRUE(fence.value
                  ->SendTo(BuildDiscoveryRequest(Mac{}, SystemClock().LocalNow()),
                           {net::Ipv4{{10, 77, 0, 21}}, kDiscoveryPort})
                  .ok());
  ASSERT_TRUE(WaitUntil([&] { return RequestsFrom("10.77.0.11") >= 4; }));
  EXPECT_EQ(RequestsFrom("10.77.0.11"), 4u);  // one burst of 3, then the fence
  EXPECT_EQ(service_.Listener()->GetStats().requests, 1u);
  Uds(g_control, "remove new1");
}

TEST_F(DiscoveryLab, TheInfoQueryOverTcpFillsTheValues) {
  StartDiscovery();
  const uint64_t before = TcpRequestsTo("srv2");
  auto got = Query("10.77.0.22", "1");
  ASSERT_TRUE(got);
  EXPECT_EQ(got->mac_address, "00:80:92:00:00:22");
  EXPECT_EQ(got->model, "MD-WLAN01N");
  EXPECT_EQ(got->configd_version, "1.50");
  EXPECT_EQ(got->network_type, 1u);
  EXPECT_EQ(TcpRequestsTo("srv2"), before + 1);
}

TEST_F(DiscoveryLab, WithTcpClosedTheInfoQueryFindsTheServerInTheTable) {
  StartDiscovery();
  ASSERT_EQ(Uds(g_control, "tcp srv3 off"), "OK");
  auto got = Query("10.77.0.23", "3");
  Uds(g_control, "tcp srv3 on");
  ASSERT_TRUE(got);
  EXPECT_EQ(got->mac_address, "00:80:92:00:00:23");
  EXPECT_EQ(TcpRequestsTo("srv3"), 0u);
}

TEST_F(DiscoveryLab, TheRemoteServerIsReachedOverTcpThroughTheRouter) {
  StartDiscovery();
  auto got = Query("10.99.0.21", "1");
  ASSERT_TRUE(got);
  EXPECT_EQ(got->mac_address, "00:80:92:00:00:99");
}

TEST_F(DiscoveryLab, WithTheDiscoveryPortHeldTheServersAnswerOnEphemeralPorts) {
  // Another program on this PC holds the port on every address.
  int blocker = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(kDiscoveryPort);
  ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  StartDiscovery();
  for (const auto& slot : service_.Core().Sockets().Snapshot()) EXPECT_NE(slot.local.port, kDiscoveryPort);
  // Unicast answers (own subnet) and broadcast answers (10.88.0.21) both arrive.
  EXPECT_TRUE(Entry("10.77.0.21"));
  EXPECT_TRUE(Entry("10.88.0.21"));
  close(blocker);
}

// The address-change rebuild with the product's 5 s select: the listener is
// woken, the old sockets are closed before the new ones open, and the new set
// holds port 7419 again (not ephemeral ports) and hears the servers.
TEST(DiscoveryLabRebuild, TheRebuiltSocketsKeepTheDiscoveryPortAndHearTheServers) {
  auto net = net::MakeSystemNetwork();
  ASSERT_FALSE(net->BroadcastRefusal()) << "not inside a lab namespace";
  DiscoveryService service{*net, SystemClock(), InlineMainThread(), IdentityTextCodec(), DiscoverySettings{}};
  Recorder recorder;
  ASSERT_TRUE(service.OpenWorkingSockets());
  service.StartDiscovery(ListenerWiring{&recorder, &recorder, nullptr, nullptr});
  ASSERT_TRUE(WaitUntil([&] { return service.Core().Table().Count() >= 4; }));
  const uint64_t received = service.Listener()->GetStats().received;

  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(service.RebuildSockets());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s) << "the listener's select was waited out";
  auto slots = service.Core().Sockets().Snapshot();
  ASSERT_FALSE(slots.empty());
  for (const auto& slot : slots) EXPECT_EQ(slot.local.port, kDiscoveryPort) << slot.ip;

  // The request sent by the rebuild is answered on the new sockets.
  ASSERT_TRUE(WaitUntil([&] { return service.Listener()->GetStats().received >= received + 4; }));
  ASSERT_EQ(Uds(g_control, "set srv1 model MD-WLAN01N"), "OK");
  ASSERT_EQ(Uds(g_control, "announce srv1 long"), "OK");
  auto model = [&] {
    auto e = service.Core().Table().Find(net::Ipv4{{10, 77, 0, 21}});
    return e ? Model(*e) : std::string();
  };
  EXPECT_TRUE(WaitUntil([&] { return model() == "MD-WLAN01N"; }));
  Uds(g_control, "set srv1 model MD-LAN01");
  const auto t1 = std::chrono::steady_clock::now();
  service.StopListener();
  EXPECT_LT(std::chrono::steady_clock::now() - t1, 2s) << "the listener's end was waited out";
}

}  // namespace
}  // namespace vx::discovery

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--control") vx::discovery::g_control = argv[i + 1];
    if (std::string(argv[i]) == "--wan-control") vx::discovery::g_wan_control = argv[i + 1];
  }
  if (vx::discovery::g_control.empty()) {
    std::fprintf(stderr, "usage: discovery_lab_test --control PATH [--wan-control PATH]\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
