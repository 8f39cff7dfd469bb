// Discovery sockets, the discovery request and the port checks, on the fake
// network.
#include "discovery/discovery.h"

#include <gtest/gtest.h>

#include "discovery/testing/fake_clock.h"
#include "discovery/testing/fake_network.h"
#include "platform/trace.h"

namespace vx::discovery {
namespace {

using testing::FakeClock;
using testing::FakeNetwork;

class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest() {
    net_.AddAdapter("10.77.0.11", {2, 0, 0, 0, 0, 0x11}, 6, "eth0");
    net_.AddAdapter("10.88.0.11", {2, 0, 0, 0, 0, 0x12}, 71, "wlan0");
  }
  FakeNetwork net_;
  FakeClock clock_;
  Discovery d_{net_, clock_, InlineMainThread(), IdentityTextCodec()};
};

TEST_F(DiscoveryTest, OpensOneBoundBroadcastSocketPerAdapterOnTheDiscoveryPort) {
  d_.EnumerateAdapters();
  EXPECT_EQ(net_.library_starts, 1);
  ASSERT_TRUE(d_.OpenSocket(false));
  EXPECT_TRUE(d_.Sockets().SocketsReady());
  {
    auto slots = d_.Sockets().Snapshot();
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].local, (net::Endpoint{net::Ipv4{{10, 77, 0, 11}}, 7419}));
    EXPECT_EQ(slots[1].local.port, 7419);
    EXPECT_EQ(slots[0].broadcast, (net::Endpoint{net::Ipv4::Broadcast(), 7419}));
    EXPECT_EQ(d_.Sockets().HighestHandle(), std::max(slots[0].socket->Handle(), slots[1].socket->Handle()));
  }

  {
    // A reader still holding the set keeps its sockets usable until it lets go.
    auto reader = d_.Sockets().Snapshot();
    d_.CloseSockets();
    EXPECT_EQ(net_.OpenUdpSockets(), 2u);
    EXPECT_EQ(d_.Sockets().HighestHandle(), 0u);
    EXPECT_FALSE(d_.Sockets().SocketsReady());
    EXPECT_TRUE(d_.Sockets().Snapshot().empty());
  }
  EXPECT_EQ(net_.OpenUdpSockets(), 0u);
  d_.StopSocketLibrary();
  d_.StopSocketLibrary();
  EXPECT_EQ(net_.library_stops, 1);
}

TEST_F(DiscoveryTest, WithoutAdaptersNothingIsOpenedAndNothingSent) {
  net_.adapter_list.adapters.clear();
  d_.EnumerateAdapters();
  EXPECT_FALSE(d_.OpenSocket(false));
  EXPECT_EQ(d_.Sockets().HighestHandle(), 0u);
  d_.FindQuorinSend();
  EXPECT_TRUE(net_.Sent().empty());
}

TEST_F(DiscoveryTest, TheRequestGoesThreeTimesFromEveryAdapterWithItsMac) {
  d_.EnumerateAdapters();
  ASSERT_TRUE(d_.OpenSocket(false));
  d_.FindQuorinSend();
  auto sent = net_.Sent();
  ASSERT_EQ(sent.size(), 6u);
  auto slots = d_.Sockets().Snapshot();
  for (size_t i = 0; i < 6; ++i) {
    const auto& s = sent[i];
    EXPECT_EQ(s.handle, slots[i / 3].socket->Handle());
    EXPECT_EQ(s.to, (net::Endpoint{net::Ipv4::Broadcast(), 7419}));
    auto req = DecodeDiscoveryRequest(s.bytes);
    ASSERT_TRUE(req);
    EXPECT_EQ(req->mac, slots[i / 3].mac);
    EXPECT_EQ(req->time.year, 2024u);
  }
}

