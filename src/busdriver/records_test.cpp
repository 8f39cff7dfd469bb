#include "busdriver/records.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/net/network.h"

namespace vx::bus {
namespace {

using Bytes = std::vector<uint8_t>;

// A bus-list record as the driver lays it out.
void AddBusRecord(Bytes& b, std::vector<uint8_t> ip, int8_t loc, int8_t len, const std::string& name_bytes) {
  Bytes rec(12, 0);
  std::copy(ip.begin(), ip.end(), rec.begin());
  rec[4] = uint8_t(loc);
  rec[8] = uint8_t(len);
  rec.insert(rec.end(), name_bytes.begin(), name_bytes.end());
  b.insert(b.end(), rec.begin(), rec.end());
}

Bytes BusHead(int8_t count) {
  Bytes b(8, 0);
  b[0] = 1;
  b[4] = uint8_t(count);
  return b;
}

TEST(BusList, ReadsRecordsPackedOneAfterTheOther) {
  Bytes b = BusHead(2);
  AddBusRecord(b, {192, 168, 0, 10}, 1, 6, std::string("SRV-A\0", 6));
  AddBusRecord(b, {10, 88, 0, 21}, 2, 4, std::string("XY\0\0", 4));
  auto list = ParseBusList(b, b.size());
  ASSERT_TRUE(list);
  ASSERT_EQ(list->entries.size(), 2u);
  EXPECT_EQ(Ipv4Text(list->entries[0].ip), "192.168.0.10");
  EXPECT_EQ(list->entries[0].location, 1);
  EXPECT_EQ(list->entries[0].name, "SRV-A");
  EXPECT_EQ(Ipv4Text(list->entries[1].ip), "10.88.0.21");
  EXPECT_EQ(list->entries[1].location, 2);
  EXPECT_EQ(list->entries[1].name, "XY");
  // The encoder produces what the parser reads.
  auto again = ParseBusList(EncodeBusList(*list), EncodeBusList(*list).size());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->entries[1].name, "XY");
}

TEST(BusList, StatusCountAndSizeRules) {
  BusListError why;
  Bytes zero = BusHead(1);
  zero[0] = 0;
  EXPECT_FALSE(ParseBusList(zero, zero.size(), &why));
  EXPECT_EQ(why, BusListError::kStatusZero);

  // A count of 0 or less is an empty list, not an error.
  for (int8_t count : {int8_t(0), int8_t(-1), int8_t(-128)}) {
    Bytes b = BusHead(count);
    auto list = ParseBusList(b, b.size());
    ASSERT_TRUE(list) << int(count);
    EXPECT_TRUE(list->entries.empty());
  }

  // More than 1024 bytes returned is rejected, even from a larger buffer.
  Bytes big(1100, 0);
  big[0] = 1;
  EXPECT_FALSE(ParseBusList(big, 1025, &why));
  EXPECT_EQ(why, BusListError::kTooLong);
  EXPECT_TRUE(ParseBusList(big, 1024));
}

TEST(BusList, MalformedRecordsAreRejectedWhole) {
  auto rejects = [](const Bytes& b, const char* what) {
    BusListError why;
    EXPECT_FALSE(ParseBusList(b, b.size(), &why)) << what;
    EXPECT_EQ(why, BusListError::kMalformed) << what;
  };
  Bytes b = BusHead(2);
  AddBusRecord(b, {10, 0, 0, 1}, 1, 3, std::string("OK\0", 3));
  rejects(b, "count says 2, one record present");

  b = BusHead(1);
  AddBusRecord(b, {10, 0, 0, 1}, 1, -4, "");
  rejects(b, "negative name length");

  b = BusHead(1);
  AddBusRecord(b, {10, 0, 0, 1}, 1, 40, std::string("short\0", 6));
  rejects(b, "name runs past the returned bytes");

  b = BusHead(1);
  AddBusRecord(b, {10, 0, 0, 1}, 1, 4, "ABCD");
  rejects(b, "name without its NUL");

  b = BusHead(1);
  AddBusRecord(b, {10, 0, 0, 1}, 1, 65, std::string(64, 'N') + '\0');
  rejects(b, "64-byte name");

  b = BusHead(1);
  AddBusRecord(b, {10, 0, 0, 1}, 1, 64, std::string(63, 'N') + '\0');
  EXPECT_TRUE(ParseBusList(b, b.size())) << "63 bytes fit";

  // The parser reads only what the driver returned, not the zeroed rest.
  Bytes room(1024, 0);
  Bytes one = BusHead(1);
  AddBusRecord(one, {10, 0, 0, 1}, 1, 3, std::string("AB\0", 3));
  std::copy(one.begin(), one.end(), room.begin());
  EXPECT_TRUE(ParseBusList(room, one.size()));
  EXPECT_FALSE(ParseBusList(room, one.size() - 1));
}

DeviceEntry Printer() {
  DeviceEntry d;
  d.device_no = 3;
  d.vid = 0x04B8;
  d.pid = 0x0E03;
  d.lock_type = 2;
  d.lock_count = 1;
  d.usb_class = "PRINTER";
  d.owner = "VXPC1";
  d.manufacturer = "Acme";
  d.product = "LaserJet 9";
  d.serial = "SN-001";
  d.extra = {{"port", "1"}, {"speed", "high"}};
  return d;
}

TEST(DeviceList, FixtureBytesDecode) {
  // One device: number 5, vid 0x1234, pid 0xABCD, lock type 1, count 2,
  // class "MFP", no owner, manufacturer "M", product "P", serial "S1", one pair.
  Bytes b = {1,   0,   0,   0,   1,   0,   0, 0, 5, 0x34, 0x12, 0xCD, 0xAB, 1, 2, 3,   0,   0,
             0,   0,   0,   0,   0,   1,   0, 0, 0, 1,    0,    0,    0,    2, 0, 0,   0,   'M',
             'F', 'P', 'M', 'P', 'S', '1', 1, 1, 0, 0,    0,    2,    0,    0, 0, 'k', 'v', 'w'};
  auto list = ParseDeviceList(b, b.size());
  ASSERT_TRUE(list);
  ASSERT_EQ(list->devices.size(), 1u);
  const auto& d = list->devices[0];
  EXPECT_EQ(d.device_no, 5);
  EXPECT_EQ(d.vid, 0x1234);
  EXPECT_EQ(d.pid, 0xABCD);
  EXPECT_EQ(d.lock_type, 1);
  EXPECT_EQ(d.lock_count, 2);
  EXPECT_EQ(d.usb_class, "MFP");
  EXPECT_EQ(d.owner, "");
  EXPECT_EQ(d.manufacturer, "M");
  EXPECT_EQ(d.product, "P");
  EXPECT_EQ(d.serial, "S1");
  ASSERT_EQ(d.extra.size(), 1u);
  EXPECT_EQ(d.extra[0].key, "k");
  EXPECT_EQ(d.extra[0].value, "vw");
}

TEST(DeviceList, ALongExtraPairIsCutNotTheWholeList) {
  // The fixture's device with a pair of a 100-byte key and a 70-byte value
  // (lengths still inside a signed byte), then a second device after it.
  Bytes b = {1, 0, 0, 0, 2, 0, 0, 0};
  auto device = [&b](uint8_t no, const std::string& key, const std::string& value) {
    Bytes rec = {no, 0x34, 0x12, 0xCD, 0xAB, 1, 2, 3, 0, 0, 0, 0, 0, 0,
                 0,  1,    0,    0,    0,    1, 0, 0, 0, 2, 0, 0, 0};
    b.insert(b.end(), rec.begin(), rec.end());
    for (char c : std::string("MFPMPS1")) b.push_back(uint8_t(c));
    b.push_back(1);  // one pair
    Bytes lens = {uint8_t(key.size()), 0, 0, 0, uint8_t(value.size()), 0, 0, 0};
    b.insert(b.end(), lens.begin(), lens.end());
    b.insert(b.end(), key.begin(), key.end());
    b.insert(b.end(), value.begin(), value.end());
  };
  device(5, std::string(100, 'k'), std::string(70, 'v'));
  device(6, "k", "v");
  auto list = ParseDeviceList(b, b.size());
  ASSERT_TRUE(list) << "a long pair must not reject the device list";
  ASSERT_EQ(list->devices.size(), 2u);
  const auto& first = list->devices[0];
  EXPECT_EQ(first.product, "P");
  EXPECT_EQ(first.serial, "S1");
  ASSERT_EQ(first.extra.size(), 1u);
  EXPECT_EQ(first.extra[0].key, std::string(63, 'k')) << "kept as the 64-byte buffer holds it";
  EXPECT_EQ(first.extra[0].value, std::string(63, 'v'));
  EXPECT_EQ(list->devices[1].device_no, 6) << "the record after the long pair is read at its place";
  EXPECT_EQ(list->devices[1].extra[0].value, "v");

  // Still bounds-checked: a pair length past the returned bytes rejects it.
  Bytes cut(b.begin(), b.begin() + 8 + 27 + 7 + 1 + 8 + 50);
  EXPECT_FALSE(ParseDeviceList(cut, cut.size()));
  // A negative pair length too.
  Bytes negative = b;
  negative[8 + 27 + 7 + 1] = 0x80;
  EXPECT_FALSE(ParseDeviceList(negative, negative.size()));
}

TEST(DeviceList, RoundTripsSeveralDevices) {
  DeviceList in;
  in.devices = {Printer(), Printer()};
  in.devices[1].device_no = 4;
  in.devices[1].owner.clear();
  in.devices[1].extra.clear();
  auto bytes = EncodeDeviceList(in);
  ASSERT_FALSE(bytes.empty());
  auto out = ParseDeviceList(bytes, bytes.size());
  ASSERT_TRUE(out);
  ASSERT_EQ(out->devices.size(), 2u);
  EXPECT_EQ(out->devices[0].owner, "VXPC1");
  EXPECT_EQ(out->devices[0].extra.size(), 2u);
  EXPECT_EQ(out->devices[1].device_no, 4);
  EXPECT_EQ(out->devices[1].serial, "SN-001");
}

TEST(DeviceList, BadRecordsAreRejectedWithoutOverread) {
  DeviceList in;
  in.devices = {Printer()};
  auto good = EncodeDeviceList(in);
  DeviceListError why;

  Bytes neg = good;
  neg[4] = 0xFF;  // count -1
  EXPECT_FALSE(ParseDeviceList(neg, neg.size(), &why));
  EXPECT_EQ(why, DeviceListError::kNegativeCount);

  Bytes zero = good;
  zero[0] = 0;
  EXPECT_FALSE(ParseDeviceList(zero, zero.size(), &why));
  EXPECT_EQ(why, DeviceListError::kStatusZero);

  // Every truncation of a good list is rejected (the count promises more).
  for (size_t n = 8; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + long(n));  // exact size: ASan sees any overread
    EXPECT_FALSE(ParseDeviceList(cut, cut.size())) << n;
  }

