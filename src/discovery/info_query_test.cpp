// The per-server info query: the TCP step, its failures and the fallback to
// the discovery table, with the values handed over by value.
#include "discovery/info_query.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "discovery/testing/fake_clock.h"
#include "discovery/testing/fake_network.h"
#include "discovery/testing/wait.h"
#include "platform/trace.h"

namespace vx::discovery {
namespace {

using testing::FakeClock;
using testing::FakeNetwork;
using testing::TcpServerScript;
using testing::WaitUntil;

const net::Ipv4 kServer{{10, 77, 0, 21}};

Record ServerReply(const char* model = "MD-LAN01") {
  ServerRecordFields f;
  f.mac = {0, 0x80, 0x92, 0x11, 0x22, 0x33};
  f.model = model;
  f.configd_version = "1.52";
  f.configd_type = 1;
  f.usb_ports = 4;
  return EncodeServerRecord(f);
}

std::vector<uint8_t> Bytes(const Record& r) { return std::vector<uint8_t>(r.begin(), r.end()); }

// A clock whose n-th sleep runs `on_sleep` (a server answering meanwhile).
class ScriptedClock final : public Clock {
 public:
  TimePoint Now() const override { return base_.Now(); }
  LocalTime LocalNow() const override { return base_.LocalNow(); }
  int64_t WallSeconds() const override { return 0; }
  void SleepFor(Duration d) override {
    if (++sleeps == at && on_sleep) on_sleep();
    base_.Advance(d);
  }
  std::atomic<int> sleeps{0};
  int at = -1;
  std::function<void()> on_sleep;

 private:
  FakeClock base_;
};

class InfoQueryTest : public ::testing::Test {
 protected:
  InfoQueryTest() {
    net_.AddAdapter("10.77.0.11", {2, 0, 0, 0, 0, 0x11}, 6, "eth0");
    d_.EnumerateAdapters();
    d_.OpenSocket(false);
  }
  // Runs one query and waits until it has ended.
  void Query(const std::string& location) {
    requests_.StartServerInfoRequest(kServer.ToString(), location, pending_, [this](const ServerInfo& info) {
      std::lock_guard lock(mutex_);
      delivered_.push_back(info);
    });
    ASSERT_TRUE(WaitUntil([&] { return requests_.Running() == 0; }));
  }
  std::vector<ServerInfo> Delivered() {
    std::lock_guard lock(mutex_);
    return delivered_;
  }
  size_t RequestsSent() { return net_.Sent().size(); }
  void PutInTable(const Record& r) { ASSERT_NE(d_.Table().TryStore(r, kServer), DiscoveryTable::Put::kBusy); }

