// The program's side of the driver contract (operations over the lab
// channel) against vx-busd's emulator and the simulated servers' device
// sharing, all on loopback addresses (127.0.0.x), two PCs and one server.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "busdriver/labchannel/lab_client.h"
#include "busdriver/operations.h"
#include "channel_server.h"
#include "discover.h"
#include "emulator.h"
#include "platform/net/network.h"
#include "platform/testing/fake_clock.h"
#include "sharing_service.h"

namespace vx {
namespace {

using namespace std::chrono_literals;

using ::vx::testing::FakeClock;

// Reads events from a master bus on its own thread, like the reader does.
class Events {
 public:
  explicit Events(std::shared_ptr<bus::DriverHandle> h) : h_(std::move(h)), t_([this] { Run(); }) {}
  ~Events() {
    stop_ = true;
    h_->InterruptReads();
    t_.join();
  }
  // The next record with `code` (records of other codes before it are skipped).
  std::optional<bus::EventRecord> Next(uint8_t code, std::chrono::milliseconds within = 5s) {
    std::unique_lock l(m_);
    auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
      while (!got_.empty()) {
        auto e = got_.front();
        got_.pop_front();
        if (e.code == code) return e;
      }
      if (cv_.wait_until(l, deadline) == std::cv_status::timeout && got_.empty()) return std::nullopt;
    }
  }
  int empty_reads() {
    std::lock_guard l(m_);
    return empty_reads_;
  }

 private:
  void Run() {
    std::vector<uint8_t> buf(bus::kEventBufferSize);
    while (!stop_) {
      auto r = h_->Read(buf);
      std::lock_guard l(m_);
      if (r.ok) {
        if (auto e = bus::ParseEvent(std::span<const uint8_t>(buf.data(), r.bytes))) got_.push_back(*e);
      } else {
        ++empty_reads_;
      }
      cv_.notify_all();
      if (!r.ok && r.last_error != bus::kErrorOperationAborted) break;
    }
  }
  std::shared_ptr<bus::DriverHandle> h_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<bus::EventRecord> got_;
  int empty_reads_ = 0;
  std::atomic<bool> stop_{false};
  std::thread t_;
};

std::vector<uint8_t> Announcement(const std::string& name) {
  std::vector<uint8_t> r(173, 0);
  std::memcpy(r.data(), "RANNOU", 6);
  r[6] = 0x25;
  r[7] = 0x4E;
  std::memcpy(&r[35], "MD-LAN01", 8);
  std::memcpy(&r[55], name.data(), name.size());
  r[113] = 1;
  return r;
}

struct Pc {
  Pc(const std::string& name, const std::string& source, uint16_t server_port) {
    busd::EmulatorConfig c;
    c.computer_name = name;
    c.server_port = server_port;
    c.link_source_ip = source;
    c.tick = 20ms;
    c.remote_servers = {net::Ipv4::Parse("127.0.0.3")->NetworkOrder()};
    c.local_nets = [this] {
      std::lock_guard l(nets_mutex);
      return nets;
    };
    c.on_claimed = [this](uint32_t ip, int device_no) {
      std::lock_guard l(nets_mutex);
      claims.push_back({ip, device_no});
    };
    emulator = std::make_unique<busd::Emulator>(c);
    server = std::make_unique<busd::ChannelServer>(*emulator, "127.0.0.1", 0);
    channel = lab::MakeLabDriverChannel({net::Ipv4::Loopback(), server->port()});
    master = bus::GetMasterBus(*channel);
  }
  std::shared_ptr<bus::DriverHandle> TcpBus(const std::string& ip) {
    std::shared_ptr<bus::DriverHandle> h;
    std::string path;
    if (!bus::IOCTL_BUILD_TCP_BUS(*master, ip) || !bus::GetTcpBus(*channel, ip, &h, &path)) return nullptr;
    return h;
  }
  void Forward(const std::string& ip, const std::vector<uint8_t>& rec) {
    ASSERT_TRUE(
        bus::SendUdpPacket(*master, net::Ipv4::Parse(ip)->NetworkOrder(), rec.data(), uint32_t(rec.size())));
  }
  std::mutex nets_mutex;
  std::vector<busd::LocalNet> nets = {
      {net::Ipv4::Parse("127.0.0.1")->NetworkOrder(), net::Ipv4::Parse("255.0.0.0")->NetworkOrder()}};
  std::vector<std::pair<uint32_t, int>> claims;  // granted claims (the claim hook's input)
  std::unique_ptr<busd::Emulator> emulator;
  std::unique_ptr<busd::ChannelServer> server;
  std::unique_ptr<bus::DriverChannel> channel;
  std::shared_ptr<bus::DriverHandle> master;
};

class BusdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lab::SharedDevice printer;
    printer.device_no = 1;
    printer.vid = 0x04B8;
    printer.pid = 0x0E03;
    printer.usb_class = "PRINTER";
    printer.manufacturer = "Acme";
    printer.product = "Laser 9";
    printer.serial = "SN1";
    printer.pnp = lab::pnp::PnpProfile{"printer", {{"queue", "Front desk"}}};
    lab::SharedDevice mfp = printer;
    mfp.pnp.reset();
    mfp.device_no = 2;
    mfp.usb_class = "MFP";
    mfp.printer_port = true;
    ASSERT_EQ(service.AddServer("UDS-A", "127.0.0.2", 0, {printer, mfp}), "");
    port = service.PortOf("UDS-A");
    pc1 = std::make_unique<Pc>("PC1", "127.0.0.11", port);
    pc2 = std::make_unique<Pc>("PC2", "127.0.0.12", port);
    ASSERT_TRUE(pc1->master && pc2->master);
  }
  FakeClock clock;
  lab::SharingService service{clock};
  uint16_t port = 0;
  std::unique_ptr<Pc> pc1, pc2;
  FakeClock no_sleep{FakeClock::OnSleep::kStandStill};
};

