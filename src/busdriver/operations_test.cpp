#include "busdriver/operations.h"

#include <gtest/gtest.h>

#include "busdriver/testing/fake_driver.h"
#include "platform/net/network.h"
#include "platform/trace.h"

namespace vx::bus {
namespace {

using testing::Answer;
using testing::FakeChannel;
using testing::FakeHandle;
using Bytes = std::vector<uint8_t>;

// A clock that only records the sleeps asked of it.
class FakeClock final : public Clock {
 public:
  TimePoint Now() const override { return TimePoint(slept); }
  LocalTime LocalNow() const override { return {}; }
  int64_t WallSeconds() const override { return 0; }
  void SleepFor(Duration d) override {
    slept += d;
    ++sleeps;
  }
  Duration slept{0};
  int sleeps = 0;
};

Bytes OneServerList() {
  BusList l;
  l.entries = {{net::Ipv4::Parse("10.77.0.21")->NetworkOrder(), 1, "UDS-1"},
               {net::Ipv4::Parse("10.99.0.21")->NetworkOrder(), 3, "WAN"}};
  return EncodeBusList(l);
}

TEST(GetBusList, RetriesOnceAfterStatusZeroThenFails) {
  FakeHandle h;
  FakeClock clock;
  Bytes zero(1024, 0);
  h.Script(kIoctlGetBusList, {Answer{true, 0, zero}});
  std::vector<std::string> ips, names, locs;
  EXPECT_EQ(GetBusList(h, clock, &ips, &names, &locs), -1);
  EXPECT_EQ(h.CallsOf(kIoctlGetBusList).size(), 2u);
  EXPECT_EQ(clock.slept, std::chrono::seconds(2));  // a second after each failed attempt

  FakeHandle h2;
  FakeClock clock2;
  h2.Script(kIoctlGetBusList, {Answer{false, 31, {}}, Answer{true, 0, OneServerList()}});
  EXPECT_EQ(GetBusList(h2, clock2, &ips, &names, &locs), 2);
  EXPECT_EQ(clock2.sleeps, 1);
  EXPECT_EQ(ips, (std::vector<std::string>{"10.77.0.21", "10.99.0.21"}));
  EXPECT_EQ(names, (std::vector<std::string>{"UDS-1", "WAN"}));
  EXPECT_EQ(locs, (std::vector<std::string>{"1", "3"}));
  auto call = h2.CallsOf(kIoctlGetBusList)[0];
  EXPECT_EQ(call.input, Bytes(1024, 0));
  EXPECT_EQ(call.room, 1024u);
}

TEST(GetBusList, TooManyBytesIsMinusOneAtOnce) {
  FakeHandle h;
  FakeClock clock;
  Bytes big = OneServerList();
  big.resize(1025, 0);
  h.Script(kIoctlGetBusList, {Answer{true, 0, big}});
  std::vector<BusEntry> entries;
  EXPECT_EQ(GetBusList(h, clock, &entries), -1);
  EXPECT_EQ(h.CallsOf(kIoctlGetBusList).size(), 1u);
}

TEST(Versions, OutputsUnchangedUnlessValid) {
  FakeHandle h;
  std::string full = "keep", brief = "keep";
  Bytes good = EncodeVersion({1, 0, 35});
  Bytes long_reply(65, 1);
  h.Script(kIoctlGetDriverVersion, {Answer{false, 1, good}, Answer{true, 0, Bytes(64, 0)},
                                    Answer{true, 0, long_reply}, Answer{true, 0, good}});
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(GetDriverVersion(h, &full, &brief));
    EXPECT_EQ(full, "keep");
    EXPECT_EQ(brief, "keep");
  }
  EXPECT_TRUE(GetDriverVersion(h, &full, &brief));
  EXPECT_EQ(full, "1.0.35");
  EXPECT_EQ(brief, "1.35");

