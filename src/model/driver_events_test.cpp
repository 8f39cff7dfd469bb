#include "model/driver_events.h"

#include <gtest/gtest.h>

#include "model/testing/model_fixture.h"
#include "platform/net/network.h"
#include "platform/trace.h"

namespace vx::model {
namespace {

using testing::Bus;
using testing::Device;
using testing::Info;
using testing::ModelFixture;

bus::EventRecord Code(uint8_t code, const std::string& ip = "") {
  bus::EventRecord e;
  e.code = code;
  if (!ip.empty()) e.server_ip = net::Ipv4::Parse(ip)->NetworkOrder();
  return e;
}

struct Events : ::testing::Test {
  ModelFixture f;
  void SetUp() override {
    f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1), Bus("uds2", "10.0.0.3", 1)});
    bus::DeviceList l;
    l.devices = {Device(1, "PRINTER", "Acme", "Laser 9", "", 0, 0x04B8, 0x0001, "P1"),
                 Device(2, "SCANNER", "Acme", "Scan 1", "", 0, 0x04B8, 0x0002, "S1")};
    f.driver.SetDevices("10.0.0.2", l);
    f.info.replies["10.0.0.2"] = Info("00:80:92:00:00:02");
    f.info.replies["10.0.0.3"] = Info("00:80:92:00:00:03");
    f.Event(Code(bus::kEventUpdateBusList));
    f.info.Deliver();
    f.commands.log.clear();
  }
  void Devices(std::vector<bus::DeviceEntry> d) {
    bus::DeviceList l;
    l.devices = std::move(d);
    f.driver.SetDevices("10.0.0.2", l);
  }
};

TEST_F(Events, BusListEventRefreshesWithTheTreeDisabledAndNotesTheTime) {
  EXPECT_EQ(f.view.TopTexts().size(), 2u);
  EXPECT_TRUE(f.quiet.last_event.has_value());
  EXPECT_EQ(f.view.log, (std::vector<std::string>{"tree off", "tree on"}));
  f.driver.SetBusList({Bus("uds2", "10.0.0.3", 1)});
  f.Event(Code(bus::kEventUpdateBusList));
  EXPECT_EQ(f.view.TopTexts(), (std::vector<std::string>{"uds2 - 10.0.0.3"}));
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"disable"})) << "the selection refresh ran";
}

TEST_F(Events, DeviceListEventKeepsTheSelectedDeviceByNumber) {
  f.tree.Select(f.DeviceNodeOf("10.0.0.2", "2"));
  const NodeId before = f.tree.Selected();
  // Device 1 leaves, device 2 stays (its text changes), device 5 arrives.
  Devices({Device(2, "SCANNER", "Acme", "Scan 1b", "", 0, 0x04B8, 0x0002, "S1"), Device(5, "HID", "K", "B")});
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.2"));
  EXPECT_EQ(f.view.DeviceTexts("uds1"),
            (std::vector<std::string>{"SCANNER - Acme - Scan 1b", "HID - K - B"}));
  EXPECT_EQ(f.tree.Selected(), before);
  EXPECT_EQ(f.view.selected, before);
  EXPECT_EQ(f.commands.log,
            (std::vector<std::string>{"disable", "device 10.0.0.2/2", "disable", "device 10.0.0.2/2"}));
}

TEST_F(Events, DeviceListEventForAnotherServerLeavesTheSelectionAlone) {
  f.tree.Select(f.Server("10.0.0.3")->id);
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.2"));
  EXPECT_TRUE(f.commands.log.empty());
  EXPECT_EQ(f.tree.Selected(), f.Server("10.0.0.3")->id);
}

TEST_F(Events, DeviceListEventIsDroppedWhileSuppressed) {
  Devices({});
  f.flags.device_list_suppressed = true;  // a manual connection runs
  TraceCapture trace;
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.2"));
  EXPECT_EQ(f.view.DeviceTexts("uds1").size(), 2u);
  EXPECT_TRUE(trace.Contains("Ignore Event ===> OP_UBUS_UPDATE_DEVICE_LIST"));
  f.flags.device_list_suppressed = false;
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.2"));
  EXPECT_TRUE(f.view.DeviceTexts("uds1").empty());
}

