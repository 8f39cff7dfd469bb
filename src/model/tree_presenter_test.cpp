#include "model/tree_presenter.h"

#include <gtest/gtest.h>

#include "model/testing/model_fixture.h"
#include "platform/trace.h"

namespace vx::model {
namespace {

using testing::Bus;
using testing::Device;
using testing::Info;
using testing::ModelFixture;

struct TreeInput : ::testing::Test {
  ModelFixture f{true};
  void SetUp() override {
    f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1), Bus("moved", "10.0.5.2", 2)});
    bus::DeviceList l;
    l.devices = {Device(1, "PRINTER", "Acme", "Laser 9"), Device(2, "SCANNER", "Acme", "Scan 1")};
    f.driver.SetDevices("10.0.0.2", l);
    f.info.replies["10.0.0.2"] = Info("00:80:92:00:00:02");
    f.info.replies["10.0.5.2"] = Info("00:80:92:00:05:02", 1, "MD-LAN01");
    f.list->RefreshServerList();
    f.info.Deliver();
    f.list->Flags() = TreeFlags{};
  }
  NodeId uds1() { return f.Server("10.0.0.2")->id; }
};

TEST_F(TreeInput, ClickStartsTheClickTimerAndItsTickRunsTheSelectionRefresh) {
  f.presenter->OnLeftButtonDown(f.DeviceNodeOf("10.0.0.2", "2"));
  EXPECT_EQ(f.host.focus, 1);
  EXPECT_EQ(f.tree.Selected(), f.DeviceNodeOf("10.0.0.2", "2"));
  f.presenter->OnClick();
  EXPECT_TRUE(f.host.timer_running);
  EXPECT_EQ(f.host.timer_interval, 510);
  EXPECT_TRUE(f.commands.log.empty());
  f.presenter->Timer_ClickTimer();
  EXPECT_FALSE(f.host.timer_running);
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"disable", "device 10.0.0.2/2"}));
}

TEST_F(TreeInput, LeftButtonOnNothingClearsTheSelection) {
  f.tree.Select(uds1());
  f.presenter->OnLeftButtonDown(kNoNode);
  EXPECT_EQ(f.tree.Selected(), kNoNode);
  EXPECT_EQ(f.view.selected, kNoNode);
  f.presenter->Action_UDSClickExecute();
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"disable"})) << "nothing selected: everything disabled";
}

TEST_F(TreeInput, ClickAfterAUserExpansionOrCollapseDoesNothing) {
  f.presenter->OnExpanding(uds1());
  EXPECT_TRUE(f.list->Flags().user_expand);
  f.presenter->OnClick();
  EXPECT_FALSE(f.host.timer_running);
  EXPECT_FALSE(f.list->Flags().user_expand);
  EXPECT_TRUE(f.presenter->OnCollapsing(uds1()));
  f.presenter->OnClick();
  EXPECT_FALSE(f.host.timer_running);
  f.presenter->OnClick();
  EXPECT_TRUE(f.host.timer_running);
}

TEST_F(TreeInput, ProgrammaticExpansionIsNotTakenForTheUsers) {
  f.list->Flags().programmatic_expand = true;
  f.presenter->OnExpanding(uds1());
  EXPECT_FALSE(f.list->Flags().programmatic_expand);
  EXPECT_FALSE(f.list->Flags().user_expand);
}

TEST_F(TreeInput, CollapseRefusedWhileTheClickTimerRunsOnTheSelectedNode) {
  f.tree.Select(uds1());
  f.presenter->OnClick();
  EXPECT_FALSE(f.presenter->OnCollapsing(uds1()));
  EXPECT_FALSE(f.list->Flags().user_collapse);
  EXPECT_TRUE(f.presenter->OnCollapsing(f.Server("10.0.5.2")->id)) << "another node collapses";
}

TEST_F(TreeInput, DoubleClickRunsConfigureUnlessAFlagIsSet) {
  f.tree.Select(uds1());
  f.presenter->OnClick();
  f.presenter->OnDoubleClick();
  EXPECT_FALSE(f.host.timer_running);
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"configure"}));

  f.commands.log.clear();
  f.list->Flags().user_expand = true;
  f.presenter->OnDoubleClick();
  EXPECT_TRUE(f.commands.log.empty());
  EXPECT_FALSE(f.list->Flags().user_expand);
}

TEST_F(TreeInput, RightButtonSelectsRefreshesAndNamesTheMenu) {
  EXPECT_EQ(f.presenter->OnRightButtonDown(uds1()), TreePopup::kForServer);
  EXPECT_EQ(f.tree.Selected(), uds1());
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"disable", "server 10.0.0.2"}));
  EXPECT_EQ(f.presenter->OnRightButtonDown(f.DeviceNodeOf("10.0.0.2", "1")), TreePopup::kForDevice);
  EXPECT_EQ(f.presenter->OnRightButtonDown(kNoNode), TreePopup::kNone);
}

