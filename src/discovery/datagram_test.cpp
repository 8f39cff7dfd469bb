// The listener's classify-and-store path with the table rules.
#include "discovery/datagram.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace vx::discovery {
namespace {

const net::Ipv4 kServer{{10, 77, 0, 21}};

std::vector<uint8_t> Reply(uint8_t last_mac_byte = 0x21, uint32_t type = 1, const char* model = "MD-LAN01") {
  ServerRecordFields f;
  f.mac = {0x00, 0x80, 0x92, 0, 0, last_mac_byte};
  f.model = model;
  f.configd_version = "1.52";
  f.configd_type = type;
  f.usb_ports = 2;
  f.address = net::Ipv4{{1, 2, 3, 4}};  // the source address replaces it
  Record r = EncodeServerRecord(f);
  std::memset(r.data() + 129, 0xAA, 44);  // trailing bytes the client does not read
  return std::vector<uint8_t>(r.begin(), r.end());
}

std::vector<uint8_t> Text(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }

class DatagramTest : public ::testing::Test {
 protected:
  DatagramResult Process(const std::vector<uint8_t>& d, net::Ipv4 from = kServer) {
    return ProcessDatagram(d, from, table_);
  }
  DiscoveryTable table_;
};

TEST_F(DatagramTest, AReplyIsStoredUnderItsSourceAndForwardedAsAnAnnouncement) {
  auto r = Process(Reply());
  EXPECT_EQ(r.kind, DatagramKind::kServerRecord);
  EXPECT_EQ(r.outcome, Outcome::kStored);
  EXPECT_FALSE(r.ask_servers);
  ASSERT_EQ(table_.Count(), 1u);
  const Record stored = *table_.Find(kServer);
  EXPECT_EQ(EntryAddress(stored), kServer);
  EXPECT_EQ(std::memcmp(stored.data(), "THIS IS RV550", 13), 0);

  ASSERT_TRUE(r.forward);
  EXPECT_EQ(r.forward->length, 173u);
  const auto& f = r.forward->bytes;
  const uint8_t head[13] = {'R', 'A', 'N', 'N', 'O', 'U', 0x25, 0x4E, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(f.data(), head, 13), 0);
  EXPECT_EQ(std::memcmp(f.data() + 13, Reply().data() + 13, 112), 0);  // 13-124 as received
  for (size_t i = 125; i < 173; ++i) EXPECT_EQ(f[i], 0) << i;
}

TEST_F(DatagramTest, ASecondReplyFromTheSameAddressReplacesTheEntry) {
  Process(Reply(0x21, 1, "MD-LAN01"));
  auto r = Process(Reply(0x21, 1, "MD-WLAN01N"));
  EXPECT_EQ(r.outcome, Outcome::kReplaced);
  ASSERT_EQ(table_.Count(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(table_.Find(kServer)->data() + off::kModel)),
            "MD-WLAN01N");
  Process(Reply(0x22), net::Ipv4{{10, 77, 0, 22}});
  EXPECT_EQ(table_.Count(), 2u);
}

TEST_F(DatagramTest, MalformedRepliesAreNeitherStoredNorForwarded) {
  auto reply = Reply();
  std::vector<uint8_t> short_reply(reply.begin(), reply.end() - 1);
  std::vector<uint8_t> long_reply = reply;
  long_reply.push_back(0);
  std::vector<uint8_t> hidden = Reply();
  hidden[0] = 0;  // the text is behind a NUL
  for (const auto& d : {short_reply, long_reply, hidden, Reply(0x21, 0), Reply(0x21, 2),
                        std::vector<uint8_t>{}, std::vector<uint8_t>(1024, 'x')}) {
    auto r = Process(d);
    EXPECT_FALSE(r.forward) << d.size();
    EXPECT_FALSE(r.ask_servers);
  }
  EXPECT_EQ(table_.Count(), 0u);
  EXPECT_EQ(Process(Reply(0x21, 2)).outcome, Outcome::kWrongType);
}

TEST_F(DatagramTest, TheClientsOwnRequestEchoedBackIsIgnored) {
  const Request req = BuildDiscoveryRequest(Mac{1, 2, 3, 4, 5, 6}, LocalTime{2024, 1, 1, 0, 0, 0});
  auto r = Process(std::vector<uint8_t>(req.begin(), req.end()));
  EXPECT_EQ(r.kind, DatagramKind::kIgnored);
  EXPECT_FALSE(r.forward);
}

TEST_F(DatagramTest, BootAnnouncementsAskForRepliesOnlyForUnknownServers) {
  auto boot = Text("RBOOTUPxyz");
  auto unknown = Process(boot);
  EXPECT_EQ(unknown.kind, DatagramKind::kBootAnnouncement);
  EXPECT_EQ(unknown.outcome, Outcome::kUnknown);
  EXPECT_TRUE(unknown.ask_servers);
  ASSERT_TRUE(unknown.forward);
  EXPECT_EQ(unknown.forward->length, 7u);
  EXPECT_EQ(std::memcmp(unknown.forward->bytes.data(), "RBOOTUP", 7), 0);
  EXPECT_EQ(table_.Count(), 0u);  // only full records are stored

  Process(Reply());
  auto known = Process(boot);
  EXPECT_EQ(known.outcome, Outcome::kKnown);
  EXPECT_FALSE(known.ask_servers);
  EXPECT_TRUE(known.forward);

  // The keyword may stand anywhere before the first NUL; the first 7 bytes
  // as received are forwarded.
  auto later = Process(Text("..RBOOTUP"), net::Ipv4{{10, 77, 0, 99}});
  EXPECT_TRUE(later.ask_servers);
  EXPECT_EQ(std::memcmp(later.forward->bytes.data(), "..RBOOT", 7), 0);
}

TEST_F(DatagramTest, AnnouncementsLongAreRecordsShortAreLikeBoots) {
  auto long_form = Reply();
  std::memset(long_form.data(), 0, 13);
  std::memcpy(long_form.data(), "RANNOU", 6);
  long_form.resize(200, 0x55);  // longer than a record: the first 173 bytes count
  auto r = Process(long_form);
  EXPECT_EQ(r.outcome, Outcome::kStored);
  EXPECT_EQ(r.forward->length, 173u);

  auto short_form = Text("RANNOU srv-9");
  auto s = Process(short_form, net::Ipv4{{10, 77, 0, 29}});
  EXPECT_EQ(s.kind, DatagramKind::kServerRecord);
  EXPECT_EQ(s.outcome, Outcome::kUnknown);
  EXPECT_TRUE(s.ask_servers);
  ASSERT_TRUE(s.forward);
  EXPECT_EQ(s.forward->length, 173u);
  EXPECT_EQ(std::memcmp(s.forward->bytes.data(), "RANNOU srv-9", 12), 0);
  for (size_t i = 12; i < 173; ++i) EXPECT_EQ(s.forward->bytes[i], 0);
  EXPECT_EQ(table_.Count(), 1u);
}

TEST_F(DatagramTest, AShortDatagramWithBothKeywordsIsNotStoredAsARecord) {
  auto d = Text("RANNOU THIS IS RV550");
  auto r = Process(d);
  EXPECT_NE(r.outcome, Outcome::kStored);
  EXPECT_EQ(table_.Count(), 0u);
}

TEST_F(DatagramTest, WhileTheServerTableLockIsHeldEverythingIsDropped) {
  Process(Reply(), net::Ipv4{{10, 77, 0, 50}});
  // Another thread (the tree rebuild) holds the lock; the listener only tries
  // it from its own thread.
  std::mutex m;
  std::condition_variable cv;
  bool held = false, release = false;
  std::thread rebuild([&] {
    auto lock = table_.Hold(std::chrono::seconds(5));
    std::unique_lock l(m);
    held = lock.owns_lock();
    cv.notify_all();
    cv.wait(l, [&] { return release; });
  });
  {
    std::unique_lock l(m);
    cv.wait(l, [&] { return held; });
  }
  EXPECT_EQ(Process(Reply()).outcome, Outcome::kLockBusy);
  for (net::Ipv4 from : {kServer, net::Ipv4{{10, 77, 0, 50}}}) {
    auto boot = Process(Text("RBOOTUP"), from);
    EXPECT_EQ(boot.outcome, Outcome::kLockBusy);
    EXPECT_FALSE(boot.forward);
    EXPECT_FALSE(boot.ask_servers);
  }
  EXPECT_EQ(table_.TryStore(Record{}, kServer), DiscoveryTable::Put::kBusy);
  EXPECT_EQ(table_.TryContains(kServer), std::nullopt);
  // Readers that do not take the lock still see the table.
  EXPECT_EQ(table_.Count(), 1u);
  EXPECT_TRUE(table_.Find(net::Ipv4{{10, 77, 0, 50}}));
  {
    std::lock_guard l(m);
    release = true;
  }
  cv.notify_all();
  rebuild.join();
  EXPECT_FALSE(table_.Find(kServer));
  EXPECT_EQ(Process(Reply()).outcome, Outcome::kStored);
  EXPECT_EQ(table_.TryContains(kServer), std::optional<bool>(true));
}

TEST_F(DatagramTest, HoldingTheLockGivesUpAfterItsTimeOut) {
  std::mutex m;
  std::condition_variable cv;
  bool held = false, release = false;
  std::thread rebuild([&] {
    auto lock = table_.Hold(std::chrono::seconds(5));
    std::unique_lock l(m);
    held = true;
    cv.notify_all();
    cv.wait(l, [&] { return release; });
  });
  {
    std::unique_lock l(m);
    cv.wait(l, [&] { return held; });
  }
  EXPECT_FALSE(table_.Hold(std::chrono::milliseconds(1)).owns_lock());
  {
    std::lock_guard l(m);
    release = true;
  }
  cv.notify_all();
  rebuild.join();
  EXPECT_TRUE(table_.Hold(std::chrono::milliseconds(1)).owns_lock());
}

TEST_F(DatagramTest, TheHundredAndFirstServerIsForwardedButNotStored) {
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(Process(Reply(), net::Ipv4{{10, 77, 1, static_cast<uint8_t>(i)}}).outcome, Outcome::kStored);
  auto r = Process(Reply(), net::Ipv4{{10, 77, 2, 1}});
  EXPECT_EQ(r.outcome, Outcome::kTableFull);
  EXPECT_TRUE(r.forward);
  EXPECT_EQ(table_.Count(), 100u);
  EXPECT_FALSE(table_.Find(net::Ipv4{{10, 77, 2, 1}}));
  // Known servers still get their entries replaced.
  EXPECT_EQ(Process(Reply(), net::Ipv4{{10, 77, 1, 5}}).outcome, Outcome::kReplaced);
}

}  // namespace
}  // namespace vx::discovery