TEST_F(Events, BusListEventIsDroppedWhileSuppressed) {
  f.driver.SetBusList({});
  f.flags.bus_list_suppressed = true;
  f.Event(Code(bus::kEventUpdateBusList));
  EXPECT_EQ(f.view.TopTexts().size(), 2u);
}

TEST_F(Events, DeviceListEventForServerWithoutBusOrUnknownChangesNothing) {
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.99"));
  f.Server("10.0.0.2")->data->TcpBusHandle.reset();
  Devices({});
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.2"));
  EXPECT_EQ(f.view.DeviceTexts("uds1").size(), 2u);
}

TEST_F(Events, AddressChangeRebuildsSocketsFindsServersAgainAndReselectsTheDevice) {
  f.tree.Select(f.DeviceNodeOf("10.0.0.2", "2"));
  // The server moved to a new address (same MAC), with its device renumbered.
  f.driver.SetBusList({Bus("uds1", "10.0.1.2", 1), Bus("uds2", "10.0.0.3", 1)});
  bus::DeviceList l;
  l.devices = {Device(9, "SCANNER", "Acme", "Scan 1", "", 0, 0x04B8, 0x0002, "S1")};
  f.driver.SetDevices("10.0.1.2", l);
  f.info.replies["10.0.1.2"] = Info("00:80:92:00:00:02");
  std::vector<std::string> suspended_during_reopen;
  f.discovery.on_reopen = [&] { suspended_during_reopen = f.discovery.log; };
  f.Event(Code(bus::kEventUpdateIp));
  EXPECT_EQ(suspended_during_reopen, (std::vector<std::string>{"suspend", "reopen"}));
  EXPECT_EQ(f.discovery.log, (std::vector<std::string>{"suspend", "reopen", "resume", "send"}));
  EXPECT_EQ(f.tree.Selected(), kNoNode);
  EXPECT_EQ(f.view.log.back(), "tree on");
  EXPECT_TRUE(f.list->ReselectionPending());

  // The new node's reply brings its MAC, its bus and its device list: the
  // device is selected again, without a selection refresh.
  f.info.Deliver();
  ASSERT_NE(f.DeviceNodeOf("10.0.1.2", "9"), kNoNode);
  EXPECT_EQ(f.tree.Selected(), f.DeviceNodeOf("10.0.1.2", "9"));
  EXPECT_EQ(f.view.selected, f.tree.Selected());
  EXPECT_TRUE(f.commands.log.empty()) << "the selection refresh is not run";
  EXPECT_FALSE(f.list->ReselectionPending());
}

TEST_F(Events, AddressChangeWithTheServerStillThereReselectsAtOnce) {
  f.tree.Select(f.DeviceNodeOf("10.0.0.2", "2"));
  f.Event(Code(bus::kEventUpdateIp));
  EXPECT_EQ(f.tree.Selected(), f.DeviceNodeOf("10.0.0.2", "2"));
  EXPECT_FALSE(f.list->ReselectionPending());
  EXPECT_TRUE(f.commands.log.empty());
}

TEST_F(Events, AUserSelectionCancelsAPendingReselection) {
  f.tree.Select(f.Server("10.0.0.2")->id);
  f.driver.SetBusList({Bus("uds1", "10.0.1.2", 1), Bus("uds2", "10.0.0.3", 1)});
  f.info.replies["10.0.1.2"] = Info("00:80:92:00:00:02");
  f.Event(Code(bus::kEventUpdateIp));
  f.presenter->OnLeftButtonDown(f.Server("10.0.0.3")->id);
  f.info.Deliver();
  EXPECT_EQ(f.tree.Selected(), f.Server("10.0.0.3")->id);
}

