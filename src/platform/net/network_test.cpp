// The network adapter of this platform, on loopback only (natively and under
// Wine): datagrams, time-outs, select, TCP streams and the system tables.
#include "platform/net/network.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <future>

namespace vx::net {
namespace {

using namespace std::chrono_literals;

TEST(Ipv4, ParsesOnlyStrictDottedQuads) {
  EXPECT_EQ(Ipv4::Parse("10.77.0.21")->bytes, (std::array<uint8_t, 4>{10, 77, 0, 21}));
  EXPECT_EQ(Ipv4::Parse("255.255.255.255"), Ipv4::Broadcast());
  for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.256", "1.2.3.4 ", " 1.2.3.4", "1..3.4",
                          "1.2.3.0004", "a.b.c.d", "1.2.3.-4", "1.2.3.4x"})
    EXPECT_FALSE(Ipv4::Parse(bad)) << bad;
  Ipv4 a{{192, 168, 1, 2}};
  EXPECT_EQ(Ipv4::FromNetworkOrder(a.NetworkOrder()), a);
  EXPECT_EQ(a.ToString(), "192.168.1.2");
}

class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(net_->StartLibrary()); }
  void TearDown() override { net_->StopLibrary(); }

  std::unique_ptr<UdpSocket> LoopbackUdp() {
    auto created = net_->CreateUdp();
    EXPECT_TRUE(created.ok()) << created.error.name;
    EXPECT_NE(created.value->Handle(), 0u);
    EXPECT_TRUE(created.value->Bind(BindTarget{{Ipv4::Loopback(), 0}, ""}).ok());
    return std::move(created.value);
  }

  std::unique_ptr<NetworkPort> net_ = MakeSystemNetwork();
};

TEST_F(NetworkTest, DatagramsArriveWithTheirSenderAndOversizeOnesAreErrors) {
  auto a = LoopbackUdp();
  auto b = LoopbackUdp();
  ASSERT_TRUE(b->SetReceiveTimeout(2000ms).ok());
  const std::array<uint8_t, 5> hello{'h', 'e', 'l', 'l', 'o'};
  ASSERT_TRUE(a->SendTo(hello, *b->LocalEndpoint()).ok());
  std::array<uint8_t, 64> buffer{};
  auto got = b->ReceiveFrom(buffer);
  ASSERT_TRUE(got.ok()) << got.error.name;
  EXPECT_EQ(got.value.length, 5u);
  EXPECT_EQ(got.value.from, *a->LocalEndpoint());
  EXPECT_TRUE(std::equal(hello.begin(), hello.end(), buffer.begin()));

  std::array<uint8_t, 100> big{};
  ASSERT_TRUE(a->SendTo(big, *b->LocalEndpoint()).ok());
  auto cut = b->ReceiveFrom(buffer);
  EXPECT_FALSE(cut.ok());
  EXPECT_FALSE(cut.error.timed_out);
}

TEST_F(NetworkTest, ReceiveAndSelectTimeOut) {
  auto a = LoopbackUdp();
  ASSERT_TRUE(a->SetReceiveTimeout(30ms).ok());
  std::array<uint8_t, 16> buffer{};
  auto got = a->ReceiveFrom(buffer);
  EXPECT_FALSE(got.ok());
  EXPECT_TRUE(got.error.timed_out) << got.error.name;

  std::array<UdpSocket*, 1> set{a.get()};
  auto selected = net_->SelectReadable(set, 20ms);
  EXPECT_TRUE(selected.error.ok());
  EXPECT_EQ(selected.ready, 0);
}

TEST_F(NetworkTest, SelectReportsOnlyTheSocketWithData) {
  auto a = LoopbackUdp();
  auto b = LoopbackUdp();
  auto sender = LoopbackUdp();
  const std::array<uint8_t, 1> one{1};
  ASSERT_TRUE(sender->SendTo(one, *b->LocalEndpoint()).ok());
  std::array<UdpSocket*, 2> set{a.get(), b.get()};
  auto selected = net_->SelectReadable(set, 2000ms);
  ASSERT_TRUE(selected.error.ok()) << selected.error.name;
  EXPECT_EQ(selected.ready, 1);
  EXPECT_EQ(selected.readable, (std::vector<bool>{false, true}));
}

TEST_F(NetworkTest, TcpStreamCarriesBytesAndReportsTheClose) {
  auto listener = net_->ListenTcp({Ipv4::Loopback(), 0}, 5, true);
  ASSERT_TRUE(listener.ok()) << listener.error.name;
  Endpoint where = *listener.value->LocalEndpoint();
  auto client = net_->ConnectTcp(where, 2000ms);
  ASSERT_TRUE(client.ok()) << client.error.name;
  auto server = listener.value->Accept(2000ms);
  ASSERT_TRUE(server.ok()) << server.error.name;
  EXPECT_EQ(server.value->PeerEndpoint()->address, Ipv4::Loopback());

  const std::array<uint8_t, 9> text{'t', 'e', 's', 't', '_', 't', 'c', 'p', 0};
  ASSERT_TRUE(client.value->Send(text).ok());
  std::array<uint8_t, 64> buffer{};
  ASSERT_TRUE(server.value->SetReceiveTimeout(2000ms).ok());
  auto got = server.value->Receive(buffer);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got.value, 9u);

  client.value.reset();
  auto closed = server.value->Receive(buffer);
  ASSERT_TRUE(closed.ok()) << closed.error.name;
  EXPECT_EQ(closed.value, 0u);

  ASSERT_TRUE(server.value->SetReceiveTimeout(30ms).ok());
  auto none = listener.value->Accept(20ms);
  EXPECT_FALSE(none.ok());
  EXPECT_TRUE(none.error.timed_out);
}

