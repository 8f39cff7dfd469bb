#include "discovery/protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "discovery/server_info.h"

namespace vx::discovery {
namespace {

TEST(DiscoveryRequest, LaysOutMagicMacDateAndChecksum) {
  const Mac mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  const Request r = BuildDiscoveryRequest(mac, LocalTime{2024, 12, 31, 23, 59, 58});
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()), 19), "WHERE ARE YOU RV550");
  EXPECT_EQ(std::vector<uint8_t>(r.begin() + 19, r.begin() + 25),
            std::vector<uint8_t>(mac.begin(), mac.end()));
  // Little-endian fields: 2024 = 0x07E8.
  EXPECT_EQ(std::vector<uint8_t>(r.begin() + 25, r.begin() + 29), (std::vector<uint8_t>{0xE8, 0x07, 0, 0}));
  EXPECT_EQ(r[29], 12);
  EXPECT_EQ(r[33], 31);
  EXPECT_EQ(r[37], 23);
  EXPECT_EQ(r[41], 59);
  EXPECT_EQ(r[45], 58);
  EXPECT_EQ(ReadU32(r, 49), 2024u + 12 + 31 + 23 + 59 + 58);
  auto decoded = DecodeDiscoveryRequest(r);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->mac, mac);
  EXPECT_EQ(decoded->time.second, 58u);
}

TEST(DiscoveryRequest, ChecksumWrapsAroundAndDecodingRejectsEveryFlaw) {
  const Request r = BuildDiscoveryRequest(Mac{}, LocalTime{0xFFFFFFFF, 2, 0, 0, 0, 0});
  EXPECT_EQ(ReadU32(r, 49), 1u);
  EXPECT_TRUE(DecodeDiscoveryRequest(r));

  Request bad_sum = r;
  bad_sum[49] ^= 1;
  EXPECT_FALSE(DecodeDiscoveryRequest(bad_sum));
  Request bad_magic = r;
  bad_magic[0] = 'w';
  EXPECT_FALSE(DecodeDiscoveryRequest(bad_magic));
  Request changed_date = r;
  changed_date[45] = 1;  // second changed, checksum not
  EXPECT_FALSE(DecodeDiscoveryRequest(changed_date));
  std::vector<uint8_t> longer(r.begin(), r.end());
  longer.push_back(0);
  EXPECT_FALSE(DecodeDiscoveryRequest(longer));
  EXPECT_FALSE(DecodeDiscoveryRequest(std::span<const uint8_t>(r.data(), 52)));
}

TEST(Keywords, SearchStopsAtTheFirstNul) {
  const uint8_t after_nul[] = {'x', 0, 'R', 'B', 'O', 'O', 'T', 'U', 'P'};
  EXPECT_FALSE(ContainsKeyword(after_nul, kBootKeyword));
  const uint8_t inside[] = {'x', 'R', 'B', 'O', 'O', 'T', 'U', 'P', 0};
  EXPECT_TRUE(ContainsKeyword(inside, kBootKeyword));
  const uint8_t cut[] = {'R', 'B', 'O', 'O', 'T', 'U'};
  EXPECT_FALSE(ContainsKeyword(cut, kBootKeyword));
  EXPECT_FALSE(ContainsKeyword({}, kBootKeyword));
}

TEST(ServerRecord, EncodedFieldsComeBackThroughParseServerInfo) {
  ServerRecordFields f;
  f.mac = {0x00, 0x80, 0x92, 0xAB, 0xCD, 0xEF};
  f.model = "MD-WLAN04N";
  f.configd_version = "1.52";
  f.mac_bytes = {1, 2, 3, 4, 5, 6};
  f.network_type = 2;
  f.software_bus = 1;
  f.configd_type = 1;
  f.usb_ports = 4;
  f.storage_mode = 7;
  f.address = net::Ipv4{{10, 77, 0, 21}};
  const Record r = EncodeServerRecord(f);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()), 13), "THIS IS RV550");
  EXPECT_EQ(r[125], 10);
  EXPECT_EQ(r[128], 21);

  const ServerInfo info = ParseServerInfo(r, IdentityTextCodec());
  EXPECT_EQ(info.mac_address, "00:80:92:AB:CD:EF");
  EXPECT_EQ(info.model, "MD-WLAN04N");
  EXPECT_EQ(info.configd_version, "1.52");
  EXPECT_EQ(info.mac_bytes, (Mac{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(info.network_type, 2u);
  EXPECT_EQ(info.software_bus, 1u);
  EXPECT_EQ(info.configd_type, 1u);
  EXPECT_EQ(info.usb_ports, 4u);
  EXPECT_EQ(info.storage_mode, 7u);
  EXPECT_EQ(info.adapter_index, 0);
  EXPECT_EQ(info.config_socket, 0u);
}

TEST(ServerRecord, TextFieldsNeverRunIntoTheirNeighbours) {
  Record r{};
  std::memset(r.data() + off::kModel, 'M', 20);            // no NUL in the model field
  std::memset(r.data() + off::kName, 'N', 40);             // runs over into the next fields
  std::memcpy(r.data() + off::kConfigdVersion, "1.5", 3);  // shorter version
  const ServerInfo info = ParseServerInfo(r, IdentityTextCodec());
  EXPECT_EQ(info.model, std::string(20, 'M'));
  EXPECT_EQ(info.configd_version, "1.5");
  std::memcpy(r.data() + off::kConfigdVersion, "1.523", 5);
  EXPECT_EQ(ParseServerInfo(r, IdentityTextCodec()).configd_version, "1.52");
  EXPECT_FALSE(ParseServerInfo(std::span<const uint8_t>(r.data(), 172), IdentityTextCodec()));
}

TEST(MacAddress, TextIsUpperCaseColonSeparatedAndParsesBack) {
  const Mac mac{0x0a, 0xff, 0, 0x10, 0xbe, 0xef};
  EXPECT_EQ(MacText(mac), "0A:FF:00:10:BE:EF");
  EXPECT_EQ(ParseMac("0a:ff:00:10:BE:EF"), mac);
  EXPECT_EQ(ParseMac("0a-ff-00-10-be-ef"), mac);
  EXPECT_FALSE(ParseMac("0a:ff:00:10:be"));
  EXPECT_FALSE(ParseMac("0a:ff:00:10:be:eg"));
  EXPECT_FALSE(ParseMac("0a:ff:00:10:be:ef:"));
}

}  // namespace
}  // namespace vx::discovery
