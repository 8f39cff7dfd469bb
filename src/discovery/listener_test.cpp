// The listener thread on the fake network: storing, forwarding, asking again,
// the no-network state and its end.
#include "discovery/listener.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "discovery/testing/fake_clock.h"
#include "discovery/testing/fake_network.h"
#include "discovery/testing/wait.h"
#include "platform/testing/queue_main_thread.h"
#include "platform/trace.h"

namespace vx::discovery {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakeNetwork;
using testing::WaitUntil;

const net::Endpoint kPc1{net::Ipv4{{10, 77, 0, 11}}, 7419};
const net::Endpoint kServer{net::Ipv4{{10, 77, 0, 21}}, 7419};

class RecordingForwarder final : public DatagramForwarder, public MasterBusQuery {
 public:
  bool SendUdpPacket(uint32_t source, const uint8_t* bytes, uint32_t n) override {
    std::lock_guard lock(mutex_);
    packets_.push_back({source, std::vector<uint8_t>(bytes, bytes + n)});
    return accept;
  }
  bool MasterBusValid() const override { return valid; }
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Packets() const {
    std::lock_guard lock(mutex_);
    return packets_;
  }
  std::atomic<bool> valid{true};
  std::atomic<bool> accept{true};

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> packets_;
};

class CountingSink final : public NetworkStateSink {
 public:
  void NoNetworkStep() override { ++no_network; }
  void NetworkOkStep() override {
    ++ok;
    if (throws) throw std::runtime_error("no window");
  }
  std::atomic<int> no_network{0};
  std::atomic<int> ok{0};
  std::atomic<bool> throws{false};
};

DiscoverySettings FastSettings() {
  DiscoverySettings s;
  s.select_timeout = 20ms;
  s.no_network_step = 1ms;
  s.select_error_backoff = 1h;  // a failed select waits for the end
  return s;
}

std::vector<uint8_t> Reply() {
  ServerRecordFields f;
  f.mac = {0, 0x80, 0x92, 0, 0, 0x21};
  f.model = "MD-LAN01";
  f.configd_type = 1;
  Record r = EncodeServerRecord(f);
  return std::vector<uint8_t>(r.begin(), r.end());
}

std::vector<uint8_t> Boot() { return {'R', 'B', 'O', 'O', 'T', 'U', 'P'}; }

class ListenerTest : public ::testing::Test {
 protected:
  explicit ListenerTest(bool with_adapters = true) {
    if (with_adapters) {
      net_.AddAdapter("10.77.0.11", {2, 0, 0, 0, 0, 0x11}, 6, "eth0");
      net_.AddAdapter("10.88.0.11", {2, 0, 0, 0, 0, 0x12}, 6, "eth1");
    }
    d_.EnumerateAdapters();
    d_.OpenSocket(false);
  }
  void Start() {
    listener_ = std::make_unique<TFindQuorinThread>(d_, ListenerWiring{&fwd_, &fwd_, &sink_, &closing_});
    listener_->Start();
  }
  size_t RequestsSent() {
    size_t n = 0;
    for (const auto& s : net_.Sent()) n += DecodeDiscoveryRequest(s.bytes) ? 1 : 0;
    return n;
  }
  // Waits until the listener has forwarded `n` packets in all.
  void WaitForwarded(size_t n) {
    ASSERT_TRUE(WaitUntil([&] { return fwd_.Packets().size() >= n; }));
  }