TEST_F(BusdTest, BusListFromForwardedRecordsWithLocations) {
  Events ev(pc1->master);
  std::string full, brief;
  ASSERT_TRUE(bus::GetDriverVersion(*pc1->master, &full, &brief));
  EXPECT_EQ(full, "1.0.35");
  EXPECT_TRUE(bus::CheckDriverVersion(full, brief).pass);

  pc1->Forward("127.0.0.2", Announcement("UDS-A"));
  ASSERT_TRUE(ev.Next(bus::kEventUpdateBusList));
  pc1->Forward("10.88.0.21", Announcement("OTHER-NET"));
  pc1->Forward("127.0.0.3", Announcement("WAN"));
  std::vector<uint8_t> boot = {'R', 'B', 'O', 'O', 'T', 'U', 'P'};
  pc1->Forward("127.0.0.9", boot);  // an unknown server's boot: nothing listed

  std::vector<std::string> ips, names, locs;
  ASSERT_EQ(bus::GetBusList(*pc1->master, no_sleep, &ips, &names, &locs), 3);
  std::map<std::string, std::pair<std::string, std::string>> by_ip;
  for (size_t i = 0; i < ips.size(); ++i) by_ip[ips[i]] = {names[i], locs[i]};
  EXPECT_EQ(by_ip["127.0.0.2"], std::make_pair(std::string("UDS-A"), std::string("1")));
  EXPECT_EQ(by_ip["10.88.0.21"], std::make_pair(std::string("OTHER-NET"), std::string("2")));
  EXPECT_EQ(by_ip["127.0.0.3"], std::make_pair(std::string("WAN"), std::string("3")));

  // This PC's addresses change: event 3, and the locations follow.
  {
    std::lock_guard l(pc1->nets_mutex);
    pc1->nets = {
        {net::Ipv4::Parse("10.88.0.11")->NetworkOrder(), net::Ipv4::Parse("255.255.255.0")->NetworkOrder()}};
  }
  ASSERT_TRUE(ev.Next(bus::kEventUpdateIp));
  ASSERT_EQ(bus::GetBusList(*pc1->master, no_sleep, &ips, &names, &locs), 3);
  for (size_t i = 0; i < ips.size(); ++i) {
    if (ips[i] == "10.88.0.21") {
      EXPECT_EQ(locs[i], "1");
    }
  }
}

