// The simulated servers' configuration service without sockets: the
// answers, the administrator session, the writes that restart a server with
// a new identity, factory default and the firmware chunk checks.
#include "config_service.h"

#include <gtest/gtest.h>

#include "admin/config_client.h"

namespace vx::lab {
namespace {

using namespace vx::admin;
using Clock = std::chrono::steady_clock;

const Mac kPc1 = {0x02, 0x77, 0, 0, 0, 0x11};
const Mac kPc2 = {0x02, 0x77, 0, 0, 0, 0x12};

SimServer Server(const char* extra = "") {
  return ParseServer(nlohmann::json::parse(
      std::string(R"({"name": "srv1", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "network_type": 1,
                      "config_service": {"admin_password": "pw", "session_seconds": 30)") +
      extra + "}}"));
}

class ConfigServiceTest : public ::testing::Test {
 protected:
  // One request frame to the server.
  ConfigAction Send(int32_t opcode, int32_t direction, const Mac& client = kPc1,
                    std::span<const uint8_t> record = {}, const std::string& user = "",
                    const std::string& password = "") {
    ConfigHeader h{s.config_mac, opcode, direction, client, user, password};
    return service.Handle(s, EncodeFrame(h, record, IdentityTextCodec()), now);
  }
  static int32_t Result(const ConfigAction& a) { return ReadI32(*a.reply, 14); }

  SimServer s = Server();
  ConfigService service;
  Clock::time_point now = Clock::now();
};

TEST_F(ConfigServiceTest, LoginChecksCredentialsAndRefusesASecondAdministratorForTheSession) {
  EXPECT_EQ(kResultWrongLogin, Result(Send(CFG_LOGIN, kRead, kPc1, {}, "admin", "nope")));
  EXPECT_EQ(kResultWrongLogin, Result(Send(CFG_LOGIN, kRead, kPc1, {}, "root", "pw")));
  EXPECT_EQ(kResultOk, Result(Send(CFG_LOGIN, kRead, kPc1, {}, "admin", "pw")));
  EXPECT_EQ(kResultAdminBusy, Result(Send(CFG_LOGIN, kRead, kPc2, {}, "admin", "pw")));
  EXPECT_EQ(kResultOk, Result(Send(CFG_LOGIN, kRead, kPc1, {}, "admin", "pw")));  // the same one again
  now += std::chrono::seconds(31);
  EXPECT_EQ(kResultOk, Result(Send(CFG_LOGIN, kRead, kPc2, {}, "admin", "pw")));
  // A new administrator replaces the old credentials.
  EXPECT_EQ(kResultOk, Result(Send(CFG_LOGIN, kWrite, kPc2, {}, "boss", "new")));
  EXPECT_EQ(kResultWrongLogin, Result(Send(CFG_LOGIN, kRead, kPc2, {}, "admin", "pw")));
  EXPECT_EQ(kResultOk, Result(Send(CFG_LOGIN, kRead, kPc2, {}, "boss", "new")));
  EXPECT_EQ(std::string::npos, service.Control(s, {"show"}).find("new\""));
}

TEST_F(ConfigServiceTest, ReadsAnswerWithTheirRecordsFromTheServerObject) {
  auto g = Send(CFG_GENERAL, kRead);
  ASSERT_EQ(22 + kGeneralSize, g.reply->size());
  auto general = DecodeGeneral(std::span<const uint8_t>(*g.reply).subspan(22), IdentityTextCodec());
  EXPECT_EQ("srv1", general->ServerName);
  EXPECT_EQ("WORKGROUP", general->Workgroup);
  auto t = Send(CFG_TCPIP, kRead);
  auto tcpip = DecodeTcpIp(std::span<const uint8_t>(*t.reply).subspan(22));
  EXPECT_EQ("10.77.0.21", tcpip->IpAddress.ToString());
  EXPECT_EQ("255.255.255.0", tcpip->SubnetMask.ToString());
  EXPECT_EQ("10.77.0.1", tcpip->Gateway.ToString());
  EXPECT_EQ(22 + kPrinterInfoSize, Send(CFG_PRINTER_INFO, kRead).reply->size());
  EXPECT_EQ(22 + kWirelessSize, Send(CFG_WIRELESS, kRead).reply->size());
  auto p = Send(CFG_PROTOCOL_EX, kRead);
  ASSERT_TRUE(p.reply);
  EXPECT_EQ(0, ReadI32(*p.reply, 22 + proto::FtpPort));  // the client shows 21
  EXPECT_FALSE(Send(99, kRead).reply);                   // unknown opcodes get no answer
}

TEST_F(ConfigServiceTest, AnOlderServerIgnoresOpcodeFortyEight) {
  s = Server(R"(, "ignore_opcode_48": true)");
  EXPECT_FALSE(Send(CFG_PROTOCOL_EX, kRead).reply);
  EXPECT_TRUE(Send(CFG_PROTOCOL, kRead).reply);
  EXPECT_EQ("OK", service.Control(s, {"ignore-48", "off"}));
  EXPECT_TRUE(Send(CFG_PROTOCOL_EX, kRead).reply);
}

TEST_F(ConfigServiceTest, WritesRestartWithoutAnswerAndGiveTheNewIdentityOnce) {
  GeneralConfig g;
  g.ServerName = "renamed";
  auto a = Send(CFG_GENERAL_EX, kWrite, kPc1, EncodeGeneral(g, IdentityTextCodec()));
  EXPECT_FALSE(a.reply);
  EXPECT_TRUE(a.restart);
  TcpIpConfig t;
  t.IpAddress = *net::Ipv4::Parse("10.77.0.60");
  t.SubnetMask = *net::Ipv4::Parse("255.255.0.0");
  EXPECT_TRUE(Send(CFG_TCPIP, kWrite, kPc1, EncodeTcpIp(t)).restart);
  auto id = service.TakeIdentity(s);
  EXPECT_EQ("renamed", id.name);
  EXPECT_EQ("10.77.0.60", id.ip->ToString());
  EXPECT_EQ(16, id.prefix);
  id = service.TakeIdentity(s);  // a plain reboot later changes nothing
  EXPECT_FALSE(id.name);
  EXPECT_FALSE(id.ip);

  // DHCP (no DHCP server in the lab) and a non-contiguous mask keep the address.
  t.DhcpOn = 1;
  Send(CFG_TCPIP, kWrite, kPc1, EncodeTcpIp(t));
  EXPECT_FALSE(service.TakeIdentity(s).ip);
  t.DhcpOn = 0;
  t.SubnetMask = *net::Ipv4::Parse("255.0.255.0");
  Send(CFG_TCPIP, kWrite, kPc1, EncodeTcpIp(t));
  EXPECT_FALSE(service.TakeIdentity(s).ip);
}

TEST_F(ConfigServiceTest, FactoryDefaultGoesBackToTheFileAndRestarts) {
  GeneralConfig g;
  g.ServerName = "renamed";
  Send(CFG_GENERAL_EX, kWrite, kPc1, EncodeGeneral(g, IdentityTextCodec()));
  Send(CFG_LOGIN, kWrite, kPc1, {}, "boss", "x");
  service.TakeIdentity(s);
  auto a = Send(CFG_FACTORY_DEFAULT, kWrite);
  EXPECT_EQ(kResultOk, Result(a));
  EXPECT_TRUE(a.restart);
  auto id = service.TakeIdentity(s);
  EXPECT_EQ("srv1", id.name);
  EXPECT_EQ("10.77.0.21", id.ip->ToString());
  EXPECT_EQ(kResultOk, Result(Send(CFG_LOGIN, kRead, kPc1, {}, "admin", "pw")));
  EXPECT_EQ(kResultOk, Result(Send(CFG_RESTART, kWrite)));
}

TEST_F(ConfigServiceTest, FirmwareChunksAreCheckedAndACompleteImageRestarts) {
  auto upload = [&](size_t size) {
    std::vector<uint8_t> image(size, 0x42);
    std::vector<ConfigAction> out;
    for (const auto& c : SplitFirmware(image))
      out.push_back(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(c)));
    return out;
  };
  for (size_t size : {1000u, 1024u, 100u, 300000u}) {
    auto answers = upload(size);
    for (size_t i = 0; i < answers.size(); ++i) {
      EXPECT_EQ(kResultOk, Result(answers[i])) << size << " chunk " << i;
      EXPECT_EQ(i + 1 == answers.size(), answers[i].restart) << size << " chunk " << i;
    }
  }
  // A chunk out of order, a wrong length, a wrong marker: 20.
  auto chunks = SplitFirmware(std::vector<uint8_t>(2000, 1));
  EXPECT_EQ(kResultOk, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[0]))));
  EXPECT_EQ(kResultChunkFailed, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[2]))));
  EXPECT_EQ(kResultOk, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[0]))));
  FirmwareChunk bad = chunks[1];
  bad.Length = 500;
  EXPECT_EQ(kResultChunkFailed, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(bad))));
  EXPECT_EQ(kResultOk, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[0]))));
  bad = chunks[3];
  bad.Marker = 0;
  Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[1]));
  Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[2]));
  EXPECT_EQ(kResultChunkFailed, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(bad))));
  // Told to fail.
  EXPECT_EQ("OK", service.Control(s, {"fail-firmware", "on"}));
  EXPECT_EQ(kResultChunkFailed, Result(Send(CFG_FIRMWARE, kWrite, kPc1, EncodeFirmwareChunk(chunks[0]))));
}

