// The discovery datagrams written out byte by byte from the protocol's
// layout, not with the project's own encoder: a field read at a wrong offset,
// in the wrong byte order or over the wrong width fails here even when the
// encoder and the parser agree with each other.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/datagram.h"
#include "discovery/discovery_table.h"
#include "discovery/protocol.h"
#include "discovery/server_info.h"
#include "platform/text_codec.h"

namespace vx::discovery {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> bytes) {
  ASSERT_LE(at + bytes.size(), b.size());
  std::copy(bytes.begin(), bytes.end(), b.begin() + long(at));
}
void PutText(Bytes& b, size_t at, const std::string& text) {
  ASSERT_LE(at + text.size(), b.size());
  std::memcpy(b.data() + at, text.data(), text.size());
}

// A 173-byte record, every field with its own bytes. The fields the client
// does not read are filled with non-zero junk so that reading them shows.
Bytes HandWrittenRecord(const std::string& leading) {
  Bytes b(173, 0);
  PutText(b, 0, leading);
  Put(b, 13, {0x00, 0x80, 0x92, 0x12, 0x34, 0x56});  // server MAC
  for (size_t i = 19; i < 35; ++i) b[i] = 0xEE;      // not interpreted
  PutText(b, 35, "MD-WLAN04N");                      // model, NUL-padded to 20
  PutText(b, 55, "srv-name-text");                   // not interpreted
  for (size_t i = 55 + 13; i < 87; ++i) b[i] = 'x';
  PutText(b, 87, "9.8.7.6z");                        // not interpreted, all 8 bytes
  PutText(b, 95, "1.52");                            // configuration service version
  Put(b, 99, {0x02, 0x11, 0x22, 0x33, 0x44, 0x55});  // MacBytes
  Put(b, 105, {0x01, 0x02, 0x03, 0x04});             // network type 0x04030201
  Put(b, 109, {0x0D, 0x0C, 0x0B, 0x0A});             // software bus 0x0A0B0C0D
  Put(b, 113, {0x01, 0x00, 0x00, 0x00});             // configuration service type 1
  Put(b, 117, {0x04, 0x02, 0x00, 0x00});             // USB ports 0x0204
  Put(b, 121, {0x05, 0x00, 0x00, 0x7F});             // storage mode 0x7F000005
  Put(b, 125, {10, 77, 0, 21});                      // the address the server says
  for (size_t i = 129; i < 173; ++i) b[i] = 0xDD;    // not interpreted
  return b;
}

