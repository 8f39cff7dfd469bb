// Replies of every shape: the reply parser, the acceptance rule, the
// record decoders with their normalisation, and the same bytes arriving
// through the UDP and TCP transports (fake network) for a read.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "admin/config_client.h"
#include "discovery/testing/fake_network.h"

using namespace vx;
using namespace vx::admin;

namespace {

const Mac kServer = {0x00, 0x80, 0x92, 0x00, 0x00, 0x21};
const Mac kClient = {0x02, 0x77, 0x00, 0x00, 0x00, 0x11};

void Check(bool ok) {
  if (!ok) std::abort();
}

bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

void Records(std::span<const uint8_t> b) {
  const TextCodec& c = IdentityTextCodec();
  if (auto g = DecodeGeneral(b, c)) {
    Check(b.size() >= kGeneralSize && InRange(g->Codepage, 0, 9) && InRange(g->Reserved84, 0, 1));
    Check(g->ServerName.size() <= 16 && g->Workgroup.size() <= 16 && g->Description.size() <= 52);
    auto again = DecodeGeneral(EncodeGeneral(*g, c), c);
    Check(again && again->Codepage == g->Codepage);
  } else {
    Check(b.size() < kGeneralSize);
  }
  if (auto t = DecodeTcpIp(b)) {
    Check(t->DhcpOn <= 1 && t->ManualDnsOn <= 1 && t->DhcpFailed <= 1);
    auto again = DecodeTcpIp(EncodeTcpIp(*t));
    Check(again && again->IpAddress == t->IpAddress && again->LeaseTime == t->LeaseTime);
  }
  if (auto p = DecodeProtocol(b)) {
    for (size_t i = 0; i < 12; ++i) Check(p->bytes[i] <= 1);
    for (size_t i = 32; i < 56; ++i) Check(p->bytes[i] <= 1);
    Check(p->Int(proto::FtpPort) != 0 && p->Int(proto::SanePort) != 0);
  }
  if (auto pi = DecodePrinterInfo(b, c))
    Check(pi->Port1QueueName.size() <= 96 && pi->Port2QueueName.size() <= 96);
  if (auto w = DecodeWireless(b, c)) {
    Check(InRange(w->Region, 0, 3) && InRange(w->NetworkType, 0, 1) && InRange(w->Channel, 0, 14));
    Check(InRange(w->Security, 0, 4) && InRange(w->WepAuth, 0, 1) && InRange(w->WepKeySize, 0, 3));
    Check(InRange(w->WepDefaultKey, 0, 3) && InRange(w->PskFormat, 0, 1) && InRange(w->Encryption, 0, 1));
    Check(InRange(w->LinkQuality, 0, 100) && InRange(w->SignalStrength, 0, 100));
    Check(InRange(w->CurrentChannel, 0, 14));
    auto again = DecodeWireless(EncodeWireless(*w, c), c);
    Check(again && again->Region == w->Region && again->Ssid == w->Ssid.substr(0, 35));
  }
  if (auto f = DecodeFirmwareChunk(b)) Check(std::memcmp(f->Data.data(), b.data() + 12, kChunkData) == 0);
}

// A read of `opcode` whose only reply is `bytes`, over UDP (one adapter,
// one attempt) and over TCP (one receive).
void ThroughTransports(std::span<const uint8_t> bytes, int32_t opcode, size_t record_size) {
  ConfigHeader request{kServer, opcode, kRead, kClient, "", ""};
  const bool acceptable = AcceptsReply(bytes, request);
  ConfigSettings s;
  s.readable_wait = Millis(0);
  s.attempts_per_adapter = 1;
  for (bool tcp : {false, true}) {
    discovery::testing::FakeNetwork net;
    auto sock = net.CreateUdp();
    const net::Endpoint local{net::Ipv4{{10, 0, 0, 1}}, 7419};
    sock.value->Bind(net::BindTarget{local, ""});
    std::vector<AdapterSocket> adapters{{std::shared_ptr<net::UdpSocket>(std::move(sock.value)), kClient}};
    ConfigTransport t(net, adapters, InlineMainThread(), IdentityTextCodec(), s);
    const net::Ipv4 server{{10, 0, 0, 21}};
    if (tcp) {
      discovery::testing::TcpServerScript script;
      script.replies = {std::vector<uint8_t>(bytes.begin(), bytes.end())};
      net.SetTcpServer(server, script);
      t.UseTcp(net.ConnectTcp(net::Endpoint{server, 7305}, Millis(0)).value);
    } else {
      net.Deliver(local, std::vector<uint8_t>(bytes.begin(), bytes.end()), net::Endpoint{server, 7419});
    }
    std::vector<uint8_t> record(record_size, 0xEE);
    const int r = t.Read(request, record);
    if (r == -1) continue;
    // Over UDP the datagram was the only candidate; over TCP the bytes may
    // exceed the receive buffer, so only the first 1024 count.
    auto kept = bytes.first(std::min<size_t>(bytes.size(), kReceiveBufferSize));
    Check(tcp ? AcceptsReply(kept, request) : acceptable);
    auto reply = ParseReply(kept);
    Check(reply && reply->Result == r);
    if (r == 0) {
      Check(reply->record.size() >= record_size);
      Check(record_size == 0 || std::memcmp(record.data(), reply->record.data(), record_size) == 0);
    } else {
      for (uint8_t v : record) Check(v == 0xEE);  // an error leaves the record alone
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  Records(bytes);
  if (auto r = ParseReply(bytes)) {
    Check(size >= kReplyHeaderSize && r->record.size() == size - kReplyHeaderSize);
    Records(r->record);
  } else {
    Check(size < kReplyHeaderSize);
  }
  // The opcode the input claims decides which read it answers.
  const int32_t opcode = size >= 10 ? ReadI32(bytes, 6) : CFG_GENERAL;
  size_t record_size = 0;
  switch (opcode) {
    case CFG_GENERAL:
      record_size = kGeneralSize;
      break;
    case CFG_PRINTER_INFO:
      record_size = kPrinterInfoSize;
      break;
    case CFG_TCPIP:
    case CFG_TCPIP_STATUS:
      record_size = kTcpIpSize;
      break;
    case CFG_PROTOCOL:
    case CFG_PROTOCOL_EX:
      record_size = kProtocolSize;
      break;
    case CFG_WIRELESS:
      record_size = kWirelessSize;
      break;
    default:
      break;
  }
  if (size <= 2048) ThroughTransports(bytes, opcode, record_size);
  return 0;
}