  Bytes past = good;
  past[8 + 7] = 120;  // class text length runs past the returned bytes
  EXPECT_FALSE(ParseDeviceList(past, past.size(), &why));
  EXPECT_EQ(why, DeviceListError::kMalformed);

  Bytes big(2100, 0);
  big[0] = 1;
  EXPECT_FALSE(ParseDeviceList(big, 2049, &why));
  EXPECT_EQ(why, DeviceListError::kTooLong);

  DeviceEntry long_text = Printer();
  long_text.product = std::string(64, 'p');
  in.devices = {long_text};
  EXPECT_TRUE(EncodeDeviceList(in).empty()) << "the encoder refuses a 64-byte text";
  // Build the 64-byte text by hand: the parser refuses it as well.
  long_text.product = std::string(63, 'p');
  in.devices = {long_text};
  Bytes b63 = EncodeDeviceList(in);
  ASSERT_TRUE(ParseDeviceList(b63, b63.size()));
  size_t product_len_at = 8 + 19;
  size_t product_at = 8 + 27 + 7 + 5 + 4;  // after class, owner, manufacturer
  b63[product_len_at] = 64;
  b63.insert(b63.begin() + long(product_at), 'p');
  EXPECT_FALSE(ParseDeviceList(b63, b63.size()));
}

