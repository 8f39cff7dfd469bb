// The transports and record operations over the fake network: attempts and
// their rotation over the adapters, the acceptance rule, the protocol
// fallback, the fire-and-forget writes, the firmware chunks with their
// time-out budgets, and the transport selection with its log lines.
#include "admin/config_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "discovery/testing/fake_network.h"
#include "platform/trace.h"

namespace vx::admin {
namespace {

using discovery::testing::FakeNetwork;
using discovery::testing::TcpServerScript;

const Mac kServer = {0x00, 0x80, 0x92, 0x00, 0x00, 0x21};
const net::Ipv4 kServerIp{{10, 0, 0, 21}};

class CountingMainThread final : public MainThread {
 public:
  void RunSync(const std::function<void()>& work) override { work(); }
  void ProcessMessages() override { ++pumps; }
  int pumps = 0;
};

// A discovery socket whose sends a simulated server answers: every frame
// sent is handed to `answer`, and what it returns (if anything) arrives on
// this socket after the frame's own echo.
class AnsweringSocket final : public net::UdpSocket {
 public:
  using Answer = std::function<std::optional<Frame>(std::span<const uint8_t>)>;
  AnsweringSocket(FakeNetwork& n, std::unique_ptr<net::UdpSocket> inner, net::Endpoint local, Answer* answer)
      : n_(n), inner_(std::move(inner)), local_(local), answer_(answer) {}
  uint64_t Handle() const override { return inner_->Handle(); }
  net::NetError EnableBroadcast() override { return inner_->EnableBroadcast(); }
  net::NetError EnableDebug() override { return inner_->EnableDebug(); }
  net::NetError SetReceiveTimeout(net::Millis t) override { return inner_->SetReceiveTimeout(t); }
  net::NetError Bind(const net::BindTarget& t) override { return inner_->Bind(t); }
  std::optional<net::Endpoint> LocalEndpoint() const override { return inner_->LocalEndpoint(); }
  net::NetError SendTo(std::span<const uint8_t> bytes, const net::Endpoint& to) override {
    auto e = inner_->SendTo(bytes, to);
    if (*answer_)
      if (auto reply = (*answer_)(bytes)) n_.Deliver(local_, *reply, net::Endpoint{kServerIp, 7419});
    return e;
  }
  net::NetResult<net::Datagram> ReceiveFrom(std::span<uint8_t> b) override { return inner_->ReceiveFrom(b); }

 private:
  FakeNetwork& n_;
  std::unique_ptr<net::UdpSocket> inner_;
  net::Endpoint local_;
  Answer* answer_;
};

class ConfigClientTest : public ::testing::Test {
 protected:
  // Opens one discovery socket per adapter (10.0.0.1, .2, ...) on port 7419.
  void MakeAdapters(int n) {
    for (int k = 0; k < n; ++k) {
      auto s = net.CreateUdp();
      const net::Endpoint local{net::Ipv4{{10, 0, 0, static_cast<uint8_t>(k + 1)}}, 7419};
      s.value->Bind(net::BindTarget{local, ""});
      s.value->EnableBroadcast();
      AdapterSocket a;
      a.mac = Mac{0x02, 0, 0, 0, 0, static_cast<uint8_t>(0x11 + k)};
      a.socket = std::make_shared<AnsweringSocket>(net, std::move(s.value), local, &answer);
      adapters.push_back(a);
    }
    ConfigSettings s;
    s.readable_wait = Millis(1);
    transport = std::make_unique<ConfigTransport>(net, adapters, main_thread, IdentityTextCodec(), s);
    client = std::make_unique<ConfigClient>(*transport);
  }

  // Connects the TCP slot to a scripted server.
  void UseTcpServer(TcpServerScript script) {
    net.SetTcpServer(kServerIp, std::move(script));
    transport->UseTcp(net.ConnectTcp(net::Endpoint{kServerIp, 7305}, Millis(1)).value);
  }

  std::vector<discovery::testing::SentDatagram> SentConfigFrames() const {
    std::vector<discovery::testing::SentDatagram> out;
    for (auto& d : net.Sent())
      if (d.bytes.size() >= kHeaderSize) out.push_back(d);
    return out;
  }