  FakeHandle tcp;
  tcp.Script(kIoctlGetTcpBusVersion, {Answer{true, 0, EncodeVersion({1, 2, 7})}});
  DriverVersionInfo info;
  info.SetDriver(brief);
  EXPECT_EQ(info.Text(), "1.35");
  info.NoteTcpBusOpened(tcp);
  info.NoteTcpBusOpened(tcp);  // only the first bus is asked
  EXPECT_EQ(tcp.CallsOf(kIoctlGetTcpBusVersion).size(), 1u);
  EXPECT_EQ(info.Text(), "1.35.7");
}

TEST(Versions, StartUpCheckComparesText) {
  EXPECT_TRUE(CheckDriverVersion("1.0.35", "1.35").pass);
  EXPECT_TRUE(CheckDriverVersion("1.0.4", "1.4").pass);  // text: "1.0.4" > "1.0.35"
  EXPECT_TRUE(CheckDriverVersion("2.0.0", "2.0").pass);
  auto old = CheckDriverVersion("1.0.34", "1.34");
  EXPECT_FALSE(old.pass);
  EXPECT_EQ(old.warning,
            "Warning !!!\n\nCurrent Driver Version is : 1.34\n\nPlease change Driver Version to 1.35");
  EXPECT_FALSE(CheckDriverVersion("", "").pass);              // a version that could not be read
  EXPECT_FALSE(CheckDriverVersion("1.0.100", "1.100").pass);  // "1" sorts before "3"
  EXPECT_TRUE(CheckDriverVersion("1.0.350", "1.350").pass);   // a longer text after its prefix
  EXPECT_FALSE(CheckDriverVersion("1.0.3", "1.3").pass);
}

TEST(DeviceOps, RecordsAndLastErrors) {
  FakeHandle h;
  TraceCapture trace;
  h.Script(kIoctlReleaseDevice, {Answer{false, kErrorNotHeld, {}}, Answer{false, -31, {}}});
  EXPECT_TRUE(ReleaseDevice(h, "4")) << "-32: this PC no longer holds it";
  EXPECT_FALSE(ReleaseDevice(h, "4"));
  EXPECT_EQ(h.CallsOf(kIoctlReleaseDevice)[0].input, Bytes{4});

  struct Notice : ClaimNotice {
    int shown = 0;
    void PortSetToPrinterServer() override { ++shown; }
  } notice;
  h.Script(kIoctlClaimDevice,
           {Answer{false, kErrorPortIsPrinterServer, {}}, Answer{false, -31, {}}, Answer{}});
  EXPECT_FALSE(ClaimDevice(h, "12", &notice));
  EXPECT_FALSE(ClaimDevice(h, "12", &notice));
  EXPECT_TRUE(ClaimDevice(h, "12", &notice));
  EXPECT_EQ(notice.shown, 1);
  EXPECT_TRUE(trace.Contains("\nClaimDevice() : _tcpBusHandle = 1234ABCD result(0) nBytes(0)\n"));

  EXPECT_TRUE(LockDevice(h, "3", 2, 3600));
  EXPECT_TRUE(UnlockDevice(h, "3", 2, 0));
  EXPECT_EQ(h.CallsOf(kIoctlLockDevice)[0].input, (Bytes{3, 0x10, 0x0E, 0, 0, 2}));
  EXPECT_EQ(h.CallsOf(kIoctlUnlockDevice)[0].input, (Bytes{3, 0, 0, 0, 0, 2}));

  EXPECT_TRUE(RequestDevice(h, "9", 1, ""));
  EXPECT_TRUE(RequestDevice(h, "9", 2, "10.77.0.12"));
  EXPECT_FALSE(RequestDevice(h, "9", 2, "10.77.0"));
  auto req = h.CallsOf(kIoctlRequestDevice);
  ASSERT_EQ(req.size(), 2u);
  EXPECT_EQ(req[0].input, (Bytes{9, 1, 0, 0, 0, 0}));
  EXPECT_EQ(req[1].input, (Bytes{9, 2, 10, 77, 0, 12}));

  EXPECT_EQ(DeviceNumber(" 17"), 17);
  EXPECT_EQ(DeviceNumber("x"), 0);
  EXPECT_EQ(DeviceNumber("300"), 44);  // kept as one byte
}

TEST(MasterOps, BuildAbortAndForward) {
  FakeHandle h;
  TraceCapture trace;
  EXPECT_TRUE(IOCTL_BUILD_TCP_BUS(h, "192.168.0.10"));
  auto build = h.CallsOf(kIoctlBuildTcpBus)[0];
  EXPECT_EQ(build.input, (Bytes{192, 168, 0, 10}));
  EXPECT_EQ(build.room, 64u);
  EXPECT_FALSE(IOCTL_BUILD_TCP_BUS(h, "nonsense"));
  EXPECT_TRUE(trace.Contains("Build TCP Bus Fail _mBusHandle = 1234ABCD"));

  Bytes dgram(173, 0x41);
  EXPECT_TRUE(SendUdpPacket(h, net::Ipv4::Parse("10.77.0.21")->NetworkOrder(), dgram.data(), 173));
  auto fwd = h.CallsOf(kIoctlSendUdpPacket)[0];
  EXPECT_EQ(fwd.room, 2048u);
  EXPECT_EQ(fwd.input.size(), 181u);
  Bytes huge(2041, 0);
  EXPECT_FALSE(SendUdpPacket(h, 0, huge.data(), 2041));
  EXPECT_TRUE(trace.Contains("Got UDP Packet Fail !"));

  h.Script(kIoctlAbort, {Answer{false, 1, {}}});
  EXPECT_FALSE(Abort(h));
  EXPECT_TRUE(trace.Contains("Abort() : Fail _mBusHandle = 1234ABCD"));
}

TEST(Handles, MasterAndTcpBusByPath) {
  FakeChannel ch;
  EXPECT_TRUE(GetMasterBus(ch));
  ch.driver_present = false;
  EXPECT_FALSE(GetMasterBus(ch));

  std::shared_ptr<DriverHandle> bus;
  std::string path;
  TraceCapture trace;
  EXPECT_FALSE(GetTcpBus(ch, "192.168.0.10", &bus, &path));
  EXPECT_TRUE(trace.Contains("GetTcpBus CreateFile Error: 2\n"));
  ch.paths[TcpBusPath(net::Ipv4::Parse("192.168.0.10")->NetworkOrder())] = std::make_shared<FakeHandle>();
  EXPECT_TRUE(GetTcpBus(ch, "192.168.0.10", &bus, &path));
  EXPECT_NE(path.find("0A00A8C04e25"), std::string::npos);
}

}  // namespace
}  // namespace vx::bus
