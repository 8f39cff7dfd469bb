#include "model/server_list.h"

#include <gtest/gtest.h>

#include "model/testing/model_fixture.h"
#include "platform/trace.h"

namespace vx::model {
namespace {

using testing::Bus;
using testing::Device;
using testing::Info;
using testing::ModelFixture;

bus::DeviceList Devices(std::vector<bus::DeviceEntry> entries) {
  bus::DeviceList l;
  l.devices = std::move(entries);
  return l;
}

// Two local servers whose replies are known, so their buses are built at
// the next refresh.
struct TwoServers : ::testing::Test {
  ModelFixture f;
  void SetUp() override {
    f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1), Bus("uds2", "10.0.0.3", 1)});
    f.driver.SetDevices(
        "10.0.0.2", Devices({Device(1, "PRINTER", "Acme", "Laser 9"), Device(2, "SCANNER", "Acme", "Scan 1"),
                             Device(3, "MASS STORAGE", "Stor", "Stick")}));
    f.info.replies["10.0.0.2"] = Info("00:80:92:00:00:02");
    f.info.replies["10.0.0.3"] = Info("00:80:92:00:00:03");
  }
};

TEST_F(TwoServers, RefreshAddsNodesStartsInfoQueriesAndBuildsBusesOnceRepliesAreIn) {
  f.list->RefreshServerList();
  EXPECT_EQ(f.view.TopTexts(), (std::vector<std::string>{"uds1 - 10.0.0.2", "uds2 - 10.0.0.3"}));
  EXPECT_EQ(f.info.StartsFor("10.0.0.2"), 1);
  EXPECT_TRUE(f.view.panel_enabled);
  EXPECT_FALSE(f.view.blank_panel);
  // No reply yet: SoftwareBus is 0, no bus is tried.
  EXPECT_EQ(f.driver.opens["10.0.0.2"], 0);

  // The reply arrives: the server gets its bus and its devices at once.
  EXPECT_EQ(f.info.Deliver(), 2);
  ASSERT_TRUE(f.Server("10.0.0.2")->data->HasTcpBus());
  EXPECT_EQ(f.Server("10.0.0.2")->data->MacAddress, "00:80:92:00:00:02");
  EXPECT_EQ(f.view.DeviceTexts("uds1"),
            (std::vector<std::string>{"PRINTER - Acme - Laser 9", "SCANNER - Acme - Scan 1",
                                      "MASS STORAGE - Stor - Stick"}));
  EXPECT_TRUE(f.view.IsExpanded(f.Server("10.0.0.2")->id));
  EXPECT_FALSE(f.list->Flags().programmatic_expand) << "the view reported the expansion back";
  EXPECT_FALSE(f.list->Flags().user_expand);

  // A later refresh keeps the nodes and asks nothing again.
  const NodeId id = f.Server("10.0.0.2")->id;
  f.list->RefreshServerList();
  EXPECT_EQ(f.Server("10.0.0.2")->id, id);
  EXPECT_EQ(f.info.StartsFor("10.0.0.2"), 1);
  EXPECT_EQ(f.driver.opens["10.0.0.2"], 1);
}