TEST_F(DiscoveryTest, WithThePortHeldTheFallbackUsesEphemeralPortsAndStillSendsTo7419) {
  net_.ports_in_use = {7419};
  net_.udp_table.local_ports = {53, 7419};
  ASSERT_TRUE(d_.OpenWorkingSockets());
  EXPECT_EQ(net_.OpenUdpSockets(), 2u);  // the failed attempt left nothing open
  for (const auto& slot : d_.Sockets().Snapshot()) EXPECT_NE(slot.local.port, 7419);
  d_.FindQuorinSend();
  for (const auto& s : net_.Sent()) EXPECT_EQ(s.to.port, 7419);
}

TEST_F(DiscoveryTest, AFailedOpenClosesWhatItOpenedAndReportsNoNetwork) {
  net_.failing_bind_devices = {"wlan0"};  // the second adapter fails
  TraceCapture trace;
  d_.EnumerateAdapters();
  EXPECT_FALSE(d_.OpenSocket(false));
  EXPECT_TRUE(trace.Contains("bind call failed! [broadcast] !EADDRNOTAVAIL"));
  EXPECT_EQ(net_.OpenUdpSockets(), 0u);
  EXPECT_EQ(d_.Sockets().HighestHandle(), 0u);
  EXPECT_FALSE(d_.Sockets().SocketsReady());

  // Not a held port: the working set stays closed.
  EXPECT_FALSE(d_.OpenWorkingSockets());
  EXPECT_TRUE(trace.Contains("maybe be network is not ready"));
  EXPECT_EQ(net_.OpenUdpSockets(), 0u);

  net_.failing_bind_devices.clear();
  net_.fail_create_at = net_.creates + 1;  // the second socket of the next set
  EXPECT_FALSE(d_.OpenSocket(false));
  EXPECT_EQ(net_.OpenUdpSockets(), 0u);
}

TEST_F(DiscoveryTest, ReopeningReplacesTheOldSetInsteadOfLeakingIt) {
  d_.EnumerateAdapters();
  ASSERT_TRUE(d_.OpenSocket(false));
  ASSERT_TRUE(d_.OpenSocket(true));
  EXPECT_EQ(net_.OpenUdpSockets(), 2u);
}

TEST_F(DiscoveryTest, CheckUDPPortReadsTheListenerTableAndTracesItsErrors) {
  net_.udp_table.local_ports = {68, 7419};
  EXPECT_TRUE(d_.CheckUDPPort(7419));
  EXPECT_FALSE(d_.CheckUDPPort(7305));
  TraceCapture trace;
  net_.udp_table.status = net::UdpTableStatus::kNotSupported;
  EXPECT_FALSE(d_.CheckUDPPort(7419));
  EXPECT_TRUE(trace.Contains("CheckUDPPort() : Error : ERROR_NOT_SUPPORTED !"));
}

TEST_F(DiscoveryTest, TheUdpSelfTestHearsItsOwnBroadcastOnlyOnTheDiscoveryPort) {
  d_.EnumerateAdapters();
  ASSERT_TRUE(d_.OpenSocket(false));
  EXPECT_TRUE(d_.CheckUDPSocket());
  ASSERT_TRUE(d_.OpenSocket(true));
  EXPECT_FALSE(d_.CheckUDPSocket());
  d_.CloseSockets();
  EXPECT_FALSE(d_.CheckUDPSocket());
}

TEST_F(DiscoveryTest, TheTcpSelfTestConnectsToItselfOnlyWhenTheSocketsAreReady) {
  d_.EnumerateAdapters();
  EXPECT_FALSE(d_.CheckTCPSocket());
  ASSERT_TRUE(d_.OpenSocket(false));
  TraceCapture trace;
  EXPECT_TRUE(d_.CheckTCPSocket());
  EXPECT_TRUE(trace.Contains(" : test_tcp"));
}

TEST_F(DiscoveryTest, ThePortSelfTestLeavesNoSocketOpen) {
  d_.PortSelfTest();
  EXPECT_EQ(net_.OpenUdpSockets(), 0u);
  EXPECT_EQ(d_.Sockets().HighestHandle(), 0u);
}

}  // namespace
}  // namespace vx::discovery