TEST_F(BusdTest, ClaimLockRequestAndRelease) {
  Events ev1(pc1->master), ev2(pc2->master);
  pc1->Forward("127.0.0.2", Announcement("UDS-A"));
  pc2->Forward("127.0.0.2", Announcement("UDS-A"));
  std::shared_ptr<bus::DriverHandle> h;
  std::string path;
  EXPECT_FALSE(bus::GetTcpBus(*pc1->channel, "127.0.0.2", &h, &path)) << "no bus before it is built";
  auto bus1 = pc1->TcpBus("127.0.0.2");
  auto bus2 = pc2->TcpBus("127.0.0.2");
  ASSERT_TRUE(bus1 && bus2);
  bus::DriverVersionInfo about;
  about.SetDriver("1.35");
  about.NoteTcpBusOpened(*bus1);
  EXPECT_EQ(about.Text(), "1.35.7");

  ASSERT_TRUE(bus::ClaimDevice(*bus1, "1"));
  ASSERT_TRUE(bus::LockDevice(*bus1, "1", 2, 3600));
  auto changed = ev1.Next(bus::kEventUpdateDeviceList);
  ASSERT_TRUE(changed);
  EXPECT_EQ(bus::Ipv4Text(changed->server_ip), "127.0.0.2");

  bus::DeviceList list;
  ASSERT_TRUE(bus::GetDeviceList(*bus2, &list));
  ASSERT_EQ(list.devices.size(), 2u);
  EXPECT_EQ(list.devices[0].owner, "PC1");
  EXPECT_EQ(list.devices[0].lock_type, 2);
  EXPECT_EQ(list.devices[0].lock_count, 1);
  EXPECT_EQ(list.devices[0].vid, 0x04B8);

  struct Notice : bus::ClaimNotice {
    int shown = 0;
    void PortSetToPrinterServer() override { ++shown; }
  } notice;
  EXPECT_FALSE(bus::ClaimDevice(*bus2, "1", &notice)) << "held by PC1";
  EXPECT_FALSE(bus::ClaimDevice(*bus2, "2", &notice)) << "printer-server port";
  EXPECT_EQ(notice.shown, 1);
  EXPECT_TRUE(bus::ReleaseDevice(*bus2, "1")) << "-32 counts as success";
  ASSERT_TRUE(bus::GetDeviceList(*bus1, &list));
  EXPECT_EQ(list.devices[0].owner, "PC1") << "PC2 cannot release PC1's device";

  // PC2 asks; PC1 gets event 4 with PC2's address and name; PC1 refuses.
  ASSERT_TRUE(bus::RequestDevice(*bus2, "1", 1, ""));
  auto req = ev1.Next(bus::kEventRequestToUse);
  ASSERT_TRUE(req);
  EXPECT_EQ(req->command, 1);
  EXPECT_EQ(req->device_no, 1);
  EXPECT_EQ(bus::Ipv4Text(req->server_ip), "127.0.0.2");
  EXPECT_EQ(bus::Ipv4Text(req->asker_ip), "127.0.0.12");
  EXPECT_EQ(req->host_name, "PC2");
  ASSERT_TRUE(bus::RequestDevice(*bus1, "1", 2, bus::Ipv4Text(req->asker_ip)));
  auto refusal = ev2.Next(bus::kEventRequestToUse);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->command, 2);
  EXPECT_FALSE(bus::RequestDevice(*bus2, "2", 1, "")) << "nobody holds device 2";

  // The lock runs out: the device is free again and both PCs hear of it.
  clock.Advance(std::chrono::seconds(3601));
  ASSERT_TRUE(ev2.Next(bus::kEventUpdateDeviceList));
  ASSERT_TRUE(bus::GetDeviceList(*bus2, &list));
  EXPECT_EQ(list.devices[0].owner, "");
  EXPECT_EQ(list.devices[0].lock_type, 0);
  EXPECT_TRUE(bus::ClaimDevice(*bus2, "1"));

  // Unplugged devices leave the list; plugged again they come back.
  EXPECT_EQ(service.Control({"unplug", "UDS-A", "1"}), "ok");
  ASSERT_TRUE(ev1.Next(bus::kEventUpdateDeviceList));
  ASSERT_TRUE(bus::GetDeviceList(*bus1, &list));
  EXPECT_EQ(list.devices.size(), 1u);
  EXPECT_EQ(service.Control({"plug", "127.0.0.2", "1"}), "ok");
  EXPECT_EQ(service.Control({"printer-port", "UDS-A", "1", "on"}), "ok");
  EXPECT_FALSE(bus::ClaimDevice(*bus1, "1"));
  EXPECT_FALSE(service.Control({"hello"}));
}