TEST_F(TwoServers, RefreshRemovesAndRenamesAndAddsInOnePass) {
  f.list->RefreshServerList();
  f.info.Deliver();
  const NodeId old_id = f.Server("10.0.0.2")->id;
  auto old_bus = f.driver.handles.at(0);
  f.tree.Select(f.DeviceNodeOf("10.0.0.2", "2"));

  // uds1 renamed, uds2 gone, uds4 new.
  f.driver.SetBusList({Bus("uds1-new", "10.0.0.2", 1), Bus("uds4", "10.0.0.4", 1)});
  TraceCapture trace;
  f.list->RefreshServerList();
  EXPECT_EQ(f.view.TopTexts(), (std::vector<std::string>{"uds1-new - 10.0.0.2", "uds4 - 10.0.0.4"}));
  EXPECT_NE(f.Server("10.0.0.2")->id, old_id) << "a renamed server is removed and added again";
  EXPECT_EQ(f.Server("10.0.0.2")->data->MacAddress, "") << "its record starts afresh";
  EXPECT_EQ(f.Server("10.0.0.2")->data->BusState, kBusAutomatic);
  EXPECT_EQ(old_bus->Close(), false) << "the removed server's TCP bus was closed";
  EXPECT_EQ(f.tree.Selected(), kNoNode);
  EXPECT_EQ(f.view.selected, kNoNode);
  EXPECT_TRUE(trace.Contains("USBbus : bDel : 10.0.0.3"));
  EXPECT_TRUE(trace.Contains("USBbus : bDel : Focus on device !"));
  EXPECT_EQ(f.view.nodes.size(), 2u) << "the devices went with their server";
}

TEST_F(TwoServers, UnreadableBusListLeavesTheTreeAndEmptyListClearsIt) {
  f.list->RefreshServerList();
  f.info.Deliver();
  f.driver.FailBusList();
  f.list->RefreshServerList();
  EXPECT_EQ(f.view.TopTexts().size(), 2u);
  EXPECT_TRUE(f.Server("10.0.0.2")->data->HasTcpBus());
  EXPECT_TRUE(f.lock.try_lock()) << "the lock is released on the early way out";
  f.lock.unlock();

  f.driver.SetBusList({});
  f.list->RefreshServerList();
  EXPECT_TRUE(f.view.TopTexts().empty());
  EXPECT_TRUE(f.view.nodes.empty());
  EXPECT_FALSE(f.driver.handles.at(0)->Close()) << "closed by DeleteAllTcpBus";
}

TEST_F(TwoServers, BlankPanelOnlyForExactlyOneServer) {
  f.list->RefreshServerList();
  EXPECT_FALSE(f.view.blank_panel);
  f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1)});
  f.list->RefreshServerList();
  EXPECT_TRUE(f.view.blank_panel);
}

TEST_F(TwoServers, TopLevelIsSortedAfterEveryEntry) {
  f.driver.SetBusList({Bus("b-local", "10.0.0.2", 1), Bus("a-other", "10.0.5.2", 2),
                       Bus("z-remote", "10.9.0.2", 3), Bus("A-local", "10.0.0.3", 1)});
  f.list->RefreshServerList();
  EXPECT_EQ(f.view.TopTexts(),
            (std::vector<std::string>{"z-remote - 10.9.0.2 [Offline]", "A-local - 10.0.0.3",
                                      "b-local - 10.0.0.2", "a-other - 10.0.5.2"}));
  EXPECT_EQ(f.view.nodes.at(f.Server("10.9.0.2")->id).image, 9);
}

TEST_F(TwoServers, BusStateAfterThreeFailedBuildsAndAClickStillTries) {
  f.driver.servers["10.0.0.2"].buildable = false;
  f.list->RefreshServerList();
  f.info.Deliver();  // the automatic step: three builds of four opens each
  EXPECT_EQ(f.driver.master->CallsOf(bus::kIoctlBuildTcpBus).size(), 3u + 1u)
      << "three for uds1, one for uds2";
  EXPECT_EQ(f.driver.opens["10.0.0.2"], 12);
  EXPECT_EQ(f.Server("10.0.0.2")->data->BusState, kBusGaveUp);
  EXPECT_FALSE(f.flags.bus_building) << "cleared after each wait";

  f.list->RefreshServerList();  // no more automatic tries
  EXPECT_EQ(f.driver.opens["10.0.0.2"], 12);

  // A click on the server still tries once.
  f.driver.servers["10.0.0.2"].buildable = true;
  f.tree.Select(f.Server("10.0.0.2")->id);
  f.presenter->Action_UDSClickExecute();
  EXPECT_EQ(f.driver.opens["10.0.0.2"], 13);
  EXPECT_TRUE(f.Server("10.0.0.2")->data->HasTcpBus());
  EXPECT_EQ(f.view.DeviceTexts("uds1").size(), 3u);
  EXPECT_EQ(f.Server("10.0.0.2")->data->BusState, kBusGaveUp) << "never returns to 1";
}