TEST(Version, TextsAndRejections) {
  Bytes v = {1, 0, 0, 0, 1, 0, 35};
  auto rec = ParseVersion(v, v.size());
  ASSERT_TRUE(rec);
  EXPECT_EQ(FullVersionText(*rec), "1.0.35");
  EXPECT_EQ(DriverShortVersion(*rec), "1.35");
  EXPECT_EQ(TcpBusShortVersion(*rec), "35");
  Bytes neg = {1, 0, 0, 0, 0xFF, 2, 3};
  EXPECT_EQ(FullVersionText(*ParseVersion(neg, neg.size())), "-1.2.3");

  v[0] = 0;
  EXPECT_FALSE(ParseVersion(v, v.size())) << "status 0";
  Bytes wide(80, 1);
  EXPECT_FALSE(ParseVersion(wide, 65)) << "more than 64 bytes";
  EXPECT_FALSE(ParseVersion(wide, 6)) << "numbers missing";
}

TEST(TcpBusPath, CarriesTheAddressAsInetAddrValue) {
  auto ip = std::optional<uint32_t>(net::Ipv4::Parse("192.168.0.10")->NetworkOrder());
  EXPECT_EQ(TcpBusPath(*ip),
            "\\\\.\\usb#vid_1597&pid_1001&rev_0000#0A00A8C04e25#{BB0ED04A-2086-43D7-B179-6CBD49A93E7B}");
  EXPECT_EQ(ParseTcpBusPath(TcpBusPath(*ip)), *ip);
  EXPECT_FALSE(
      ParseTcpBusPath("\\\\.\\usb#vid_1597&pid_1001&rev_0000#0A00A8CG4e25#{BB0ED04A-2086-43D7-B179-"
                      "6CBD49A93E7B}"));
  EXPECT_FALSE(ParseTcpBusPath("C:\\x"));
}