TEST(ConfigServiceFrames, SizeFollowsOpcodeAndDirectionAndAddressIsTheConfigMac) {
  ConfigHeader h{{1, 2, 3, 4, 5, 6}, CFG_TCPIP, kWrite, {}, "", ""};
  auto head = EncodeHeader(h, IdentityTextCodec());
  EXPECT_EQ(kHeaderSize + kTcpIpSize, ConfigService::FrameSize(head));
  h.Direction = kRead;
  EXPECT_EQ(kHeaderSize, ConfigService::FrameSize(EncodeHeader(h, IdentityTextCodec())));
  h.Opcode = CFG_FIRMWARE;
  h.Direction = kWrite;
  EXPECT_EQ(kHeaderSize + kFirmwareChunkSize, ConfigService::FrameSize(EncodeHeader(h, IdentityTextCodec())));
  EXPECT_FALSE(ConfigService::FrameSize(std::span<const uint8_t>(head).first(51)));
  SimServer s = ParseServer(nlohmann::json::parse(
      R"({"name": "a", "mac": "00:80:92:00:00:21", "config_mac": "01:02:03:04:05:06", "ip": "10.0.0.1"})"));
  EXPECT_TRUE(ConfigService::AddressedTo(head, s));
  s.config_mac[5] = 7;
  EXPECT_FALSE(ConfigService::AddressedTo(head, s));
}

TEST(ConfigServiceFrames, AMalformedConfigServiceObjectIsRefused) {
  ConfigService service;
  SimServer s = ParseServer(nlohmann::json::parse(
      R"({"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.0.0.1", "config_service": {"protocols": {"Nope": 1}}})"));
  EXPECT_THROW(service.Ensure(s), std::runtime_error);
}

}  // namespace
}  // namespace vx::lab