TEST_F(BusdTest, LostServerGivesErrorEventThenBusListEvent) {
  Events ev(pc1->master);
  pc1->Forward("127.0.0.2", Announcement("UDS-A"));
  ASSERT_TRUE(ev.Next(bus::kEventUpdateBusList));
  auto bus1 = pc1->TcpBus("127.0.0.2");
  ASSERT_TRUE(bus1);
  service.RemoveServer("UDS-A");
  auto lost = ev.Next(bus::kEventErrorCode);
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->error_code, 1);
  EXPECT_EQ(bus::Ipv4Text(lost->server_ip), "127.0.0.2");
  ASSERT_TRUE(ev.Next(bus::kEventUpdateBusList)) << "after the error event";
  std::vector<bus::BusEntry> entries;
  EXPECT_EQ(bus::GetBusList(*pc1->master, no_sleep, &entries), 0);
  bus::DeviceList list;
  EXPECT_FALSE(bus::GetDeviceList(*bus1, &list));
}

TEST_F(BusdTest, HeldReadReturnsOnAbortAndOnClose) {
  Events ev(pc1->master);
  // Whether the read reached the emulator yet or not, the abort completes it.
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(bus::Abort(*pc1->master));
  for (int i = 0; i < 500 && ev.empty_reads() == 0; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(ev.empty_reads(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);

  // A read held on a second handle returns when that handle is closed.
  auto other = bus::GetMasterBus(*pc1->channel);
  ASSERT_TRUE(other);
  std::thread reader([&] {
    std::vector<uint8_t> buf(4096);
    auto r = other->Read(buf);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.last_error, bus::kErrorInvalidHandle);
  });
  EXPECT_TRUE(other->Close());  // before or during the read: it returns
  reader.join();
  EXPECT_FALSE(other->Close()) << "closed once";
}

TEST_F(BusdTest, GrantedClaimsReachTheHookWhichGetsTheDeviceReport) {
  pc1->Forward("127.0.0.2", Announcement("UDS-A"));
  pc2->Forward("127.0.0.2", Announcement("UDS-A"));
  auto bus1 = pc1->TcpBus("127.0.0.2");
  auto bus2 = pc2->TcpBus("127.0.0.2");
  ASSERT_TRUE(bus1 && bus2);
  const uint32_t ip = net::Ipv4::Parse("127.0.0.2")->NetworkOrder();
  auto report = [&](Pc& pc, int no) {
    std::string why;
    auto bytes = pc.emulator->DeviceReport(ip, no);
    return bytes ? lab::pnp::ParseDeviceReport(*bytes, &why) : std::nullopt;
  };
  auto before = report(*pc1, 1);
  ASSERT_TRUE(before);
  EXPECT_EQ(before->owner, "");
  EXPECT_EQ(before->hold, 0u);
  EXPECT_FALSE(report(*pc1, 9)) << "no such device";
  EXPECT_FALSE(pc1->emulator->DeviceReport(net::Ipv4::Parse("127.0.0.9")->NetworkOrder(), 1)) << "no bus";

  ASSERT_TRUE(bus::ClaimDevice(*bus1, "1"));
  ASSERT_TRUE(bus::ClaimDevice(*bus1, "1"));  // the holder again
  struct Notice : bus::ClaimNotice {
    void PortSetToPrinterServer() override {}
  } notice;
  EXPECT_FALSE(bus::ClaimDevice(*bus2, "1", &notice)) << "held by PC1";
  EXPECT_FALSE(bus::ClaimDevice(*bus2, "2", &notice)) << "printer-server port";
  {
    std::lock_guard l(pc1->nets_mutex);
    EXPECT_EQ(pc1->claims, (std::vector<std::pair<uint32_t, int>>{{ip, 1}, {ip, 1}}));
  }
  {
    std::lock_guard l(pc2->nets_mutex);
    EXPECT_TRUE(pc2->claims.empty()) << "refused claims run nothing";
  }
  auto held = report(*pc1, 1);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->owner, "PC1");
  EXPECT_EQ(held->hold, 1u) << "the holder's second claim is the same hold";
  ASSERT_TRUE(held->pnp);
  EXPECT_EQ(held->pnp->profile, "printer");
  EXPECT_EQ(held->pnp->overrides.at("queue"), "Front desk");
  EXPECT_EQ(held->serial, "SN1");

  ASSERT_TRUE(bus::ReleaseDevice(*bus1, "1"));
  ASSERT_TRUE(bus::ClaimDevice(*bus2, "1"));
  held = report(*pc2, 1);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->owner, "PC2");
  EXPECT_EQ(held->hold, 2u) << "a new holder, a new hold";
}

