#include "discovery/adapters.h"

#include <gtest/gtest.h>

#include "discovery/testing/fake_network.h"

namespace vx::discovery {
namespace {

using testing::FakeNetwork;

TEST(WindowsVersion, FlagsFollowTheVersionTable) {
  auto flags = [](uint32_t major, uint32_t minor) {
    return WindowsVersionFlags(net::OsVersion{major, minor});
  };
  EXPECT_EQ(flags(6, 2), 0x08);
  EXPECT_EQ(flags(6, 1), 0x03);
  EXPECT_EQ(flags(6, 3), 0x03);
  EXPECT_EQ(flags(5, 0), 0x0A);
  EXPECT_EQ(flags(5, 1), 0x02);
  EXPECT_EQ(flags(4, 0), 0x04);
  EXPECT_EQ(flags(4, 10), 0);
  EXPECT_EQ(flags(10, 0), 0);
  EXPECT_EQ(WindowsVersionFlags(std::nullopt), 0);
}

TEST(AdapterFilter, UsesEthernetAndWirelessAdaptersWithAddressAndMac) {
  FakeNetwork net;
  net.AddAdapter("10.0.0.1", {0, 1, 2, 3, 4, 5}, 6, "eth0");
  net.AddAdapter("10.0.0.2", {0, 1, 2, 3, 4, 6}, 71, "wlan0");   // wireless
  net.AddAdapter("10.0.0.3", {0, 1, 2, 3, 4, 7}, 243, "wwan0");  // vendor code: counts as Ethernet
  net.AddAdapter("0.0.0.0", {0, 1, 2, 3, 4, 8}, 6);              // cable unplugged
  net.AddAdapter("10.0.0.5", {0, 0, 0, 0, 0, 0}, 6);             // no MAC
  for (uint32_t type : {1u, 9u, 15u, 23u, 24u, 28u}) net.AddAdapter("10.0.1.1", {9, 9, 9, 9, 9, 9}, type);
  net.AddAdapter("not an address", {0, 1, 2, 3, 4, 9}, 6);
  auto adapters = GetMacAddress(net, 0);
  ASSERT_EQ(adapters.size(), 3u);
  EXPECT_EQ(adapters[0].ip, "10.0.0.1");
  EXPECT_EQ(adapters[0].mac, (Mac{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(adapters[0].device, "eth0");
  EXPECT_EQ(adapters[1].device, "wlan0");
  EXPECT_EQ(adapters[2].device, "wwan0");
}

TEST(AdapterFilter, AnUnpluggedOnlyAdapterOrAnEmptyListGivesNone) {
  FakeNetwork net;
  net.AddAdapter("0.0.0.0", {0, 1, 2, 3, 4, 5});
  EXPECT_TRUE(GetMacAddress(net, 0).empty());
  net.adapter_list = net::AdapterList{net::ListStatus::kNoData, 232, {}};
  EXPECT_TRUE(GetMacAddress(net, 0).empty());
}

TEST(AdapterFilter, ShortPhysicalAddressesArePaddedAndStillTested) {
  FakeNetwork net;
  net.AddAdapter("10.0.0.1", {0, 0, 0});
  net.AddAdapter("10.0.0.2", {0, 0, 7});
  auto adapters = GetMacAddress(net, 0);
  ASSERT_EQ(adapters.size(), 1u);
  EXPECT_EQ(adapters[0].mac, (Mac{0, 0, 7, 0, 0, 0}));
}

TEST(AdapterFilter, BeyondThirtyAdaptersTheRestAreIgnored) {
  FakeNetwork net;
  for (int i = 0; i < 35; ++i)
    net.AddAdapter("10.0.0." + std::to_string(i + 1), {2, 0, 0, 0, 0, static_cast<uint8_t>(i + 1)});
  auto adapters = GetMacAddress(net, 0);
  ASSERT_EQ(adapters.size(), kMaxAdapters);
  EXPECT_EQ(adapters.back().ip, "10.0.0.30");
}

TEST(AdapterFilter, TheInterfaceTablePathTakesAddressesFromTheAddressTable) {
  FakeNetwork net;
  net.interface_table.rows = {{1, 24, {}, "lo"},
                              {2, 6, {2, 0, 0, 0, 0, 2}, "eth0"},
                              {3, 6, {2, 0, 0, 0, 0, 3}, "eth1"},
                              {4, 6, {2, 0, 0, 0, 0, 4}, "eth2"}};
  net.address_table.rows = {{1, net::Ipv4::Loopback()},
                            {2, net::Ipv4{{10, 1, 0, 2}}},
                            {4, net::Ipv4{{0, 0, 0, 0}}},
                            {4, net::Ipv4{{10, 4, 0, 4}}}};
  net.AddAdapter("192.168.0.1", {7, 7, 7, 7, 7, 7});  // not consulted on this path
  auto adapters = GetMacAddress(net, kWinNt4);
  ASSERT_EQ(adapters.size(), 2u);  // lo has no MAC, eth1 no address
  EXPECT_EQ(adapters[0].ip, "10.1.0.2");
  EXPECT_EQ(adapters[0].mac, (Mac{2, 0, 0, 0, 0, 2}));
  EXPECT_EQ(adapters[1].ip, "10.4.0.4");
}

}  // namespace
}  // namespace vx::discovery