  FakeNetwork net_;
  FakeClock clock_;
  Discovery d_{net_, clock_, InlineMainThread(), IdentityTextCodec(), FastSettings()};
  RecordingForwarder fwd_;
  CountingSink sink_;
  std::atomic<bool> closing_{false};
  std::unique_ptr<TFindQuorinThread> listener_;
};

TEST_F(ListenerTest, StoresRepliesAndForwardsThemWithTheirSource) {
  Start();
  ASSERT_TRUE(net_.Deliver(kPc1, Reply(), kServer));
  WaitForwarded(1);
  auto packets = fwd_.Packets();
  EXPECT_EQ(packets[0].first, kServer.address.NetworkOrder());
  EXPECT_EQ(packets[0].second.size(), 173u);
  EXPECT_EQ(std::memcmp(packets[0].second.data(), "RANNOU\x25\x4E", 8), 0);
  EXPECT_TRUE(d_.Table().Find(kServer.address));
  EXPECT_GE(sink_.ok.load(), 1);
  EXPECT_EQ(sink_.no_network.load(), 0);
}

TEST_F(ListenerTest, WithoutAValidMasterBusNothingIsForwardedAndRefusalsAreTraced) {
  fwd_.valid = false;
  Start();
  net_.Deliver(kPc1, Reply(), kServer);
  ASSERT_TRUE(WaitUntil([&] { return d_.Table().Count() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return listener_->GetStats().received == 1; }));
  EXPECT_TRUE(fwd_.Packets().empty());

  TraceCapture trace;
  fwd_.valid = true;
  fwd_.accept = false;
  net_.Deliver(kPc1, Reply(), kServer);
  WaitForwarded(1);
  ASSERT_TRUE(WaitUntil([&] { return trace.Contains("Got UDP Packet Fail !"); }));
}

TEST_F(ListenerTest, AnUnknownServersBootCausesOneBurstPerAdapterAKnownOneNone) {
  Start();
  net_.Deliver(kPc1, Boot(), kServer);
  WaitForwarded(1);
  EXPECT_EQ(RequestsSent(), 6u);  // 3 per adapter

  net_.Deliver(kPc1, Reply(), kServer);
  WaitForwarded(2);
  clock_.Advance(10s);
  net_.Deliver(kPc1, Boot(), kServer);
  WaitForwarded(3);
  EXPECT_EQ(RequestsSent(), 6u);
}

TEST_F(ListenerTest, AFloodOfUnknownAnnouncementsIsAnsweredByOneBurstPerSecond) {
  Start();
  for (uint8_t i = 0; i < 50; ++i) net_.Deliver(kPc1, Boot(), {net::Ipv4{{10, 77, 3, i}}, 7419});
  WaitForwarded(50);
  EXPECT_EQ(RequestsSent(), 6u);
  clock_.Advance(1s);
  net_.Deliver(kPc1, Boot(), {net::Ipv4{{10, 77, 4, 1}}, 7419});
  WaitForwarded(51);
  EXPECT_EQ(RequestsSent(), 12u);
  EXPECT_EQ(listener_->GetStats().requests, 2u);
}

TEST_F(ListenerTest, TheClientsOwnRequestComingBackIsIgnored) {
  Start();
  d_.FindQuorinSend();  // the fake loops broadcasts back to our sockets
  ASSERT_TRUE(WaitUntil([&] { return listener_->GetStats().received == 6; }));
  EXPECT_TRUE(fwd_.Packets().empty());
  EXPECT_EQ(RequestsSent(), 6u);
  EXPECT_EQ(d_.Table().Count(), 0u);
}

TEST_F(ListenerTest, ASelectErrorIsTracedAndDoesNotSpin) {
  net_.select_fails = true;
  TraceCapture trace;
  Start();
  ASSERT_TRUE(WaitUntil([&] { return trace.Contains("select : call error! 9 EBADF"); }));
  listener_->Terminate();
  listener_->WaitFor();
  EXPECT_EQ(net_.select_calls.load(), 1);
  EXPECT_TRUE(listener_->Finished());
}

TEST_F(ListenerTest, TheClosingFlagEndsTheLoop) {
  Start();
  closing_ = true;
  ASSERT_TRUE(WaitUntil([&] { return listener_->Finished(); }));
}

TEST_F(ListenerTest, SuspendedItReadsNothingUntilResumed) {
  Start();
  listener_->Suspend();
  ASSERT_TRUE(listener_->WaitParked(10s));
  EXPECT_TRUE(listener_->Parked());
  const int selects = net_.select_calls.load();
  net_.Deliver(kPc1, Reply(), kServer);
  EXPECT_EQ(d_.Table().Count(), 0u);
  EXPECT_EQ(net_.select_calls.load(), selects);
  listener_->Resume();
  ASSERT_TRUE(WaitUntil([&] { return d_.Table().Count() == 1; }));
}

TEST_F(ListenerTest, SuspendInterruptsTheWaitForDatagrams) {
  // A select time-out far beyond the test's patience: only the wake-up ends it.
  Discovery slow{net_, clock_, InlineMainThread(), IdentityTextCodec(), [] {
                   DiscoverySettings s = FastSettings();
                   s.select_timeout = 1h;
                   return s;
                 }()};
  slow.EnumerateAdapters();
  ASSERT_TRUE(slow.OpenSocket(true));
  TFindQuorinThread listener(slow, ListenerWiring{});
  const int before = net_.select_calls.load();
  ASSERT_TRUE(listener.Start());
  ASSERT_TRUE(WaitUntil([&] { return net_.select_calls.load() > before; }));
  listener.Suspend();
  ASSERT_TRUE(listener.WaitParked(10s));
  listener.Resume();
  ASSERT_TRUE(WaitUntil([&] { return !listener.Parked(); }));
  listener.Terminate();
  listener.WaitFor();
  EXPECT_TRUE(listener.Finished());
}

TEST_F(ListenerTest, AMainThreadStepThatThrowsDoesNotEndTheListener) {
  sink_.throws = true;
  TraceCapture trace;
  Start();
  ASSERT_TRUE(WaitUntil([&] { return sink_.ok.load() >= 1; }));
  net_.Deliver(kPc1, Reply(), kServer);
  WaitForwarded(1);
  EXPECT_FALSE(listener_->Finished());
  EXPECT_TRUE(trace.Contains("TFindQuorinThread : exception in a main-thread step : no window"));
}

TEST(ListenerMainThread, AMainThreadThatIsGoneEndsTheListener) {
  FakeNetwork net;
  net.AddAdapter("10.77.0.11", {2, 0, 0, 0, 0, 0x11}, 6, "eth0");
  FakeClock clock;
  vx::testing::QueueMainThread main;
  Discovery d{net, clock, main, IdentityTextCodec(), FastSettings()};
  d.EnumerateAdapters();
  ASSERT_TRUE(d.OpenSocket(false));
  CountingSink sink;
  main.Close();
  TFindQuorinThread listener(d, ListenerWiring{nullptr, nullptr, &sink, nullptr});
  ASSERT_TRUE(listener.Start());
  ASSERT_TRUE(WaitUntil([&] { return listener.Finished(); }));
  EXPECT_EQ(sink.ok.load(), 0);
}

class NoNetworkListenerTest : public ListenerTest {
 protected:
  NoNetworkListenerTest() : ListenerTest(false) {}
};

TEST_F(NoNetworkListenerTest, WithoutSocketsItShowsTheNoNetworkStateUntilSocketsOpen) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return sink_.no_network.load() >= 2; }));
  EXPECT_EQ(sink_.ok.load(), 0);
  net_.AddAdapter("10.77.0.11", {2, 0, 0, 0, 0, 0x11});
  d_.EnumerateAdapters();
  ASSERT_TRUE(d_.OpenSocket(false));
  ASSERT_TRUE(WaitUntil([&] { return sink_.ok.load() >= 1; }));
  listener_->Terminate();
  listener_->WaitFor();
}

}  // namespace
}  // namespace vx::discovery