TEST(SharingConfig, DevicesFromJsonReadsPlugAndPlayProfiles) {
  std::string why;
  auto ok = lab::SharingService::DevicesFromJson(
      nlohmann::json::parse(R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "pnp": "printer"},
                                            {"device_no": 2, "vid": 1, "pid": 2,
                                             "pnp": {"profile": "scanner", "twain_ds": "Lab TWAIN"}},
                                            {"device_no": 3, "vid": 1, "pid": 3, "owner": "VXPC2"},
                                            {"device_no": 4, "vid": 1, "pid": 4}]})"),
      &why);
  ASSERT_TRUE(ok) << why;
  EXPECT_EQ((*ok)[0].pnp, (lab::pnp::PnpProfile{"printer", {}}));
  EXPECT_EQ((*ok)[1].pnp->overrides.at("twain_ds"), "Lab TWAIN");
  EXPECT_EQ((*ok)[2].hold, 1u) << "held from the start: its first hold";
  EXPECT_FALSE((*ok)[3].pnp);
  EXPECT_EQ((*ok)[3].hold, 0u);
  for (
      const char* bad : {
          R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "pnp": 3}]})",
          R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "pnp": "Print er"}]})",
          R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "pnp": {"queue": "x"}}]})",
          R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "pnp": {"profile": "printer", "colour": "x"}}]})",
      }) {
    EXPECT_FALSE(lab::SharingService::DevicesFromJson(nlohmann::json::parse(bad), &why)) << bad;
    EXPECT_NE(why.find("\"pnp\""), std::string::npos) << why;
  }
}

TEST(SharingConfig, DevicesFromJsonRejectsBadEntries) {
  std::string why;
  auto ok = lab::SharingService::DevicesFromJson(
      nlohmann::json::parse(R"({"devices": [{"device_no": 4, "vid": "04b8", "pid": 3587, "class": "MFP",
                                             "extra": {"port": "2"}}]})"),
      &why);
  ASSERT_TRUE(ok);
  ASSERT_EQ(ok->size(), 1u);
  EXPECT_EQ((*ok)[0].vid, 0x04B8);
  EXPECT_EQ((*ok)[0].pid, 3587);
  EXPECT_EQ((*ok)[0].extra.size(), 1u);
  EXPECT_TRUE(lab::SharingService::DevicesFromJson(nlohmann::json::object(), &why)->empty());
  for (const char* bad : {
           R"({"devices": {"device_no": 1}})",
           R"({"devices": [{"device_no": 1, "vid": "XYZ1", "pid": "0001"}]})",
           R"({"devices": [{"device_no": 1, "vid": "12345", "pid": "0001"}]})",
           R"({"devices": [{"vid": "0001", "pid": "0001"}]})",
           R"({"devices": [{"device_no": 128, "vid": "0001", "pid": "0001"}]})",
           R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1}, {"device_no": 1, "vid": 2, "pid": 2}]})",
           R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "product": 7}]})",
       }) {
    EXPECT_FALSE(lab::SharingService::DevicesFromJson(nlohmann::json::parse(bad), &why)) << bad;
  }
  auto long_text = nlohmann::json::parse(R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1}]})");
  long_text["devices"][0]["serial"] = std::string(64, 's');
  EXPECT_FALSE(lab::SharingService::DevicesFromJson(long_text, &why)) << "64-byte text";
}

TEST(SharingConfig, DevicesFromJsonTakesAHolderFromTheStart) {
  std::string why;
  auto held = lab::SharingService::DevicesFromJson(
      nlohmann::json::parse(R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "owner": "VXPC2"},
                                            {"device_no": 2, "vid": 1, "pid": 2, "owner": "VXPC3", "lock_type": 1},
                                            {"device_no": 3, "vid": 1, "pid": 3, "lock_type": 1}]})"),
      &why);
  ASSERT_TRUE(held) << why;
  EXPECT_EQ((*held)[0].owner, "VXPC2");
  EXPECT_EQ((*held)[0].lock_type, 2) << "manual unless told otherwise";
  EXPECT_EQ((*held)[1].lock_type, 1);
  EXPECT_EQ((*held)[2].owner, "");
  EXPECT_EQ((*held)[2].lock_type, 0) << "no holder, no lock";
  for (const char* bad : {
           R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "owner": "VXPC2", "lock_type": 3}]})",
           R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "owner": "VXPC2", "lock_type": "2"}]})",
           R"({"devices": [{"device_no": 1, "vid": 1, "pid": 1, "owner": 2}]})",
       }) {
    EXPECT_FALSE(lab::SharingService::DevicesFromJson(nlohmann::json::parse(bad), &why)) << bad;
  }
}