TEST(Ipv4, RecordsKeepTheInetAddrValue) {
  EXPECT_EQ(net::Ipv4::Parse("10.77.0.21")->NetworkOrder(), 0x15004D0Au);
  EXPECT_EQ(Ipv4Text(0x15004D0Au), "10.77.0.21");
  uint8_t stored[4];
  StoreIpv4(stored, 0x15004D0Au);
  EXPECT_EQ(LoadIpv4(stored), 0x15004D0Au);
  EXPECT_EQ(stored[0], 10);
}

TEST(Records, LockRequestAndForwardLayouts) {
  EXPECT_EQ(EncodeLock({7, 259200, 2}), (Bytes{7, 0x80, 0xF4, 0x03, 0x00, 2}));
  EXPECT_EQ(EncodeRequest({3, 2, net::Ipv4::Parse("10.77.0.12")->NetworkOrder()}),
            (Bytes{3, 2, 10, 77, 0, 12}));
  Bytes dgram = {'R', 'B', 'O', 'O', 'T', 'U', 'P'};
  Bytes fwd = EncodeUdpForward(net::Ipv4::Parse("10.77.0.21")->NetworkOrder(), dgram);
  EXPECT_EQ(fwd, (Bytes{10, 77, 0, 21, 7, 0, 0, 0, 'R', 'B', 'O', 'O', 'T', 'U', 'P'}));
  EXPECT_TRUE(EncodeUdpForward(0, Bytes(2041)).empty()) << "does not fit 2048 bytes";
  Bytes lying = fwd;
  lying[4] = 8;  // claims one byte more than present
  EXPECT_FALSE(ParseUdpForward(lying));
}

TEST(Events, DecodeEveryCode) {
  Bytes dev(13, 0);
  dev[0] = 1;
  dev[9] = 10, dev[10] = 77, dev[11] = 0, dev[12] = 21;
  EXPECT_EQ(Ipv4Text(ParseEvent(dev)->server_ip), "10.77.0.21");

  // Code 4 with a host name whose last byte is NUL, and one without.
  Bytes req = {4, 1, 0xFE, 10, 77, 0, 21, 10, 77, 0, 12, 6, 0, 0, 0, 'V', 'X', 'P', 'C', '2', 0};
  auto e = ParseEvent(req);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->command, 1);
  EXPECT_EQ(e->device_no, -2);
  EXPECT_EQ(Ipv4Text(e->asker_ip), "10.77.0.12");
  EXPECT_EQ(e->host_name, "VXPC2");
  req.back() = '!';
  EXPECT_EQ(ParseEvent(req)->host_name, "VXPC2!");
  req[11] = 7;  // the name would run past the record
  EXPECT_FALSE(ParseEvent(req));

  EventRecord lost;
  lost.code = 6;
  lost.error_code = 1;
  lost.server_ip = net::Ipv4::Parse("10.77.0.22")->NetworkOrder();
  auto back = ParseEvent(EncodeEvent(lost));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->error_code, 1);
  EXPECT_EQ(Ipv4Text(back->server_ip), "10.77.0.22");

  EventRecord other;
  other.code = 6;
  other.error_code = 2;
  other.error_values[3] = 0xDEADBEEF;
  EXPECT_EQ(ParseEvent(EncodeEvent(other))->error_values[3], 0xDEADBEEFu);

  EXPECT_FALSE(ParseEvent(Bytes{0, 0, 0}));
  EXPECT_FALSE(ParseEvent(Bytes{7}));
  EXPECT_FALSE(ParseEvent(Bytes{1, 0, 0}));
  EXPECT_EQ(EventName(4), "OP_UBUS_REQUEST_TO_USE_DEVICE");
}

}  // namespace
}  // namespace vx::bus