TEST_F(TwoServers, BusListSuppressedWhileBuildingAndBuildingFlagWhileWaiting) {
  f.driver.servers["10.0.0.2"].open_failures = 1;
  std::vector<bool> suppressed;
  f.driver.on_open = [&](const std::string&) { suppressed.push_back(f.flags.bus_list_suppressed); };
  bool building_seen = false;
  f.main_thread.on_pump = [&] { building_seen = building_seen || f.flags.bus_building; };
  f.list->RefreshServerList();
  f.info.Deliver();
  ASSERT_EQ(suppressed.size(), 3u);
  EXPECT_TRUE(suppressed[0] && suppressed[1] && suppressed[2]);
  EXPECT_TRUE(building_seen);
  EXPECT_FALSE(f.flags.bus_list_suppressed);
  EXPECT_TRUE(f.Server("10.0.0.2")->data->HasTcpBus());
}

TEST_F(TwoServers, TwoAdjacentDeviceNodesRemovedInOneRefresh) {
  f.list->RefreshServerList();
  f.info.Deliver();
  const NodeId first = f.DeviceNodeOf("10.0.0.2", "1");
  f.driver.SetDevices("10.0.0.2", Devices({Device(3, "MASS STORAGE", "Stor", "Stick 2")}));
  f.list->getDevList(f.Server("10.0.0.2")->id);
  EXPECT_EQ(f.view.DeviceTexts("uds1"), (std::vector<std::string>{"MASS STORAGE - Stor - Stick 2"}));
  EXPECT_EQ(f.DeviceNodeOf("10.0.0.2", "1"), kNoNode);
  EXPECT_EQ(f.view.nodes.count(first), 0u);

  // Merge by number: the kept node keeps its id and takes the new fields.
  const NodeId kept = f.DeviceNodeOf("10.0.0.2", "3");
  f.driver.SetDevices("10.0.0.2",
                      Devices({Device(4, "HID", "Keys", "Board"), Device(3, "MASS STORAGE", "S", "T")}));
  f.list->getDevList(f.Server("10.0.0.2")->id);
  EXPECT_EQ(f.DeviceNodeOf("10.0.0.2", "3"), kept);
  EXPECT_EQ(f.view.DeviceTexts("uds1"),
            (std::vector<std::string>{"MASS STORAGE - S - T", "HID - Keys - Board"}));
  EXPECT_EQ(f.view.nodes.at(f.DeviceNodeOf("10.0.0.2", "4")).image, 5);
}

TEST_F(TwoServers, FailedDeviceListEmptiesTheDeviceLevel) {
  f.list->RefreshServerList();
  f.info.Deliver();
  f.driver.servers["10.0.0.2"].list_fails = true;
  f.driver.SetDevices("10.0.0.2", Devices({}));
  TraceCapture trace;
  f.list->getDevList(f.Server("10.0.0.2")->id);
  EXPECT_TRUE(f.view.DeviceTexts("uds1").empty());
  EXPECT_TRUE(trace.Contains("Get Device List Fail ! uds1 - 10.0.0.2"));
}