TEST_F(Events, AddressChangeReselectsAServerByMac) {
  f.tree.Select(f.Server("10.0.0.3")->id);
  f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1), Bus("uds2", "10.0.7.3", 1)});
  f.info.replies["10.0.7.3"] = Info("00:80:92:00:00:03");
  f.Event(Code(bus::kEventUpdateIp));
  f.info.Deliver();
  ASSERT_NE(f.Server("10.0.7.3"), nullptr);
  EXPECT_EQ(f.tree.Selected(), f.Server("10.0.7.3")->id);
}

TEST_F(Events, ErrorEventOneMarksTheServerLost) {
  bus::EventRecord e = Code(bus::kEventErrorCode, "10.0.0.3");
  e.error_code = 1;
  f.Event(e);
  EXPECT_EQ(f.Server("10.0.0.3")->data->BusState, kBusLost);
  e.error_code = 2;
  e.server_ip = net::Ipv4::Parse("10.0.0.2")->NetworkOrder();
  f.Event(e);
  EXPECT_EQ(f.Server("10.0.0.2")->data->BusState, kBusAutomatic);

  // A lost server gets no automatic bus, but a click still builds one.
  f.Server("10.0.0.3")->data->TcpBusHandle.reset();
  const int opens = f.driver.opens["10.0.0.3"];
  f.Event(Code(bus::kEventUpdateBusList));
  EXPECT_EQ(f.driver.opens["10.0.0.3"], opens);
  EXPECT_EQ(f.Server("10.0.0.3")->data->BusState, kBusLost);
  f.tree.Select(f.Server("10.0.0.3")->id);
  f.presenter->Action_UDSClickExecute();
  EXPECT_TRUE(f.Server("10.0.0.3")->data->HasTcpBus());
}

TEST_F(Events, RequestRecordsGoToTheRequestHandlingUnchanged) {
  bus::EventRecord e = Code(bus::kEventRequestToUse, "10.0.0.2");
  e.command = 1;
  e.device_no = 2;
  e.asker_ip = net::Ipv4::Parse("10.0.0.50")->NetworkOrder();
  e.host_name = "PC-\"50\" %s";
  TraceCapture trace;
  f.Event(e);
  ASSERT_EQ(f.requests.records.size(), 1u);
  EXPECT_EQ(f.requests.records[0], bus::EncodeEvent(e));
  EXPECT_TRUE(trace.Contains("Request To Connect!!! RemoteIP : 10.0.0.50 \"PC-\"50\" %s\" 1"));
  EXPECT_TRUE(trace.Contains("Request To Connect!!! ServerIP : 10.0.0.2 DeviceNo : 2"));
  e.command = 6;
  auto bytes = bus::EncodeEvent(e);
  f.Event(bytes, int(bytes.size()));
  EXPECT_EQ(f.requests.records.size(), 1u);
}

TEST_F(Events, BadRecordsChangeNothing) {
  const size_t nodes = f.view.nodes.size();
  auto bus_list = bus::EncodeEvent(Code(bus::kEventUpdateBusList));
  f.driver.SetBusList({});
  f.Event(bus_list, -1);                                     // negative length
  f.Event({0}, 1);                                           // code 0: a failed read
  f.Event({7, 1, 2, 3}, 4);                                  // unknown code
  f.Event({1, 0, 0}, 3);                                     // too short for its address
  f.Event(bus_list, int(bus::kEventBufferSize) + 1);         // longer than the buffer
  f.Event(bus::EncodeEvent(Code(bus::kEventAudioData)), 1);  // nothing to do
  EXPECT_EQ(f.view.nodes.size(), nodes);
  f.closing = true;
  f.Event(bus_list, int(bus_list.size()));
  EXPECT_EQ(f.view.nodes.size(), nodes);
}

TEST_F(Events, TraceNamesTheEvent) {
  TraceCapture trace;
  f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.3"));
  EXPECT_TRUE(trace.Contains("GetReadInfo() : ---> UPDATE_DEVICE_LIST <--- len : "));
  EXPECT_TRUE(trace.Contains(" IP : 10.0.0.3"));
}

