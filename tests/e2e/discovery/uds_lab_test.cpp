// The simulated servers as a PC sees them, run inside vxpc1 by
// discovery_lab.sh: malformed requests, who answers, reboots, address
// changes, renames, periodic announcements and the TCP port.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "discovery/protocol.h"
#include "platform/clock.h"
#include "platform/net/network.h"
#include "uds_client.h"

namespace vx::discovery {
namespace {

using namespace std::chrono_literals;

std::string g_control;
const net::Ipv4 kPc{{10, 77, 0, 11}};

std::string Uds(const std::string& line) { return UdsCommand(g_control, line); }

nlohmann::json UdsJson(const std::string& command) {
  std::string r = Uds(command);
  return r.rfind("OK ", 0) == 0 ? nlohmann::json::parse(r.substr(3)) : nlohmann::json();
}

struct Got {
  std::vector<uint8_t> bytes;
  net::Ipv4 from;
};

class UdsLab : public ::testing::Test {
 protected:
  // A socket bound to `address`:`port` (any address receives broadcasts).
  std::unique_ptr<net::UdpSocket> Socket(net::Ipv4 address, uint16_t port) {
    auto s = net_->CreateUdp();
    EXPECT_TRUE(s.ok());
    EXPECT_TRUE(s.value->Bind(net::BindTarget{{address, port}, ""}).ok());
    s.value->SetReceiveTimeout(200ms);
    return std::move(s.value);
  }
  // Waits for the first datagram that `match` accepts, up to `deadline`.
  template <class Match>
  std::optional<Got> Receive(net::UdpSocket& s, Match match, std::chrono::milliseconds deadline = 8000ms) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
      std::array<uint8_t, kReceiveBufferSize> buffer{};
      auto r = s.ReceiveFrom(buffer);
      if (!r.ok()) continue;
      Got g{std::vector<uint8_t>(buffer.begin(), buffer.begin() + static_cast<long>(r.value.length)),
            r.value.from.address};
      if (match(g)) return g;
    }
    return std::nullopt;
  }
  static bool IsReply(const Got& g) {
    return g.bytes.size() == kRecordSize && ContainsKeyword(g.bytes, kReplyMagic);
  }
  static bool IsBoot(const Got& g) { return ContainsKeyword(g.bytes, kBootKeyword); }
  Request ValidRequest() { return BuildDiscoveryRequest(Mac{2, 0, 0, 0, 0, 0x11}, SystemClock().LocalNow()); }
  bool TcpOpen(const char* ip) { return net_->ConnectTcp({*net::Ipv4::Parse(ip), kConfigPort}, 1000ms).ok(); }

  std::unique_ptr<net::NetworkPort> net_ = net::MakeSystemNetwork();
};

TEST_F(UdsLab, MalformedRequestsAreIgnoredAndAUnicastOneIsAnsweredByItsServerOnly) {
  ASSERT_EQ(Uds("reset-stats"), "OK");
  auto s = Socket(kPc, 0);
  const net::Endpoint srv2{net::Ipv4{{10, 77, 0, 22}}, kDiscoveryPort};
  Request bad_sum = ValidRequest();
  bad_sum[52] ^= 0x40;
  Request bad_magic = ValidRequest();
  bad_magic[3] = 'e';
  std::vector<uint8_t> longer(bad_sum.begin(), bad_sum.end());
  longer.push_back(0);
  // Named: a temporary in the loop's range would be gone before the body runs.
  const Request valid = ValidRequest();
  for (std::span<const uint8_t> d :
       {std::span<const uint8_t>(bad_sum), std::span<const uint8_t>(bad_magic),
        std::span<const uint8_t>(valid.data(), 52), std::span<const uint8_t>(longer)})
    ASSERT_TRUE(s->SendTo(d, srv2).ok());
  ASSERT_TRUE(s->SendTo(ValidRequest(), srv2).ok());
  // The only answer is the one to the valid request, from srv2 itself.
  auto first = Receive(*s, [](const Got&) { return true; });
  ASSERT_TRUE(first);
  EXPECT_TRUE(IsReply(*first));
  EXPECT_EQ(first->from, srv2.address);
  EXPECT_EQ(
      std::vector<uint8_t>(first->bytes.begin() + off::kAddress, first->bytes.begin() + off::kAddress + 4),
      (std::vector<uint8_t>{10, 77, 0, 22}));
  // A request to srv1 afterwards is answered by srv1 (nothing else was queued).
  ASSERT_TRUE(s->SendTo(ValidRequest(), {net::Ipv4{{10, 77, 0, 21}}, kDiscoveryPort}).ok());
  auto second = Receive(*s, [](const Got&) { return true; });
  ASSERT_TRUE(second);
  EXPECT_EQ(second->from, (net::Ipv4{{10, 77, 0, 21}}));
  auto stats = UdsJson("stats");
  EXPECT_EQ(stats["udp_invalid"], 4);
  EXPECT_EQ(stats["udp_requests"]["10.77.0.11"], 2);
}