TEST_F(TwoServers, DeviceFieldsOwnerLabelsAndIdentity) {
  ModelFixture jp(true);
  jp.driver.SetBusList({Bus("uds1", "10.0.0.2", 1)});
  jp.driver.SetDevices("10.0.0.2",
                       Devices({Device(7, "MFP", "", "All in one", "PC-7", 2, 0x04B8, 0x0E03, "X1"),
                                Device(8, "PRINTER", "Acme", "P", "PC-8", 1)}));
  jp.info.replies["10.0.0.2"] = Info("00:80:92:00:00:02");
  jp.list->RefreshServerList();
  jp.info.Deliver();
  EXPECT_EQ(jp.view.DeviceTexts("uds1"),
            (std::vector<std::string>{"MFP -   - All in one [ 手動接続： PC-7 ]",
                                      "PRINTER - Acme - P [ 自動接続： PC-8 ]"}));
  const DeviceData& d = *jp.Server("10.0.0.2")->devices.at(0).data;
  EXPECT_EQ(d.Identity, "04B8 - 0E03 - X1");
  EXPECT_EQ(d.Manufacturer, " ");
  EXPECT_EQ(d.AutoPrintIndex, -1);
  EXPECT_EQ(d.AutoFaxIndex, -1);
  EXPECT_EQ(d.LockType, 2);
  EXPECT_TRUE(jp.list->Tree().AnyDeviceHeldBy("PC-7"));
  EXPECT_FALSE(jp.list->Tree().AnyDeviceHeldBy("PC-9"));
}

TEST_F(TwoServers, RemoteServerGoesOnlineWhenItsBusIsBuilt) {
  f.driver.SetBusList({Bus("far", "10.9.0.2", 3)});
  f.info.replies["10.9.0.2"] = Info("00:80:92:00:09:02");
  f.list->RefreshServerList();
  EXPECT_EQ(f.view.TopTexts(), (std::vector<std::string>{"far - 10.9.0.2 [Offline]"}));
  f.info.Deliver();
  EXPECT_EQ(f.view.TopTexts(), (std::vector<std::string>{"far - 10.9.0.2 [Online]"}));
  EXPECT_EQ(f.Server("10.9.0.2")->data->Online, 1);
  EXPECT_GE(f.view.repaints, 1);
}

TEST_F(TwoServers, OtherSubnetServerTakesTheDoubleClickSuffixWhenItsReplyNamesTheModel) {
  ModelFixture jp(true);
  jp.driver.SetBusList({Bus("moved", "10.0.5.2", 2)});
  jp.info.replies["10.0.5.2"] = Info("00:80:92:00:05:02", 1, "MD-WLAN01N");
  jp.list->RefreshServerList();
  EXPECT_EQ(jp.view.TopTexts(),
            (std::vector<std::string>{
                "moved - 10.0.5.2 [お使いのパソコンとは異なるサブネットのIPアドレスです。]"}));
  jp.info.Deliver();
  EXPECT_EQ(jp.view.TopTexts(),
            (std::vector<std::string>{
                "moved - 10.0.5.2 [サーバをダブルクリックして、IPアドレスを変更してください。]"}));
  jp.list->RefreshServerList();
  EXPECT_EQ(jp.view.TopTexts(),
            (std::vector<std::string>{
                "moved - 10.0.5.2 [サーバをダブルクリックして、IPアドレスを変更してください。]"}));
}

TEST_F(TwoServers, OtherSubnetServerIsNeverBuilt) {
  f.driver.SetBusList({Bus("moved", "10.0.5.2", 2)});
  f.info.replies["10.0.5.2"] = Info("00:80:92:00:05:02");
  f.list->RefreshServerList();
  f.info.Deliver();
  f.list->RefreshServerList();
  EXPECT_EQ(f.driver.opens["10.0.5.2"], 0);
}

// ---- the wait for an unknown MAC address -------------------------------------------

TEST_F(TwoServers, KnownMacCostsNoWait) {
  f.list->RefreshServerList();
  f.info.Deliver();
  const int sleeps = f.clock.Sleeps();
  const auto before = f.clock.Now();
  f.list->getDevList(f.Server("10.0.0.2")->id);
  EXPECT_EQ(f.clock.Sleeps(), sleeps);
  EXPECT_EQ(f.clock.Now(), before);
}