  FakeNetwork net_;
  ScriptedClock clock_;
  Discovery d_{net_, clock_, InlineMainThread(), IdentityTextCodec()};
  ServerInfoRequests requests_{d_};
  std::shared_ptr<std::atomic<bool>> pending_ = std::make_shared<std::atomic<bool>>(false);
  std::mutex mutex_;
  std::vector<ServerInfo> delivered_;
};

TEST_F(InfoQueryTest, OverTcpTheReplyFillsTheValuesWithoutBroadcasting) {
  net_.SetTcpServer(kServer, TcpServerScript{false, false, {Bytes(ServerReply())}, true});
  Query("1");
  ASSERT_EQ(Delivered().size(), 1u);
  EXPECT_EQ(Delivered()[0].mac_address, "00:80:92:11:22:33");
  EXPECT_EQ(Delivered()[0].usb_ports, 4u);
  EXPECT_FALSE(pending_->load());
  EXPECT_EQ(RequestsSent(), 0u);
  auto requests = net_.TcpRequests(kServer);
  ASSERT_EQ(requests.size(), 1u);
  auto decoded = DecodeDiscoveryRequest(requests[0]);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->mac, Mac{});  // the TCP request carries no MAC
}

TEST_F(InfoQueryTest, ThreeUnusableTcpAnswersFallBackToTheTable) {
  Record echo = ServerReply();
  std::memcpy(echo.data() + 40, "WHERE ARE YOU RV550", 19);  // an echo of our request
  Record reply = ServerReply();
  std::vector<uint8_t> cut(reply.begin(), reply.end() - 1);
  // A good reply after three failures is never read.
  net_.SetTcpServer(kServer, TcpServerScript{false, false, {cut, Bytes(echo), {}, Bytes(reply)}, true});
  PutInTable(ServerReply("MD-WLAN04N"));
  Query("3");
  ASSERT_EQ(Delivered().size(), 1u);
  EXPECT_EQ(Delivered()[0].model, "MD-WLAN04N");
  EXPECT_EQ(RequestsSent(), 3u);  // the request went out again first
  EXPECT_FALSE(pending_->load());
}

TEST_F(InfoQueryTest, AServerThatClosesOrRefusesSendsTheQueryToTheTable) {
  net_.SetTcpServer(kServer, TcpServerScript{false, false, {}, true});
  PutInTable(ServerReply());
  Query("1");
  EXPECT_EQ(Delivered().size(), 1u);

  net_.SetTcpServer(kServer, TcpServerScript{true, false, {}, true});
  Query("1");
  EXPECT_EQ(Delivered().size(), 2u);
  EXPECT_EQ(net_.TcpConnects(), 2u);
}

TEST_F(InfoQueryTest, TheTableFallbackWaitsForTheServersAnswer) {
  clock_.at = 5;
  clock_.on_sleep = [this] { PutInTable(ServerReply("MD-WLAN01N")); };
  Query("0");
  EXPECT_EQ(net_.TcpConnects(), 0u);  // location 0 never uses TCP
  ASSERT_EQ(Delivered().size(), 1u);
  EXPECT_EQ(Delivered()[0].model, "MD-WLAN01N");
  EXPECT_EQ(clock_.sleeps.load(), 5);
}

TEST_F(InfoQueryTest, AServerThatNeverAnswersLeavesNoValuesAfterFortyNineLooks) {
  Query("2");
  EXPECT_TRUE(Delivered().empty());
  EXPECT_EQ(clock_.sleeps.load(), 49);
  EXPECT_FALSE(pending_->load());
}

TEST_F(InfoQueryTest, WithoutReadySocketsTheTcpStepIsNotTried) {
  d_.CloseSockets();
  PutInTable(ServerReply());
  net_.SetTcpServer(kServer, TcpServerScript{false, false, {Bytes(ServerReply())}, true});
  Query("1");
  EXPECT_EQ(net_.TcpConnects(), 0u);
  EXPECT_EQ(Delivered().size(), 1u);
}

TEST_F(InfoQueryTest, AnUnknownLocationEndsWithoutValuesAndKeepsThePendingFlag) {
  for (const char* location : {"4", "x", "", "-1"}) {
    pending_->store(false);
    Query(location);
    EXPECT_TRUE(pending_->load()) << location;
  }
  EXPECT_TRUE(Delivered().empty());
  EXPECT_EQ(RequestsSent(), 0u);
}

TEST_F(InfoQueryTest, ASinkThatThrowsEndsOnlyThatQuery) {
  net_.SetTcpServer(kServer, TcpServerScript{false, false, {Bytes(ServerReply())}, true});
  TraceCapture trace;
  int calls = 0;
  requests_.StartServerInfoRequest(kServer.ToString(), "1", pending_, [&](const ServerInfo&) {
    ++calls;
    throw std::runtime_error("no such node");
  });
  ASSERT_TRUE(WaitUntil([&] { return requests_.Running() == 0; }));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(pending_->load()) << "the query ended as usual";
  EXPECT_TRUE(
      trace.Contains("TSendServerInfoRequestThread : exception in a main-thread step : no such node"));
  // The next query runs normally.
  Query("1");
  EXPECT_EQ(Delivered().size(), 1u);
}

TEST_F(InfoQueryTest, APendingQueryIsNotStartedTwice) {
  pending_->store(true);
  Query("1");
  EXPECT_EQ(net_.TcpConnects(), 0u);
  EXPECT_TRUE(Delivered().empty());
}

}  // namespace
}  // namespace vx::discovery