  static Frame Reply(int32_t opcode, int32_t direction, int32_t result, size_t record_size = 0) {
    return EncodeReply(kServer, opcode, direction, result, std::vector<uint8_t>(record_size, 0));
  }

  FakeNetwork net;
  CountingMainThread main_thread;
  AnsweringSocket::Answer answer;
  std::vector<AdapterSocket> adapters;
  std::unique_ptr<ConfigTransport> transport;
  std::unique_ptr<ConfigClient> client;
};

TEST_F(ConfigClientTest, UdpReadOnThreeAdaptersMakesThirtyAttemptsRotatingOverThem) {
  MakeAdapters(3);
  GeneralConfig g;
  EXPECT_EQ(-1, client->GetGeneral(kServer, g));
  auto sent = SentConfigFrames();
  ASSERT_EQ(30u, sent.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    const AdapterSocket& a = adapters[i % 3];
    EXPECT_EQ(a.socket->Handle(), sent[i].handle) << i;
    EXPECT_EQ((net::Endpoint{net::Ipv4::Broadcast(), 7419}), sent[i].to);
    EXPECT_EQ(kHeaderSize, sent[i].bytes.size());
    EXPECT_TRUE(std::equal(a.mac.begin(), a.mac.end(), sent[i].bytes.begin() + 14)) << i;
  }
  EXPECT_EQ(30, main_thread.pumps);  // the user interface stays alive on every attempt
}

TEST_F(ConfigClientTest, EchoedRequestIsNeverTakenForTheReply) {
  MakeAdapters(1);
  int frames = 0;
  answer = [&](std::span<const uint8_t> request) -> std::optional<Frame> {
    // The first attempt only gets its own request back, with a record
    // appended (as a write would carry), so that size and opcode pass.
    if (++frames == 1) {
      Frame echo(request.begin(), request.end());
      echo.resize(kHeaderSize + kTcpIpSize);
      return echo;
    }
    Frame r = Reply(CFG_TCPIP, kRead, 0, kTcpIpSize);
    r[22] = 10;  // IpAddress 10.x.x.x
    return r;
  };
  TcpIpConfig t;
  EXPECT_EQ(0, client->GetTcpIp(kServer, t));
  EXPECT_EQ(2, frames);
  EXPECT_EQ(10, t.IpAddress.bytes[0]);
}

TEST_F(ConfigClientTest, DiscoveryRepliesAndOtherOpcodesAreSkippedWithinAnAttempt) {
  MakeAdapters(1);
  answer = [&](std::span<const uint8_t>) -> std::optional<Frame> {
    net.Deliver(net::Endpoint{adapters[0].socket->LocalEndpoint()->address, 7419},
                std::vector<uint8_t>(discovery::kRecordSize, 'x'), net::Endpoint{kServerIp, 7419});
    net.Deliver(net::Endpoint{adapters[0].socket->LocalEndpoint()->address, 7419},
                Reply(CFG_GENERAL, kRead, 0, 220), net::Endpoint{kServerIp, 7419});
    return Reply(CFG_RESTART, kWrite, 0);
  };
  EXPECT_EQ(0, client->Restart(kServer));
  EXPECT_EQ(1u, SentConfigFrames().size());
}

TEST_F(ConfigClientTest, AReplyForAnotherServerOrShortRecordIsNotTaken) {
  MakeAdapters(2);
  Mac other = kServer;
  other[0] = 0x66;
  answer = [&](std::span<const uint8_t>) -> std::optional<Frame> {
    return EncodeReply(other, CFG_GENERAL, kRead, 0, std::vector<uint8_t>(kGeneralSize, 0));
  };
  GeneralConfig g;
  g.ServerName = "kept";
  EXPECT_EQ(-1, client->GetGeneral(kServer, g));
  EXPECT_EQ("kept", g.ServerName);
  answer = [&](std::span<const uint8_t>) -> std::optional<Frame> {
    return Reply(CFG_GENERAL, kRead, 0, 100);
  };
  EXPECT_EQ(-1, client->GetGeneral(kServer, g));
  EXPECT_EQ("kept", g.ServerName);
  // An error needs no record: its result comes back, the record is untouched.
  answer = [&](std::span<const uint8_t>) -> std::optional<Frame> { return Reply(CFG_GENERAL, kRead, 3); };
  EXPECT_EQ(3, client->GetGeneral(kServer, g));
  EXPECT_EQ("kept", g.ServerName);
}

TEST_F(ConfigClientTest, AServerAnsweringTwiceDoesNotLeakIntoTheNextRequest) {
  MakeAdapters(1);
  answer = [&](std::span<const uint8_t> request) -> std::optional<Frame> {
    auto h = DecodeHeader(request, IdentityTextCodec());
    Frame r = Reply(h->Opcode, h->Direction, h->Opcode == CFG_LOGIN ? 1 : 0,
                    h->Opcode == CFG_TCPIP_STATUS ? kTcpIpSize : 0);
    net.Deliver(*adapters[0].socket->LocalEndpoint(), r, net::Endpoint{kServerIp, 7419});  // twice
    return r;
  };
  EXPECT_EQ(1, client->CheckLogin(kServer, "admin", "wrong"));
  TcpIpConfig t;
  EXPECT_EQ(0, client->GetTcpIpStatus(kServer, t));
  EXPECT_EQ(2u, SentConfigFrames().size());
}

TEST_F(ConfigClientTest, ProtocolReadFallsBackOnceToOpcodeSixOnlyWithoutAnyReply) {
  MakeAdapters(1);
  std::vector<int32_t> opcodes;
  answer = [&](std::span<const uint8_t> request) -> std::optional<Frame> {
    auto h = DecodeHeader(request, IdentityTextCodec());
    opcodes.push_back(h->Opcode);
    if (h->Opcode != CFG_PROTOCOL) return std::nullopt;  // an older server
    return Reply(CFG_PROTOCOL, kRead, 0, kProtocolSize);
  };
  ProtocolConfig p;
  EXPECT_EQ(0, client->GetProtocols(kServer, p));
  ASSERT_EQ(11u, opcodes.size());
  EXPECT_EQ(10, std::count(opcodes.begin(), opcodes.end(), CFG_PROTOCOL_EX));
  EXPECT_EQ(CFG_PROTOCOL, opcodes.back());
  EXPECT_EQ(21, p.Int(proto::FtpPort));  // 0 on the wire reads as 21
  EXPECT_EQ(6566, p.Int(proto::SanePort));

  // A server that answers 48 with an error is not asked again with 6.
  opcodes.clear();
  answer = [&](std::span<const uint8_t> request) -> std::optional<Frame> {
    opcodes.push_back(DecodeHeader(request, IdentityTextCodec())->Opcode);
    return Reply(CFG_PROTOCOL_EX, kRead, 5);
  };
  EXPECT_EQ(5, client->GetProtocols(kServer, p));
  EXPECT_EQ(std::vector<int32_t>{CFG_PROTOCOL_EX}, opcodes);

  // Nobody answers either opcode: 10 + 10 attempts, then -1.
  opcodes.clear();
  answer = [&](std::span<const uint8_t> request) -> std::optional<Frame> {
    opcodes.push_back(DecodeHeader(request, IdentityTextCodec())->Opcode);
    return std::nullopt;
  };
  EXPECT_EQ(-1, client->GetProtocols(kServer, p));
  EXPECT_EQ(20u, opcodes.size());
}

TEST_F(ConfigClientTest, GeneralWriteOverUdpOnTwoAdaptersSendsTwentyFramesAndSucceedsWithoutReply) {
  MakeAdapters(2);
  GeneralConfig g;
  g.ServerName = "NEWNAME";
  g.Workgroup = "WG";
  g.Description = "desc";
  g.Reserved84 = 1;
  g.ExtendedWrite = 0;
  EXPECT_EQ(0, client->SetGeneral(kServer, g));
  auto sent = SentConfigFrames();
  ASSERT_EQ(20u, sent.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    const auto& b = sent[i].bytes;
    ASSERT_EQ(kHeaderSize + kGeneralSize, b.size());
    EXPECT_EQ(adapters[i % 2].socket->Handle(), sent[i].handle);
    EXPECT_EQ(CFG_GENERAL_EX, ReadI32(b, 6));
    EXPECT_EQ(kWrite, ReadI32(b, 10));
    EXPECT_TRUE(std::equal(adapters[i % 2].mac.begin(), adapters[i % 2].mac.end(), b.begin() + 14));
    EXPECT_EQ(0, std::memcmp(b.data() + 52 + 52, "NEWNAME", 8));
    EXPECT_EQ(0, ReadI32(b, 52 + 84));  // Reserved84 written as 0
    EXPECT_EQ(1, ReadI32(b, 52 + 92));  // ExtendedWrite 1
  }
  EXPECT_EQ(0, main_thread.pumps);  // no attempt waits
}

TEST_F(ConfigClientTest, TcpIpWriteOverTcpSendsOnceAndCarriesExtendedWriteZero) {
  MakeAdapters(2);
  UseTcpServer(TcpServerScript{});
  TcpIpConfig t;
  t.IpAddress = *net::Ipv4::Parse("10.77.0.50");
  t.ExtendedWrite = 1;
  EXPECT_EQ(0, client->SetTcpIp(kServer, t));
  auto frames = net.TcpRequests(kServerIp);
  ASSERT_EQ(1u, frames.size());
  ASSERT_EQ(kHeaderSize + kTcpIpSize, frames[0].size());
  EXPECT_TRUE(std::equal(adapters[0].mac.begin(), adapters[0].mac.end(), frames[0].begin() + 14));
  EXPECT_EQ(50, frames[0][52 + 3]);
  EXPECT_EQ(0, ReadI32(frames[0], 52 + 32));
  EXPECT_TRUE(SentConfigFrames().empty());
}

TEST_F(ConfigClientTest, TcpReadCompletesAReplyCutByTheStreamAndStopsWhenTheServerCloses) {
  MakeAdapters(1);
  Frame r = Reply(CFG_WIRELESS, kRead, 0, kWirelessSize);
  WriteI32(std::span<uint8_t>(r).subspan(22), 0, 3);  // Region
  TcpServerScript script;
  script.replies = {Frame(r.begin(), r.begin() + 10), Frame(r.begin() + 10, r.begin() + 200),
                    Frame(r.begin() + 200, r.end())};
  UseTcpServer(script);
  WirelessConfig w;
  EXPECT_EQ(0, client->GetWireless(kServer, w));
  EXPECT_EQ(3, w.Region);
  EXPECT_EQ(1u, net.TcpRequests(kServerIp).size());
  // The script is spent and the server closed: no further attempts.
  EXPECT_EQ(-1, client->GetWireless(kServer, w));
  EXPECT_EQ(2u, net.TcpRequests(kServerIp).size());
}

TEST_F(ConfigClientTest, ThousandByteImageGoesOutAsTwoChunksWithProgressZeroZeroFiftyOneHundred) {
  MakeAdapters(2);
  TcpServerScript script;
  script.replies = {Reply(CFG_FIRMWARE, kWrite, 0), Reply(CFG_FIRMWARE, kWrite, 0)};
  UseTcpServer(script);
  std::vector<uint8_t> image(1000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  std::vector<int> progress;
  EXPECT_EQ(0, client->UploadFirmware(kServer, image, [&](int p) { progress.push_back(p); }));
  EXPECT_EQ((std::vector<int>{0, 0, 51, 100}), progress);
  auto frames = net.TcpRequests(kServerIp);
  ASSERT_EQ(2u, frames.size());
  for (const auto& f : frames) {
    ASSERT_EQ(kHeaderSize + kFirmwareChunkSize, f.size());
    EXPECT_EQ(CFG_FIRMWARE, ReadI32(f, 6));
    EXPECT_EQ(kWrite, ReadI32(f, 10));
    EXPECT_TRUE(std::equal(adapters[0].mac.begin(), adapters[0].mac.end(), f.begin() + 14));
  }
  EXPECT_EQ(1000, ReadI32(frames[0], 52));
  EXPECT_EQ(0, ReadI32(frames[0], 56));
  EXPECT_EQ(512, ReadI32(frames[0], 60));
  EXPECT_EQ(1, ReadI32(frames[1], 52));
  EXPECT_EQ(512, ReadI32(frames[1], 56));
  EXPECT_EQ(488, ReadI32(frames[1], 60));
  EXPECT_TRUE(std::equal(image.begin() + 512, image.end(), frames[1].begin() + 64));
  EXPECT_EQ(0, frames[1][64 + 488]);  // the unused tail is zero
}

TEST_F(ConfigClientTest, ImageOfWholeChunksHasNoMarkerOneAndBudgetTwoEverywhere) {
  MakeAdapters(1);
  TcpServerScript script;
  // First chunk: two receive time-outs use up the budget of 2, so the frame
  // is sent again; a budget of 30 would have waited for the reply instead.
  // The second (last) chunk: the same.
  script.replies = {{}, {}, Reply(CFG_FIRMWARE, kWrite, 0), {}, {}, Reply(CFG_FIRMWARE, kWrite, 0)};
  UseTcpServer(script);
  TraceCapture trace;
  std::vector<uint8_t> image(1024, 0x5A);
  EXPECT_EQ(0, client->UploadFirmware(kServer, image, {}));
  auto frames = net.TcpRequests(kServerIp);
  ASSERT_EQ(4u, frames.size());
  for (const auto& f : frames) {
    EXPECT_NE(1, ReadI32(f, 52));
    EXPECT_EQ(512, ReadI32(f, 60));
  }
  EXPECT_EQ(1024, ReadI32(frames[0], 52));
  EXPECT_EQ(0, ReadI32(frames[2], 52));
  EXPECT_TRUE(trace.Contains("SetConfig() : recv : call failed! [OPCODE_DIALING_TIMEOUT] ! 1 / 2"));
}

TEST_F(ConfigClientTest, ChunkMarkedOneWaitsThirtyTimeOutsBeforeSendingAgain) {
  MakeAdapters(1);
  TcpServerScript script;
  script.replies = {Reply(CFG_FIRMWARE, kWrite, 0)};
  for (int i = 0; i < 29; ++i) script.replies.push_back({});
  script.replies.push_back(Reply(CFG_FIRMWARE, kWrite, 0));
  UseTcpServer(script);
  EXPECT_EQ(0, client->UploadFirmware(kServer, std::vector<uint8_t>(600, 1), {}));
  EXPECT_EQ(2u, net.TcpRequests(kServerIp).size());
}

TEST_F(ConfigClientTest, RefusedChunkEndsTheUploadAtOnceWithoutProgressHundred) {
  MakeAdapters(1);
  TcpServerScript script;
  script.replies = {Reply(CFG_FIRMWARE, kWrite, 20)};
  UseTcpServer(script);
  std::vector<int> progress;
  EXPECT_EQ(-1, client->UploadFirmware(kServer, std::vector<uint8_t>(3000, 1),
                                       [&](int p) { progress.push_back(p); }));
  EXPECT_EQ(std::vector<int>{0}, progress);
  EXPECT_EQ(1u, net.TcpRequests(kServerIp).size());
  EXPECT_EQ(20, transport->LastReplyResult());
}

TEST_F(ConfigClientTest, UploadWithoutTcpOrWithEmptyImageSendsNothing) {
  MakeAdapters(1);
  EXPECT_EQ(-1, client->UploadFirmware(kServer, std::vector<uint8_t>(100, 1), {}));
  EXPECT_TRUE(SentConfigFrames().empty());
  UseTcpServer(TcpServerScript{});
  std::vector<int> progress;
  EXPECT_EQ(-1, client->UploadFirmware(kServer, {}, [&](int p) { progress.push_back(p); }));
  EXPECT_TRUE(net.TcpRequests(kServerIp).empty());
  EXPECT_TRUE(progress.empty());
}

TEST_F(ConfigClientTest, SelectionUsesTcpOnlyForLocalServersOfServiceVersionOneTwentyFourOrLater) {
  MakeAdapters(1);
  TraceCapture trace;
  net.SetTcpServer(kServerIp, TcpServerScript{});
  ConfigTarget target{"10.0.0.21", kServer, 1, "1.24", 0};
  transport->Select(target, "Configure");
  EXPECT_TRUE(transport->UsesTcp());
  EXPECT_TRUE(trace.Contains("10.0.0.21 : Use TCP to Configure : 7"));
  transport->Close(target);
  EXPECT_FALSE(transport->UsesTcp());
  EXPECT_TRUE(trace.Contains("10.0.0.21 : Use TCP to Close : 7"));

  const size_t connects = net.TcpConnects();
  for (auto [location, version] : {std::pair{0, "1.52"}, {2, "1.52"}, {1, "1.23"}, {3, "1.100"}}) {
    target.location = location;
    target.configd_version = version;
    transport->Select(target, "ShowInfoDetail");
    EXPECT_FALSE(transport->UsesTcp()) << location << " " << version;
  }
  EXPECT_EQ(connects, net.TcpConnects());
  EXPECT_TRUE(trace.Contains("10.0.0.21 : Use UDP to ShowInfoDetail"));

  // A refused connection is logged and the series goes over UDP.
  TcpServerScript refuse;
  refuse.refuse = true;
  net.SetTcpServer(kServerIp, refuse);
  target = ConfigTarget{"10.0.0.21", kServer, 3, "1.52", 0};
  transport->Select(target, "Configure");
  EXPECT_FALSE(transport->UsesTcp());
  EXPECT_TRUE(trace.Contains("OpenSocketTCPIP Fail2 : 10.0.0.21 : -7"));
  TcpServerScript slow;
  slow.time_out = true;
  net.SetTcpServer(kServerIp, slow);
  transport->Select(target, "Configure");
  EXPECT_TRUE(trace.Contains("OpenSocketTCPIP Fail2 : 10.0.0.21 : -8"));
  transport->Select(target, "Configure", /*library_started=*/false);
  EXPECT_TRUE(trace.Contains("OpenSocketTCPIP Fail2 : 10.0.0.21 : -1"));
}

TEST_F(ConfigClientTest, LoginSendsNameAndPasswordButNeverTracesThem) {
  MakeAdapters(1);
  TraceCapture trace;
  answer = [&](std::span<const uint8_t> request) -> std::optional<Frame> {
    auto h = DecodeHeader(request, IdentityTextCodec());
    return Reply(CFG_LOGIN, h->Direction, h->LoginPassword == "s3cret!" ? 0 : 1);
  };
  EXPECT_EQ(0, client->CheckLogin(kServer, "admin", "s3cret!"));
  EXPECT_EQ(1, client->CheckLogin(kServer, "admin", "nope"));
  EXPECT_EQ(0, client->SetAdministrator(kServer, "root", "s3cret!"));
  auto sent = SentConfigFrames();
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(0, std::memcmp(sent[2].bytes.data() + 20, "root", 5));
  EXPECT_EQ(kWrite, ReadI32(sent[2].bytes, 10));
  for (const auto& line : trace.Lines()) EXPECT_EQ(std::string::npos, line.find("s3cret")) << line;
}

TEST(LocationOf, LocalOnlyOnTheSubnetOfAnAdapterWithAnAddress) {
  net::AdapterList list;
  list.adapters.push_back(net::AdapterInfo{6, {2, 0, 0, 0, 0, 1}, "10.77.0.11", "eth0", "255.255.255.0"});
  list.adapters.push_back(net::AdapterInfo{6, {2, 0, 0, 0, 0, 2}, "0.0.0.0", "eth1", "0.0.0.0"});
  list.adapters.push_back(net::AdapterInfo{6, {2, 0, 0, 0, 0, 3}, "192.168.5.9", "eth2", "255.255.0.0"});
  EXPECT_EQ(1, LocationOf(*net::Ipv4::Parse("10.77.0.21"), list));
  EXPECT_EQ(0, LocationOf(*net::Ipv4::Parse("10.88.0.21"), list));
  EXPECT_EQ(1, LocationOf(*net::Ipv4::Parse("192.168.77.1"), list));
  EXPECT_EQ(0, LocationOf(*net::Ipv4::Parse("0.0.0.1"), list));
}

TEST(WinsockErrorName, KnownCodesAndEmptyOtherwise) {
  EXPECT_EQ("WSAETIMEDOUT", WinsockErrorName(10060));
  EXPECT_EQ("WSAECONNRESET", WinsockErrorName(10054));
  EXPECT_EQ("WSANOTINITIALISED", WinsockErrorName(10093));
  EXPECT_EQ("WSAEFAULT", WinsockErrorName(10014));
  EXPECT_EQ("", WinsockErrorName(10061));
  EXPECT_EQ("", WinsockErrorName(0));
}

}  // namespace
}  // namespace vx::admin