TEST_F(UdsLab, ARebootedServerIsSilentThenAnnouncesItsBoot) {
  auto listen = Socket(net::Ipv4::Any(), kDiscoveryPort);
  ASSERT_EQ(Uds("reboot srv2 1"), "OK");
  EXPECT_FALSE(TcpOpen("10.77.0.22"));
  EXPECT_EQ(UdsJson("list")[1]["up"], false);
  auto boot = Receive(*listen, [](const Got& g) {
    return IsBoot(g) && g.from == net::Ipv4{{10, 77, 0, 22}};
  });
  ASSERT_TRUE(boot);
  EXPECT_TRUE(TcpOpen("10.77.0.22"));
}

TEST_F(UdsLab, AnAddressChangeMovesTheServerAndAnnouncesItFromTheNewAddress) {
  auto listen = Socket(net::Ipv4::Any(), kDiscoveryPort);
  ASSERT_EQ(Uds("set-ip srv2 10.77.0.31"), "OK");  // not one of the lab's addresses: vx-uds adds it
  const net::Ipv4 moved{{10, 77, 0, 31}};
  ASSERT_TRUE(Receive(*listen, [&](const Got& g) { return IsBoot(g) && g.from == moved; }));
  auto s = Socket(kPc, 0);
  ASSERT_TRUE(s->SendTo(ValidRequest(), {moved, kDiscoveryPort}).ok());
  auto reply = Receive(*s, IsReply);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->from, moved);
  EXPECT_EQ(reply->bytes[off::kAddress + 3], 31);
  EXPECT_TRUE(TcpOpen("10.77.0.31"));
  ASSERT_EQ(Uds("set-ip srv2 10.77.0.22"), "OK");
  EXPECT_FALSE(TcpOpen("10.77.0.31"));
}

TEST_F(UdsLab, ARenamedServerAnswersWithItsNewName) {
  ASSERT_EQ(Uds("rename srv1 alpha"), "OK");
  EXPECT_EQ(UdsJson("list")[0]["name"], "alpha");
  EXPECT_EQ(Uds("rename srv2 alpha").rfind("ERR", 0), 0u);
  auto s = Socket(kPc, 0);
  ASSERT_TRUE(s->SendTo(ValidRequest(), {net::Ipv4{{10, 77, 0, 21}}, kDiscoveryPort}).ok());
  auto reply = Receive(*s, IsReply);
  ASSERT_TRUE(reply);
  EXPECT_STREQ(reinterpret_cast<const char*>(reply->bytes.data() + off::kName), "alpha");
  ASSERT_EQ(Uds("rename alpha srv1"), "OK");
}

TEST_F(UdsLab, ServersAnnounceThemselvesPeriodicallyInBothForms) {
  auto listen = Socket(net::Ipv4::Any(), kDiscoveryPort);
  ASSERT_EQ(Uds("set srv3 announce both"), "OK");
  ASSERT_EQ(Uds("interval 1"), "OK");
  const net::Ipv4 srv3{{10, 77, 0, 23}};
  auto is_announce = [&](const Got& g, bool long_form) {
    return g.from == srv3 && ContainsKeyword(g.bytes, kAnnounceKeyword) &&
           (g.bytes.size() >= kRecordSize) == long_form;
  };
  EXPECT_TRUE(Receive(*listen, [&](const Got& g) { return is_announce(g, true); }));
  EXPECT_TRUE(Receive(*listen, [&](const Got& g) { return is_announce(g, false); }));
  ASSERT_EQ(Uds("interval 0"), "OK");
  ASSERT_EQ(Uds("set srv3 announce long"), "OK");
}

TEST_F(UdsLab, TheTcpPortAnswersRequestsAndDropsGarbage) {
  auto c = net_->ConnectTcp({net::Ipv4{{10, 77, 0, 21}}, kConfigPort}, 1000ms);
  ASSERT_TRUE(c.ok());
  c.value->SetReceiveTimeout(2000ms);
  ASSERT_TRUE(c.value->Send(ValidRequest()).ok());
  std::array<uint8_t, 1024> buffer{};
  auto got = c.value->Receive(buffer);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got.value, kRecordSize);
  std::array<uint8_t, kRequestSize> garbage{};
  ASSERT_TRUE(c.value->Send(garbage).ok());
  auto closed = c.value->Receive(buffer);
  EXPECT_TRUE(closed.ok() && closed.value == 0);
}

}  // namespace
}  // namespace vx::discovery

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--control") vx::discovery::g_control = argv[i + 1];
  if (vx::discovery::g_control.empty()) {
    std::fprintf(stderr, "usage: uds_lab_test --control PATH\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
