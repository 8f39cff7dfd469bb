// The records against hand-written bytes at the offsets of their layouts,
// so that a wrong offset or width cannot hide behind our own encoder.
#include "admin/config_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vx::admin {
namespace {

const TextCodec& C() { return IdentityTextCodec(); }

void Put(std::vector<uint8_t>& b, size_t at, const std::string& s) {
  std::copy(s.begin(), s.end(), b.begin() + static_cast<long>(at));
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(std::span<const uint8_t> b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

const Mac kServer = {0x00, 0x80, 0x92, 0x00, 0x00, 0x21};
const Mac kClient = {0x02, 0x77, 0x00, 0x00, 0x00, 0x11};

TEST(ConfigHeader, FieldsSitAtTheirOffsetsAndTextsKeepAZeroTail) {
  ConfigHeader h{kServer, CFG_LOGIN, kRead, kClient, "admin", "0123456789abcdefXYZ"};
  auto b = EncodeHeader(h, C());
  EXPECT_EQ(0, std::memcmp(b.data(), kServer.data(), 6));
  EXPECT_EQ(1u, Get32(b, 6));
  EXPECT_EQ(0u, Get32(b, 10));
  EXPECT_EQ(0, std::memcmp(b.data() + 14, kClient.data(), 6));
  EXPECT_EQ(0, std::memcmp(b.data() + 20, "admin\0\0\0", 8));
  // 15 characters of the password, then the zero that ends it.
  EXPECT_EQ(0, std::memcmp(b.data() + 36, "0123456789abcde", 15));
  EXPECT_EQ(0, b[51]);
  auto back = DecodeHeader(b, C());
  ASSERT_TRUE(back);
  EXPECT_EQ("admin", back->LoginUser);
  EXPECT_EQ("0123456789abcde", back->LoginPassword);
  EXPECT_FALSE(DecodeHeader(std::span<const uint8_t>(b).first(51), C()));
}

TEST(ConfigReply, AcceptanceNeedsSameMacOpcodeDirectionAndNoEchoedClientMac) {
  ConfigHeader req{kServer, CFG_TCPIP, kRead, kClient, "", ""};
  auto ok = EncodeReply(kServer, CFG_TCPIP, kRead, 0, std::vector<uint8_t>(96, 0));
  EXPECT_TRUE(AcceptsReply(ok, req));

  Mac other = kServer;
  other[5] ^= 1;
  EXPECT_FALSE(AcceptsReply(EncodeReply(other, CFG_TCPIP, kRead, 0, {}), req));
  EXPECT_FALSE(AcceptsReply(EncodeReply(kServer, CFG_TCPIP_STATUS, kRead, 0, {}), req));
  EXPECT_FALSE(AcceptsReply(EncodeReply(kServer, CFG_TCPIP, kWrite, 0, {}), req));
  // Our own request with a record, echoed back: bytes 14-19 are our MAC.
  auto echo = EncodeFrame(req, std::vector<uint8_t>(96, 0), C());
  EXPECT_FALSE(AcceptsReply(echo, req));
  // Shorter than the reply header.
  EXPECT_FALSE(AcceptsReply(std::span<const uint8_t>(ok).first(21), req));
  EXPECT_FALSE(ParseReply(std::span<const uint8_t>(ok).first(21)));
  auto parsed = ParseReply(std::span<const uint8_t>(ok).first(22));
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->record.empty());
}

TEST(GeneralConfig, ReadsItsOffsetsAndNormalisesReservedAndCodepage) {
  std::vector<uint8_t> b(kGeneralSize, 0);
  Put(b, 0, "Front office");
  Put(b, 52, "SRV-ONE");
  Put(b, 68, "WORKGROUP");
  Put32(b, 84, 7);
  Put32(b, 88, 10);
  Put32(b, 92, 1);
  auto g = DecodeGeneral(b, C());
  ASSERT_TRUE(g);
  EXPECT_EQ("Front office", g->Description);
  EXPECT_EQ("SRV-ONE", g->ServerName);
  EXPECT_EQ("WORKGROUP", g->Workgroup);
  EXPECT_EQ(0, g->Reserved84);  // not 1 -> 0
  EXPECT_EQ(0, g->Codepage);    // outside 0..9 -> 0
  Put32(b, 84, 1);
  Put32(b, 88, 9);
  g = DecodeGeneral(b, C());
  EXPECT_EQ(1, g->Reserved84);
  EXPECT_EQ(9, g->Codepage);
  EXPECT_FALSE(DecodeGeneral(std::span<const uint8_t>(b).first(219), C()));
}

TEST(GeneralConfig, WriteCutsTextsToTheirFieldAndZeroFillsTheReservedTail) {
  GeneralConfig g;
  g.ServerName = "ABCDEFGHIJKLMNOPQRS";  // 19 characters, field holds 15
  g.Workgroup = "WG";
  g.Description = std::string(60, 'd');
  g.Codepage = 4;
  g.ExtendedWrite = 1;
  auto b = EncodeGeneral(g, C());
  EXPECT_EQ(0, std::memcmp(b.data() + 52, "ABCDEFGHIJKLMNO\0", 16));
  EXPECT_EQ('W', b[68]);
  EXPECT_EQ(0, b[51]);  // description ends inside its 52 bytes
  EXPECT_EQ(4u, Get32(b, 88));
  EXPECT_EQ(1u, Get32(b, 92));
  for (size_t i = 96; i < kGeneralSize; ++i) ASSERT_EQ(0, b[i]) << i;
}

TEST(TcpIpConfig, AddressesInWireOrderAndFlagBytesReadAsZeroUnlessOne) {
  std::vector<uint8_t> b(kTcpIpSize, 0);
  const uint8_t addrs[] = {10, 77, 0, 21, 255, 255, 255, 0, 10, 77, 0, 1,
                           8,  8,  8, 8,  1,   1,   1,   1, 10, 77, 0, 2};
  std::copy(std::begin(addrs), std::end(addrs), b.begin());
  b[24] = 1;
  b[25] = 2;
  b[26] = 255;
  b[27] = 1;
  Put32(b, 28, 86400);
  auto t = DecodeTcpIp(b);
  ASSERT_TRUE(t);
  EXPECT_EQ("10.77.0.21", t->IpAddress.ToString());
  EXPECT_EQ("255.255.255.0", t->SubnetMask.ToString());
  EXPECT_EQ("10.77.0.1", t->Gateway.ToString());
  EXPECT_EQ("8.8.8.8", t->DnsServer.ToString());
  EXPECT_EQ("1.1.1.1", t->ManualDns.ToString());
  EXPECT_EQ("10.77.0.2", t->DhcpServerAddress.ToString());
  EXPECT_EQ(1, t->DhcpOn);
  EXPECT_EQ(0, t->ManualDnsOn);
  EXPECT_EQ(0, t->DhcpFailed);
  EXPECT_EQ(86400, t->LeaseTime);
  auto out = EncodeTcpIp(*t);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 24, b.begin()));
  EXPECT_EQ(0, out[27]);  // reserved
  for (size_t i = 36; i < kTcpIpSize; ++i) ASSERT_EQ(0, out[i]) << i;
}

