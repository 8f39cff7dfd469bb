// vx-uds without sockets: the configuration, the datagrams servers send on
// their own and the control commands that need no network.
#include <gtest/gtest.h>

#include <cstring>

#include "uds_config.h"
#include "uds_engine.h"

namespace vx::lab {
namespace {

const char* kConfig = R"({
  "announce_interval": 5,
  "servers": [
    {"name": "srv1", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "model": "MD-WLAN04N",
     "configd_version": "1.24", "usb_ports": 2, "network_type": 1, "devices": [{"vid": "04b8"}]},
    {"name": "far", "mac": "00-80-92-00-00-88", "ip": "10.88.0.21", "reply": "broadcast", "tcp": false,
     "config_mac": "02:00:00:00:00:01", "announce": "both"}
  ]})";

TEST(UdsConfig, ReadsServersWithDefaultsAndKeepsTheirWholeObject) {
  UdsConfig c = ParseConfig(nlohmann::json::parse(kConfig));
  EXPECT_EQ(c.announce_interval, 5);
  EXPECT_EQ(c.reboot_seconds, 3);
  EXPECT_EQ(c.interface, "eth0");
  ASSERT_EQ(c.servers.size(), 2u);
  const SimServer& a = c.servers[0];
  EXPECT_EQ(a.MacText(), "00:80:92:00:00:21");
  EXPECT_EQ(a.config_mac, a.mac);
  EXPECT_EQ(a.configd_type, 1u);
  EXPECT_EQ(a.software_bus, 1u);
  EXPECT_TRUE(a.tcp);
  EXPECT_EQ(a.config["devices"][0]["vid"], "04b8");
  const SimServer& b = c.servers[1];
  EXPECT_EQ(b.reply, SimServer::Reply::kBroadcast);
  EXPECT_EQ(b.announce, SimServer::Announce::kBoth);
  EXPECT_FALSE(b.tcp);
  EXPECT_EQ(discovery::MacText(b.config_mac), "02:00:00:00:00:01");
}

TEST(UdsConfig, RejectsWhatWouldMakeAWrongServer) {
  auto server = [](const char* json) { return ParseServer(nlohmann::json::parse(json)); };
  EXPECT_THROW(server(R"({"mac": "00:80:92:00:00:21", "ip": "10.77.0.21"})"), std::runtime_error);
  EXPECT_THROW(server(R"({"name": "a b", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21"})"),
               std::runtime_error);
  EXPECT_THROW(server(R"({"name": "a", "mac": "00:80:92:00:00", "ip": "10.77.0.21"})"), std::runtime_error);
  EXPECT_THROW(server(R"({"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.77.0"})"), std::runtime_error);
  EXPECT_THROW(server(R"({"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.77.0.1", "usb_ports": -1})"),
               std::runtime_error);
  EXPECT_THROW(server(R"({"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.77.0.1", "model": 5})"),
               std::runtime_error);
  EXPECT_THROW(server(R"({"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.77.0.1", "reply": "x"})"),
               std::runtime_error);
  EXPECT_THROW(ParseConfig(nlohmann::json::parse(
                   R"({"servers": [{"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.77.0.1"},
                                   {"name": "a", "mac": "00:80:92:00:00:22", "ip": "10.77.0.2"}]})")),
               std::runtime_error);
}

TEST(UdsServer, ItsRecordAndAnnouncementsCarryItsValues) {
  UdsConfig c = ParseConfig(nlohmann::json::parse(kConfig));
  const SimServer& s = c.servers[0];
  auto record = discovery::EncodeServerRecord(s.Fields());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + discovery::off::kModel)), "MD-WLAN04N");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + discovery::off::kName)), "srv1");
  EXPECT_EQ(discovery::ReadU32(record, discovery::off::kUsbPorts), 2u);
  EXPECT_EQ(record[discovery::off::kAddress + 3], 21);

  auto boot = BootAnnouncement(s);
  EXPECT_EQ(std::memcmp(boot.data(), "RBOOTUP", 7), 0);
  auto short_form = ShortAnnouncement(s);
  EXPECT_LT(short_form.size(), discovery::kRecordSize);
  EXPECT_EQ(std::memcmp(short_form.data(), "RANNOU", 6), 0);
}

TEST(UdsServer, AnswersItsOwnSubnetDirectly) {
  SimServer s =
      ParseServer(nlohmann::json::parse(R"({"name": "a", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21"})"));
  EXPECT_TRUE(s.SameSubnet(net::Ipv4{{10, 77, 0, 11}}));
  EXPECT_FALSE(s.SameSubnet(net::Ipv4{{10, 88, 0, 11}}));
  s.prefix = 16;
  EXPECT_TRUE(s.SameSubnet(net::Ipv4{{10, 77, 9, 9}}));
}

class RecordingSharing final : public SharingExtension {
 public:
  void ServerUp(const SimServerView& v) override { events.push_back("up " + v.name); }
  void ServerDown(const std::string& name) override { events.push_back("down " + name); }
  std::optional<std::string> Control(const std::vector<std::string>& words) override {
    if (words[0] == "share") return "OK shared " + words.at(1);
    return std::nullopt;
  }
  std::vector<std::string> events;
};

TEST(UdsControl, UnknownCommandsGoToTheSharingSideAndBadOnesAreErrors) {
  RecordingSharing sharing;
  Engine engine(UdsConfig{}, sharing, Engine::Options{});  // never started: no sockets
  EXPECT_EQ(engine.Execute("share dev1\r\n"), "OK shared dev1");
  EXPECT_EQ(engine.Execute("frobnicate"), "ERR unknown command frobnicate");
  EXPECT_EQ(engine.Execute(""), "ERR empty command");
  EXPECT_EQ(engine.Execute("reboot nobody"), "ERR no server nobody");
  EXPECT_EQ(engine.Execute("remove nobody"), "ERR no server nobody");
  EXPECT_EQ(engine.Execute("add {not json"), engine.Execute("add {not json"));
  EXPECT_EQ(engine.Execute("add {not json").rfind("ERR ", 0), 0u);
  EXPECT_EQ(engine.Execute("add {\"name\": \"x\"}").rfind("ERR ", 0), 0u);
  EXPECT_EQ(engine.Execute("list"), "OK []");
  EXPECT_EQ(engine.Execute("stats"), R"(OK {"tcp_requests":{},"udp_invalid":0,"udp_requests":{}})");
  EXPECT_FALSE(engine.QuitRequested());
  EXPECT_EQ(engine.Execute("quit"), "OK");
  EXPECT_TRUE(engine.QuitRequested());
  EXPECT_TRUE(sharing.events.empty());
}

}  // namespace
}  // namespace vx::lab