TEST(BusdEmulator, BusListKeepsToWhatFits1024Bytes) {
  busd::EmulatorConfig c;
  c.tick = 10ms;
  busd::Emulator emulator(c);
  for (int i = 0; i < 40; ++i)
    emulator.OnUdpPacket(net::Ipv4::Parse("10.77.1." + std::to_string(i + 1))->NetworkOrder(),
                         Announcement(std::string(31, 'N')));
  auto queue = emulator.OpenMaster();
  auto reply = emulator.MasterIoctl(*queue, bus::kIoctlGetBusList, std::vector<uint8_t>(1024), 1024);
  ASSERT_EQ(reply.status, 0);
  auto list = bus::ParseBusList(reply.out, reply.out.size());
  ASSERT_TRUE(list);
  EXPECT_GT(list->entries.size(), 10u);
  EXPECT_LT(list->entries.size(), 40u);
}

// A short announcement as the program forwards it: "RANNOU", NUL, the MAC
// and the name, zero-padded to 173 bytes; its header is not rewritten.
std::vector<uint8_t> ShortAnnouncementForward(const std::string& name) {
  std::vector<uint8_t> r(173, 0);
  std::memcpy(r.data(), "RANNOU", 6);
  const uint8_t mac[6] = {0x00, 0x80, 0x92, 0x00, 0x00, 0x21};
  std::memcpy(&r[7], mac, 6);
  std::memcpy(&r[13], name.data(), name.size());
  return r;
}

TEST(BusdEmulator, ShortAnnouncementKeepsTheNameAndListsNoNewServer) {
  busd::EmulatorConfig c;
  c.tick = 10ms;
  busd::Emulator emulator(c);
  uint32_t known = net::Ipv4::Parse("10.77.0.21")->NetworkOrder();
  uint32_t unknown = net::Ipv4::Parse("10.77.0.22")->NetworkOrder();
  EXPECT_TRUE(busd::IsFullRecord(Announcement("UDS-A")));
  EXPECT_FALSE(busd::IsFullRecord(ShortAnnouncementForward("UDS-A")));

  emulator.OnUdpPacket(known, Announcement("UDS-A"));
  auto queue = emulator.OpenMaster();
  emulator.OnUdpPacket(known, ShortAnnouncementForward("UDS-A"));
  emulator.OnUdpPacket(unknown, ShortAnnouncementForward("UDS-B"));

  auto list = emulator.BusListNow();
  ASSERT_EQ(list.entries.size(), 1u) << "a short announcement is no server record";
  EXPECT_EQ(list.entries[0].ip, known);
  EXPECT_EQ(list.entries[0].name, "UDS-A") << "the name must not be blanked";

  // Neither short announcement changed the bus list: no event is queued.
  bool completed = false;
  queue->Read([&](int32_t, std::vector<uint8_t>) { completed = true; });
  EXPECT_FALSE(completed);
  queue->Abort();
  EXPECT_TRUE(completed);
}

TEST(BusdDiscover, ForwardRecordKeepsOnlyUsbDeviceServers) {
  std::vector<uint8_t> reply(173, 0);
  std::memcpy(reply.data(), "THIS IS RV550", 13);
  reply[113] = 1;
  reply[125] = 9;  // the address bytes are not forwarded
  uint32_t from = net::Ipv4::Parse("10.77.0.21")->NetworkOrder();
  auto f = busd::ForwardRecordOf(reply, from);
  ASSERT_EQ(f.size(), 173u);
  EXPECT_EQ(std::memcmp(f.data(), "RANNOU\x25\x4E\0\0\0\0\0", 13), 0);
  EXPECT_EQ(f[125], 0);
  reply[113] = 2;
  EXPECT_TRUE(busd::ForwardRecordOf(reply, from).empty());
  reply[113] = 1;
  reply.push_back(0);
  EXPECT_TRUE(busd::ForwardRecordOf(reply, from).empty()) << "174-byte reply";
  auto req = busd::DiscoveryRequest();
  ASSERT_EQ(req.size(), 53u);
  uint32_t sum = 0;
  for (int i = 0; i < 6; ++i) sum += uint32_t(req[25 + 4 * i]) | uint32_t(req[26 + 4 * i]) << 8;
  EXPECT_EQ(sum, uint32_t(req[49]) | uint32_t(req[50]) << 8);
}

}  // namespace
}  // namespace vx