void ExpectHandWrittenValues(const ServerInfo& info) {
  EXPECT_EQ(info.mac_address, "00:80:92:12:34:56");
  EXPECT_EQ(info.model, "MD-WLAN04N");
  EXPECT_EQ(info.mac_bytes, (Mac{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
  EXPECT_EQ(info.configd_version, "1.52");
  EXPECT_EQ(info.network_type, 0x04030201u);
  EXPECT_EQ(info.software_bus, 0x0A0B0C0Du);
  EXPECT_EQ(info.configd_type, 1u);
  EXPECT_EQ(info.usb_ports, 0x0204u);
  EXPECT_EQ(info.storage_mode, 0x7F000005u);
  EXPECT_EQ(info.adapter_index, 0);
  EXPECT_EQ(info.config_socket, 0u);
}

class ProtocolBytes : public ::testing::Test {
 protected:
  DatagramResult Process(const Bytes& datagram, const std::string& source) {
    return ProcessDatagram(datagram, *net::Ipv4::Parse(source), table_);
  }
  DiscoveryTable table_;
};

TEST_F(ProtocolBytes, ReplyFieldsAreReadAtTheirOffsets) {
  auto info = ParseServerInfo(HandWrittenRecord("THIS IS RV550"), IdentityTextCodec());
  ASSERT_TRUE(info);
  ExpectHandWrittenValues(*info);
}

TEST_F(ProtocolBytes, ReplyIsStoredUnderItsSourceAndForwardedWithTheDriversHeader) {
  const Bytes reply = HandWrittenRecord("THIS IS RV550");
  auto r = Process(reply, "10.77.0.99");  // not the address inside the record
  EXPECT_EQ(r.kind, DatagramKind::kServerRecord);
  EXPECT_EQ(r.outcome, Outcome::kStored);
  EXPECT_FALSE(r.ask_servers);

  auto stored = table_.Find(*net::Ipv4::Parse("10.77.0.99"));
  ASSERT_TRUE(stored) << "keyed by the datagram's source address";
  EXPECT_EQ(Bytes(stored->begin() + 125, stored->begin() + 129), (Bytes{10, 77, 0, 99}));
  EXPECT_TRUE(std::equal(stored->begin(), stored->begin() + 125, reply.begin())) << "the rest as received";
  ExpectHandWrittenValues(ParseServerInfo(*stored, IdentityTextCodec()));

  ASSERT_TRUE(r.forward);
  ASSERT_EQ(r.forward->length, 173u);
  const auto& f = r.forward->bytes;
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 13),
            (Bytes{'R', 'A', 'N', 'N', 'O', 'U', 0x25, 0x4E, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(std::equal(f.begin() + 13, f.begin() + 125, reply.begin() + 13)) << "bytes 13-124 as received";
  EXPECT_EQ(Bytes(f.begin() + 125, f.end()), Bytes(48, 0)) << "bytes 125-172 zero";
}

TEST_F(ProtocolBytes, ReplyOfAnotherServerTypeOrLengthIsNeitherStoredNorForwarded) {
  Bytes other = HandWrittenRecord("THIS IS RV550");
  Put(other, 113, {0x02, 0x00, 0x00, 0x00});
  auto r = Process(other, "10.77.0.31");
  EXPECT_EQ(r.outcome, Outcome::kWrongType);
  EXPECT_FALSE(r.forward);
  // Type 1 only in a byte other than the least significant one is not type 1.
  Put(other, 113, {0x00, 0x01, 0x00, 0x00});
  EXPECT_EQ(Process(other, "10.77.0.31").outcome, Outcome::kWrongType);

  Bytes short_reply = HandWrittenRecord("THIS IS RV550");
  short_reply.pop_back();
  EXPECT_EQ(Process(short_reply, "10.77.0.32").kind, DatagramKind::kIgnored);
  Bytes long_reply = HandWrittenRecord("THIS IS RV550");
  long_reply.push_back(0);
  EXPECT_EQ(Process(long_reply, "10.77.0.33").kind, DatagramKind::kIgnored);
  EXPECT_EQ(table_.Count(), 0u);
}

TEST_F(ProtocolBytes, LongAnnouncementIsReadLikeAReply) {
  Bytes announcement = HandWrittenRecord("RANNOU");
  for (size_t i = 6; i < 13; ++i) announcement[i] = 0xA0 + uint8_t(i);  // whatever follows the keyword
  auto r = Process(announcement, "10.77.0.21");
  EXPECT_EQ(r.kind, DatagramKind::kServerRecord);
  EXPECT_EQ(r.outcome, Outcome::kStored);
  auto stored = table_.Find(*net::Ipv4::Parse("10.77.0.21"));
  ASSERT_TRUE(stored);
  ExpectHandWrittenValues(ParseServerInfo(*stored, IdentityTextCodec()));
  ASSERT_TRUE(r.forward);
  EXPECT_EQ(r.forward->length, 173u);
  EXPECT_EQ(Bytes(r.forward->bytes.begin() + 6, r.forward->bytes.begin() + 13),
            (Bytes{0x25, 0x4E, 0, 0, 0, 0, 0}))
      << "the header is rewritten";
}

TEST_F(ProtocolBytes, ShortAnnouncementIsForwardedAsReceivedAndAsksForUnknownServers) {
  // "RANNOU", NUL, the MAC, the name: 17 bytes.
  Bytes announcement = {'R',  'A',  'N',  'N',  'O', 'U', 0,   0x00, 0x80,
                        0x92, 0x12, 0x34, 0x56, 's', 'r', 'v', '1'};
  auto r = Process(announcement, "10.77.0.21");
  EXPECT_EQ(r.kind, DatagramKind::kServerRecord);
  EXPECT_EQ(r.outcome, Outcome::kUnknown);
  EXPECT_TRUE(r.ask_servers) << "an unknown server is asked for its full reply";
  EXPECT_EQ(table_.Count(), 0u) << "a short announcement is no record";
  ASSERT_TRUE(r.forward);
  ASSERT_EQ(r.forward->length, 173u);
  Bytes expected(173, 0);
  std::copy(announcement.begin(), announcement.end(), expected.begin());
  EXPECT_EQ(Bytes(r.forward->bytes.begin(), r.forward->bytes.end()), expected)
      << "the zero-padded copy; its header is not rewritten";

  Process(HandWrittenRecord("THIS IS RV550"), "10.77.0.21");
  auto known = Process(announcement, "10.77.0.21");
  EXPECT_EQ(known.outcome, Outcome::kKnown);
  EXPECT_FALSE(known.ask_servers);
}

TEST_F(ProtocolBytes, BootAnnouncementForwardsItsKeywordOnly) {
  Bytes boot = {'R', 'B', 'O', 'O', 'T', 'U', 'P', 0, 0x00, 0x80, 0x92, 0x12, 0x34, 0x56};
  auto r = Process(boot, "10.77.0.21");
  EXPECT_EQ(r.kind, DatagramKind::kBootAnnouncement);
  EXPECT_TRUE(r.ask_servers);
  ASSERT_TRUE(r.forward);
  ASSERT_EQ(r.forward->length, 7u);
  EXPECT_EQ(Bytes(r.forward->bytes.begin(), r.forward->bytes.begin() + 7),
            (Bytes{'R', 'B', 'O', 'O', 'T', 'U', 'P'}));
}

}  // namespace
}  // namespace vx::discovery