TEST(ProtocolConfig, PortDefaultsAndFlagNormalisationKeepOtherBytes) {
  std::vector<uint8_t> b(kProtocolSize, 0);
  b[0] = 1;   // IppOn
  b[2] = 2;   // FtpOn: not 1 -> 0
  b[9] = 7;   // reserved flag, also normalised
  b[33] = 1;  // FileAuthOn
  b[40] = 3;  // FtpAnonymousOn -> 0
  b[52] = 1;  // StorageMode
  b[55] = 9;  // last reserved flag -> 0
  b[56] = 9;  // reserved area: kept as read
  Put32(b, 12, 9100);
  Put32(b, 28, 4);
  auto p = DecodeProtocol(b);
  ASSERT_TRUE(p);
  EXPECT_EQ(21, p->Int(proto::FtpPort));
  EXPECT_EQ(6566, p->Int(proto::SanePort));
  EXPECT_EQ(9100, p->Int(proto::RawPort1));
  EXPECT_EQ(4, p->Int(proto::FtpMaxSessions));
  EXPECT_TRUE(p->Flag(proto::IppOn));
  EXPECT_FALSE(p->Flag(proto::FtpOn));
  EXPECT_EQ(0, p->bytes[2]);
  EXPECT_EQ(0, p->bytes[9]);
  EXPECT_TRUE(p->Flag(proto::FileAuthOn));
  EXPECT_EQ(0, p->bytes[40]);
  EXPECT_EQ(1, p->bytes[52]);
  EXPECT_EQ(0, p->bytes[55]);
  EXPECT_EQ(9, p->bytes[56]);
  Put32(b, 20, 2121);
  Put32(b, 24, 7000);
  p = DecodeProtocol(b);
  EXPECT_EQ(2121, p->Int(proto::FtpPort));
  EXPECT_EQ(7000, p->Int(proto::SanePort));
  EXPECT_FALSE(DecodeProtocol(std::span<const uint8_t>(b).first(199)));
}