TEST_F(NetworkTest, ShutdownReleasesAReceiveBlockedInAnotherThreadAndTheServerSeesTheEnd) {
  auto listener = net_->ListenTcp({Ipv4::Loopback(), 0}, 5, true);
  ASSERT_TRUE(listener.ok()) << listener.error.name;
  auto client = net_->ConnectTcp(*listener.value->LocalEndpoint(), 2000ms);
  ASSERT_TRUE(client.ok()) << client.error.name;
  auto server = listener.value->Accept(2000ms);
  ASSERT_TRUE(server.ok()) << server.error.name;
  EXPECT_TRUE(client.value->SetNoDelay(true).ok());

  // No receive time-out: only Shutdown can end this receive.
  TcpStream* stream = client.value.get();
  auto blocked = std::async(std::launch::async, [stream] {
    std::array<uint8_t, 16> buffer{};
    return stream->Receive(buffer);
  });
  EXPECT_EQ(blocked.wait_for(50ms), std::future_status::timeout) << "the receive should still wait";
  stream->Shutdown();
  ASSERT_EQ(blocked.wait_for(5s), std::future_status::ready) << "Shutdown did not release the receive";
  auto released = blocked.get();
  EXPECT_TRUE(!released.ok() || released.value == 0u);
  stream->Shutdown();  // a second call is harmless

  std::array<uint8_t, 16> buffer{};
  ASSERT_TRUE(server.value->SetReceiveTimeout(2000ms).ok());
  auto end = server.value->Receive(buffer);
  EXPECT_TRUE(end.ok() && end.value == 0u) << "the peer sees the connection end: " << end.error.name;
  EXPECT_FALSE(client.value->Send(buffer).ok()) << "sending after Shutdown fails";
}

TEST_F(NetworkTest, ConnectToAClosedPortFailsWithoutWaitingForTheTimeOut) {
  Endpoint gone;
  {
    auto listener = net_->ListenTcp({Ipv4::Loopback(), 0}, 1, false);
    ASSERT_TRUE(listener.ok());
    gone = *listener.value->LocalEndpoint();
  }
  auto start = std::chrono::steady_clock::now();
  auto client = net_->ConnectTcp(gone, 5000ms);
  EXPECT_FALSE(client.ok());
  EXPECT_FALSE(client.error.timed_out) << client.error.name;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4000ms);
}

TEST_F(NetworkTest, UdpListenerTableListsABoundPort) {
  auto a = LoopbackUdp();
  uint16_t port = a->LocalEndpoint()->port;
  auto table = net_->GetUdpTable();
  ASSERT_EQ(table.status, UdpTableStatus::kOk);
  std::string listed;
  for (uint16_t p : table.local_ports) listed += std::to_string(p) + " ";
  EXPECT_NE(std::find(table.local_ports.begin(), table.local_ports.end(), port), table.local_ports.end())
      << "port " << port << " not in: " << listed
      << " (under Wine an empty table means Wine's device services run in another network namespace than the"
         " test: every Wine program of the fixture, winepath included, must start inside the namespace)";
}

TEST_F(NetworkTest, SystemTablesAreReadable) {
  auto interfaces = net_->GetIfTable();
  ASSERT_EQ(interfaces.status, ListStatus::kOk);
  bool loopback = std::any_of(interfaces.rows.begin(), interfaces.rows.end(),
                              [](const InterfaceRow& r) { return r.type == 24; });
  EXPECT_TRUE(loopback);
  auto adapters = net_->GetAdaptersInfo();
  ASSERT_NE(adapters.status, ListStatus::kError);
  for (const auto& a : adapters.adapters) {
    EXPECT_TRUE(Ipv4::Parse(a.ip)) << a.ip;
    EXPECT_LE(a.address.size(), 8u);
  }
}

// Outside a lab namespace (where the unit tests run) no socket may broadcast.
TEST_F(NetworkTest, BroadcastIsRefusedOutsideALabNamespace) {
  auto refusal = net_->BroadcastRefusal();
  if (!refusal) GTEST_SKIP() << "running inside a lab namespace: broadcasting is allowed here";
  auto a = LoopbackUdp();
  EXPECT_FALSE(a->EnableBroadcast().ok());
  const std::array<uint8_t, 1> one{1};
  EXPECT_FALSE(a->SendTo(one, {Ipv4::Broadcast(), 7419}).ok());
}

}  // namespace
}  // namespace vx::net