TEST_F(TreeInput, ServerBranchSuppressesDeviceEventsAndSkipsUnusableServers) {
  bool suppressed_during_list = false;
  f.driver.on_open = [&](const std::string&) {};
  f.main_thread.on_pump = [&] { suppressed_during_list = f.flags.device_list_suppressed; };
  // Drop the bus so the click builds it (and pumps while it waits on a failure).
  f.Server("10.0.0.2")->data->TcpBusHandle.reset();
  f.driver.servers["10.0.0.2"].open_failures = 1;
  f.tree.Select(uds1());
  f.presenter->Action_UDSClickExecute();
  EXPECT_TRUE(suppressed_during_list);
  EXPECT_FALSE(f.flags.device_list_suppressed);
  EXPECT_TRUE(f.Server("10.0.0.2")->data->HasTcpBus());

  TraceCapture trace;
  f.commands.log.clear();
  f.tree.Select(f.Server("10.0.5.2")->id);
  f.presenter->Action_UDSClickExecute();
  EXPECT_TRUE(trace.Contains("??? Action_UDSClickExecute() : Node->Level == 0 > moved - 10.0.5.2"));
  EXPECT_TRUE(trace.Contains("Location : 2 InfoSoftwareBus: 1"));
  EXPECT_EQ(f.driver.opens["10.0.5.2"], 0);
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"disable", "server 10.0.5.2"}));
}

TEST_F(TreeInput, FailedBuildOnAClickEndsTheRefreshWithCommandsDisabled) {
  f.Server("10.0.0.2")->data->TcpBusHandle.reset();
  f.driver.servers["10.0.0.2"].buildable = false;
  f.tree.Select(uds1());
  f.presenter->Action_UDSClickExecute();
  EXPECT_EQ(f.commands.log, (std::vector<std::string>{"disable"}));
  EXPECT_FALSE(f.flags.device_list_suppressed);
}

TEST_F(TreeInput, HintsOnlyOverALabelAndTextsOnlyInJapanese) {
  EXPECT_FALSE(f.presenter->HintAt(uds1(), false).show);
  EXPECT_FALSE(f.presenter->HintAt(kNoNode, true).show);
  TreeHint h = f.presenter->HintAt(uds1(), true);
  EXPECT_TRUE(h.show);
  EXPECT_EQ(h.show_after_ms, 500);
  EXPECT_EQ(h.hide_after_ms, 3000);
  EXPECT_NE(h.text.find("MACアドレス：00:80:92:00:00:02"), std::string::npos);
  EXPECT_EQ(
      f.presenter->HintAt(f.DeviceNodeOf("10.0.0.2", "2"), true).text.rfind(" USBデバイスの種類：SCANNER", 0),
      0u);
  f.list->SetJapanese(false);
  EXPECT_TRUE(f.presenter->HintAt(uds1(), true).show);
  EXPECT_EQ(f.presenter->HintAt(uds1(), true).text, "");
}

TEST_F(TreeInput, DrawingPerNode) {
  EXPECT_EQ(f.presenter->DrawingOf(uds1(), false).text_colour, kNavy);
  EXPECT_EQ(f.presenter->DrawingOf(f.Server("10.0.5.2")->id, true).text_colour, kRed);
  EXPECT_EQ(f.presenter->DrawingOf(f.Server("10.0.5.2")->id, true).back, kSelectedBack);
  EXPECT_EQ(f.presenter->DrawingOf(f.DeviceNodeOf("10.0.0.2", "1"), false).text_colour, kMaroon);
  EXPECT_EQ(f.presenter->DrawingOf(kNoNode, false).labels.size(), 0u);
}

TEST_F(TreeInput, ClickTickDuringARefreshRunsAfterIt) {
  f.tree.Select(uds1());
  f.Server("10.0.0.2")->data->MacAddress.clear();
  *f.Server("10.0.0.2")->data->InfoPending = true;
  int pumps = 0;
  f.main_thread.on_pump = [&] {
    if (++pumps == 1) f.presenter->Timer_ClickTimer();  // the tick arrives inside the MAC wait
  };
  f.list->getDevList(uds1());
  EXPECT_EQ(f.commands.log.front(), "disable");
  EXPECT_EQ(f.commands.log.back(), "server 10.0.0.2");
  *f.Server("10.0.0.2")->data->InfoPending = false;
}

TEST_F(TreeInput, KeyboardSelectionIsNotedAndRefreshedThroughTheClickTimer) {
  f.presenter->OnKeyboardSelection(f.DeviceNodeOf("10.0.0.2", "1"));
  EXPECT_EQ(f.tree.Selected(), f.DeviceNodeOf("10.0.0.2", "1"));
  EXPECT_TRUE(f.host.timer_running);
}

}  // namespace
}  // namespace vx::model