TEST_F(TwoServers, UnknownMacWaitsInShortPumpedStepsAndEndsWhenTheReplyArrives) {
  f.list->RefreshServerList();
  ServerNode* s = f.Server("10.0.0.2");
  // Give the server a bus by hand while its query is still out.
  s->data->SoftwareBus = 1;
  ASSERT_TRUE(f.list->BuildTcpBus(s->id));
  f.info.replies.erase("10.0.0.3");
  int pumps_until_reply = 5;
  std::string mac_seen_by_lookup;
  f.main_thread.on_pump = [&] {
    if (--pumps_until_reply == 0) f.info.Deliver();
  };
  const auto before = f.clock.Now();
  f.list->getDevList(s->id);
  const auto waited = f.clock.Now() - before;
  EXPECT_LE(waited, std::chrono::milliseconds(500));
  EXPECT_GT(waited, std::chrono::milliseconds(0));
  EXPECT_EQ(f.view.DeviceTexts("uds1").size(), 3u);
  EXPECT_EQ(f.Server("10.0.0.2")->data->MacAddress, "00:80:92:00:00:02");
}

TEST_F(TwoServers, UnknownMacWaitsAtMostThreeSecondsPerDeviceAndNotWithoutAQuery) {
  f.info.replies.clear();
  f.list->RefreshServerList();
  ServerNode* s = f.Server("10.0.0.2");
  s->data->SoftwareBus = 1;
  ASSERT_TRUE(f.list->BuildTcpBus(s->id));
  auto before = f.clock.Now();
  f.list->getDevList(s->id);
  EXPECT_EQ(f.clock.Now() - before, std::chrono::milliseconds(3 * 3000));
  EXPECT_GE(f.main_thread.pumps, 3 * 30) << "the message loop runs between short steps";
  EXPECT_EQ(f.view.DeviceTexts("uds1").size(), 3u);

  // Once the query has ended without an answer nothing can bring the MAC.
  f.info.FailAll();
  before = f.clock.Now();
  f.list->getDevList(s->id);
  EXPECT_EQ(f.clock.Now(), before);
}

// ---- the server-table lock ------------------------------------------------------------

TEST_F(TwoServers, BusyLockIsWaitedForThirtyOneTriesThenTheRefreshGoesOn) {
  std::thread holder([&] { f.lock.lock(); });
  holder.join();
  TraceCapture trace;
  f.list->RefreshServerList();
  EXPECT_EQ(f.view.TopTexts().size(), 2u);
  int fails = 0;
  for (auto& l : trace.Lines()) fails += l == "RefreshServerList(*__*) : WaitForSingleObject Fail !!!";
  EXPECT_EQ(fails, 30);
  EXPECT_FALSE(f.lock.try_lock()) << "still held by the other owner, not released by the refresh";
  std::thread releaser([&] { f.lock.unlock(); });
  releaser.join();
}

TEST_F(TwoServers, ExceptionInsideARefreshReleasesTheLock) {
  f.view.throw_on_add = true;
  TraceCapture trace;
  EXPECT_NO_THROW(f.list->RefreshServerList());
  EXPECT_TRUE(trace.Contains("RefreshServerList() : exception"));
  std::thread other([&] {
    EXPECT_TRUE(f.lock.try_lock());
    f.lock.unlock();
  });
  other.join();
  EXPECT_FALSE(f.list->Busy());
}

TEST_F(TwoServers, DeleteAllTcpBusClosesEveryBus) {
  f.list->RefreshServerList();
  f.info.Deliver();
  ASSERT_EQ(f.driver.handles.size(), 2u);
  TraceCapture trace;
  f.list->DeleteAllTcpBus();
  for (auto& h : f.driver.handles) EXPECT_FALSE(h->Close()) << "already closed";
  EXPECT_FALSE(f.Server("10.0.0.2")->data->HasTcpBus());
  EXPECT_TRUE(trace.Contains("=======> DeleteAllTcpBus() : CloseHandle : tcpBusHandle = 1234ABCD(10.0.0.2)"));
  EXPECT_FALSE(f.list->Tree().AnyDeviceHeldBy(""));
}

}  // namespace
}  // namespace vx::model