TEST_F(Events, EventsArrivingInsideARefreshRunAfterItInOrder) {
  f.Server("10.0.0.2")->data->MacAddress.clear();
  *f.Server("10.0.0.2")->data->InfoPending = true;
  f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1)});
  int pumps = 0;
  f.main_thread.on_pump = [&] {
    if (++pumps == 1) {
      f.Event(Code(bus::kEventUpdateBusList));  // removes uds2
      Devices({});
      f.Event(Code(bus::kEventUpdateDeviceList, "10.0.0.2"));  // then empties uds1
    }
  };
  f.list->getDevList(f.Server("10.0.0.2")->id);
  EXPECT_EQ(f.view.TopTexts(), (std::vector<std::string>{"uds1 - 10.0.0.2"}));
  EXPECT_TRUE(f.view.DeviceTexts("uds1").empty());
  EXPECT_FALSE(f.list->Busy());
  *f.Server("10.0.0.2")->data->InfoPending = false;
}

// ---- Timer_MBusUpdate -------------------------------------------------------------

TEST(MBusUpdateTest, FirstTickRefreshesAtOnceWithoutBusListEvents) {
  ModelFixture f(true);
  f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1)});
  testing::FakeMBusHost host;
  MBusUpdate timer(*f.list, host, f.clock, f.quiet);
  timer.SetTitle("Vessix");
  f.view.SetTreeEnabled(false);
  timer.Timer_MBusUpdateTimer();
  EXPECT_TRUE(timer.Finished());
  EXPECT_TRUE(host.timer_stopped);
  EXPECT_TRUE(host.find_server);
  EXPECT_TRUE(f.view.tree_enabled);
  EXPECT_EQ(f.view.TopTexts().size(), 1u);
  EXPECT_EQ(host.captions, (std::vector<std::string>{"Vessix - 検索... \\", "Vessix"}));
  EXPECT_EQ(host.watchers, 1);
  timer.Timer_MBusUpdateTimer();
  EXPECT_EQ(host.watchers, 1);
}

TEST(MBusUpdateTest, WaitsUntilTheBusListIsQuietForThreeSeconds) {
  ModelFixture f(true);
  f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1)});
  testing::FakeMBusHost host;
  MBusUpdate timer(*f.list, host, f.clock, f.quiet);
  timer.SetTitle("Vessix");
  f.Event(Code(bus::kEventUpdateBusList));
  const auto refreshes = [&] { return f.driver.master->CallsOf(bus::kIoctlGetBusList).size(); };
  const size_t after_event = refreshes();
  for (int tick = 0; tick < 6; ++tick) {  // 0 .. 2.5 s
    timer.Timer_MBusUpdateTimer();
    f.clock.Advance(std::chrono::milliseconds(500));
  }
  EXPECT_FALSE(timer.Finished());
  EXPECT_EQ(refreshes(), after_event);
  EXPECT_EQ(host.captions[0], "Vessix - 検索... \\");
  EXPECT_EQ(host.captions[1], "Vessix - 検索... /");
  EXPECT_EQ(host.captions[2], "Vessix - 検索... \\");
  timer.Timer_MBusUpdateTimer();  // 3 s
  EXPECT_TRUE(timer.Finished());
  EXPECT_EQ(refreshes(), after_event + 1);
  EXPECT_EQ(host.captions.back(), "Vessix");
}

TEST(MBusUpdateTest, NoSearchingCaptionOutsideJapanese) {
  ModelFixture f(false);
  f.driver.SetBusList({});
  testing::FakeMBusHost host;
  MBusUpdate timer(*f.list, host, f.clock, f.quiet);
  timer.SetTitle("Vessix");
  timer.Timer_MBusUpdateTimer();
  EXPECT_EQ(host.captions, (std::vector<std::string>{"Vessix"}));
}

}  // namespace
}  // namespace vx::model