TEST(PrinterPortInfo, QueueNamesAtZeroAndNinetySix) {
  std::vector<uint8_t> b(kPrinterInfoSize, 0);
  Put(b, 0, "lp1");
  Put(b, 96, "lp2");
  Put(b, 192, "not-a-queue");
  auto p = DecodePrinterInfo(b, C());
  ASSERT_TRUE(p);
  EXPECT_EQ("lp1", p->Port1QueueName);
  EXPECT_EQ("lp2", p->Port2QueueName);
  // A name that fills its field without a zero stops at the field's end.
  std::fill(b.begin(), b.begin() + 96, 'q');
  EXPECT_EQ(std::string(96, 'q'), DecodePrinterInfo(b, C())->Port1QueueName);
  EXPECT_FALSE(DecodePrinterInfo(std::span<const uint8_t>(b).first(847), C()));
}

TEST(WirelessConfig, OffsetsAndOutOfRangeValuesReadAsZero) {
  std::vector<uint8_t> b(kWirelessSize, 0);
  Put32(b, 0, 3);
  Put(b, 4, "station");
  Put32(b, 24, 1);
  Put(b, 28, "lab-ssid");
  Put(b, 64, "00:11:22:33:44:55");
  Put32(b, 100, 15);  // channel out of range
  Put32(b, 104, 4);
  Put32(b, 108, 2);  // out of range
  Put32(b, 112, 3);
  Put32(b, 116, 4);  // out of range
  Put(b, 120, "k0");
  Put(b, 148, "k1");
  Put(b, 176, "k2");
  Put(b, 204, "k3");
  Put32(b, 232, 1);
  Put(b, 236, "passphrase");
  Put32(b, 304, 2);  // out of range
  Put32(b, 308, 100);
  Put32(b, 312, 0xFFFFFFFF);  // -1: out of range
  Put32(b, 316, 14);
  auto w = DecodeWireless(b, C());
  ASSERT_TRUE(w);
  EXPECT_EQ(3, w->Region);
  EXPECT_EQ("station", w->StationName);
  EXPECT_EQ(1, w->NetworkType);
  EXPECT_EQ("lab-ssid", w->Ssid);
  EXPECT_EQ("00:11:22:33:44:55", w->Bssid);
  EXPECT_EQ(0, w->Channel);
  EXPECT_EQ(4, w->Security);
  EXPECT_EQ(0, w->WepAuth);
  EXPECT_EQ(3, w->WepKeySize);
  EXPECT_EQ(0, w->WepDefaultKey);
  EXPECT_EQ((std::array<std::string, 4>{"k0", "k1", "k2", "k3"}), w->WepKey);
  EXPECT_EQ(1, w->PskFormat);
  EXPECT_EQ("passphrase", w->PreSharedKey);
  EXPECT_EQ(0, w->Encryption);
  EXPECT_EQ(100, w->LinkQuality);
  EXPECT_EQ(0, w->SignalStrength);
  EXPECT_EQ(14, w->CurrentChannel);
  auto again = EncodeWireless(*w, C());
  EXPECT_EQ(0, std::memcmp(again.data() + 148, "k1", 3));
  EXPECT_EQ(0, std::memcmp(again.data() + 236, "passphrase", 11));
  EXPECT_FALSE(DecodeWireless(std::span<const uint8_t>(b).first(467), C()));
}

TEST(FirmwareChunk, FieldsAndData) {
  FirmwareChunk c;
  c.Marker = 1000;
  c.Offset = 512;
  c.Length = 488;
  c.Data[0] = 0xAB;
  c.Data[511] = 0xCD;
  auto b = EncodeFirmwareChunk(c);
  EXPECT_EQ(1000u, Get32(b, 0));
  EXPECT_EQ(512u, Get32(b, 4));
  EXPECT_EQ(488u, Get32(b, 8));
  EXPECT_EQ(0xAB, b[12]);
  EXPECT_EQ(0xCD, b[523]);
  auto back = DecodeFirmwareChunk(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(488, back->Length);
  EXPECT_FALSE(DecodeFirmwareChunk(std::span<const uint8_t>(b).first(523)));
}

}  // namespace
}  // namespace vx::admin
