#include <gtest/gtest.h>

#include "app/main_test_fixture.h"
#include "app/main_texts.h"
#include "platform/trace.h"

namespace vx::app::testing {
namespace {

using namespace std::chrono_literals;
using Lifecycle = PresenterTest;
using Calls = std::vector<std::string>;

TEST_F(Lifecycle, FormCreateRunsEveryStartStepInOrder) {
  services_.language_pack = true;
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_EQ(services_.calls,
            (Calls{"cd C:\\Program Files\\VUV", "ReadZARiraverIni", "LoadLanguagePack 1041", "ReinitializeForms",
                   "CreateLocks", "ReadAutoConnectEntries", "OpenMasterBus", "DriverVersion",
                   "AddFirewallApplication C:\\Program Files\\VUV\\Vessix.exe | Vessix",
                   "AddFirewallPort 7419 | Vessix UDP Port",
                   // port self-test on a socket set of its own
                   "EnumerateAdapters", "OpenDiscoverySockets", "CheckUDPSocket", "CheckTCPSocket",
                   "CloseDiscoverySockets",
                   // the working sockets, then what uses them
                   "GetWindowsVersion", "EnumerateAdapters", "OpenDiscoverySockets", "StartDiscovery",
                   "StartEventReader"}));
  EXPECT_EQ(clock_.sleeps, std::vector<Clock::Duration>{100ms});
  EXPECT_EQ(view_.interval[MainTimer::Timer_Click], 510);
  EXPECT_FALSE(view_.timer[MainTimer::Timer_MiniWindow]);
  EXPECT_EQ(presenter_->tray_icon(), (TrayIcon{AppIcon::kMain, "Vessix"}));
}

TEST_F(Lifecycle, PortInUseMovesTheWorkingSocketsToEphemeralPorts) {
  services_.open_results = {false, false, true};
  services_.port_used = true;
  ASSERT_EQ(Create(), std::nullopt);
  auto first = std::find(services_.calls.begin(), services_.calls.end(), "EnumerateAdapters");
  EXPECT_EQ(Calls(first, services_.calls.end()),
            (Calls{"EnumerateAdapters", "OpenDiscoverySockets", "CheckUDPPort", "CloseDiscoverySockets",
                   "GetWindowsVersion", "EnumerateAdapters", "OpenDiscoverySockets", "CheckUDPPort",
                   "EnumerateAdapters", "OpenDiscoverySockets ephemeral", "StartDiscovery", "StartEventReader"}));

  services_.calls.clear();
  services_.open_results = {true, false};
  services_.port_used = false;  // the network is not ready: go on without sockets
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_EQ(std::count(services_.calls.begin(), services_.calls.end(), "OpenDiscoverySockets ephemeral"), 0);
  EXPECT_EQ(services_.calls.back(), "StartEventReader");
}

TEST_F(Lifecycle, WithoutADriverTheInstallationMessageEndsTheProgram) {
  services_.master_bus = false;
  EXPECT_EQ(Create(), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, kInstallFailedText);
  EXPECT_EQ(messages_.shown[0].caption, "Vessix");
  EXPECT_EQ(messages_.shown[0].buttons, MsgButtons::kOk);
  // Nothing after the driver check starts, and closing has nothing to stop.
  EXPECT_EQ(Calls(services_.calls.end() - 2, services_.calls.end()), (Calls{"OpenMasterBus", "GetWindowsVersion"}));
  EXPECT_TRUE(presenter_->FormCloseQuery());
  EXPECT_EQ(services_.calls.back(), "GetWindowsVersion");
  EXPECT_TRUE(view_.log.empty());

  messages_.shown.clear();
  EXPECT_EQ(Create("English"), 0);  // the message exists only in Japanese
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Lifecycle, PendingRebootIsOfferedBeforeTheInstallationMessage) {
  services_.master_bus = false;
  services_.windows_flags = 0x08;
  EXPECT_EQ(Create(), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Please reboot your computer.\n\n");
  EXPECT_EQ(messages_.shown[0].buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(services_.calls.back(), "RunRebootCommand");

  services_.calls.clear();
  messages_.shown.clear();
  messages_.answers = {MsgResult::kCancel};
  EXPECT_EQ(Create(), 0);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].text, kInstallFailedText);
  EXPECT_EQ(std::count(services_.calls.begin(), services_.calls.end(), "RunRebootCommand"), 0);
}

TEST_F(Lifecycle, OldDriversEndTheProgramByTextComparison) {
  for (auto [full, short_text, runs] : std::vector<std::tuple<std::string, std::string, bool>>{
           {"1.0.35", "1.35", true}, {"1.0.34", "1.34", false}, {"1.0.4", "1.4", true}, {"", "", false}}) {
    messages_.shown.clear();
    services_.version = {full, short_text};
    EXPECT_EQ(Create() == std::nullopt, runs) << full;
    if (runs) continue;
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text,
              "Warning !!!\n\nCurrent Driver Version is : " + short_text + "\n\nPlease change Driver Version to 1.35");
    EXPECT_EQ(services_.calls.back(), "DriverVersion");
  }
}

TEST_F(Lifecycle, FirstShowStartsTheRefreshTimerAndShowsTheNetworkState) {
  ASSERT_EQ(Create(), std::nullopt);
  presenter_->FormShow();
  EXPECT_TRUE(view_.timer[MainTimer::Timer_MBusUpdate]);
  EXPECT_FALSE(view_.control_enabled[MainControl::UDSTreeView]);
  EXPECT_FALSE(view_.IsControlVisible(MainControl::MsgMemo));
  EXPECT_EQ(view_.log.back(), "tray modify Vessix");
  EXPECT_EQ(view_.button_width[ToolButton::SBtn_Request], 90);

  view_.timer[MainTimer::Timer_MBusUpdate] = false;  // the refresh ran
  services_.sockets_open = false;
  presenter_->FormShow();
  EXPECT_FALSE(view_.timer[MainTimer::Timer_MBusUpdate]);  // once per process
  EXPECT_TRUE(view_.IsControlVisible(MainControl::MsgMemo));
  EXPECT_FALSE(view_.control_enabled[MainControl::MainPanel]);
  EXPECT_EQ(view_.memo, kNoNetworkText);
  EXPECT_EQ(view_.app_icon, AppIcon::kNoNetwork);
  EXPECT_EQ(presenter_->tray_icon(), (TrayIcon{AppIcon::kNoNetwork, "Vessix - \n" + std::string(kNoNetworkText)}));
}

TEST_F(Lifecycle, MiniStartsOffScreenHidesToTheTrayAndReturnsToTheSavedTop) {
  ASSERT_EQ(Create("Japanese", {"-mini"}), std::nullopt);
  EXPECT_TRUE(view_.timer[MainTimer::Timer_MiniWindow]);
  EXPECT_EQ(view_.interval[MainTimer::Timer_MiniWindow], 500);
  EXPECT_EQ(view_.top, 3000);
  presenter_->FormShow();
  EXPECT_EQ(view_.top, 3000);
  presenter_->OnTimerMiniWindow();
  EXPECT_FALSE(view_.timer[MainTimer::Timer_MiniWindow]);
  EXPECT_EQ(view_.top, 3001);
  EXPECT_FALSE(view_.visible);
  view_.log.clear();
  presenter_->OnAppMessage(119);  // a second instance asks
  EXPECT_EQ(view_.log, (Calls{"tray delete", "show app", "show"}));
  presenter_->FormShow();
  EXPECT_EQ(view_.top, 312);
}

TEST_F(Lifecycle, CloseBoxAndTrayMessagesNeverCloseTheProgram) {
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_TRUE(presenter_->OnSysCommand(0xF060, 0));
  EXPECT_TRUE(presenter_->OnSysCommand(0xF063, 7));  // low bits are the system's
  EXPECT_TRUE(presenter_->OnSysCommand(0, 0));
  EXPECT_FALSE(presenter_->OnSysCommand(0xF020, 0));  // minimise: default processing
  EXPECT_FALSE(presenter_->OnSysCommand(0, 1));
  EXPECT_EQ(view_.log, (Calls{"tray add Vessix", "hide app", "hide", "tray add Vessix", "hide app", "hide",
                              "tray add Vessix", "hide"}));
  view_.log.clear();
  presenter_->OnAppMessage(517);
  presenter_->OnAppMessage(515);
  presenter_->OnAppMessage(512);  // mouse moves over the icon
  presenter_->OnTrayOpen();
  EXPECT_EQ(view_.log, (Calls{"foreground", "tray menu", "tray delete", "show app", "show", "tray delete",
                              "show app", "show"}));
  EXPECT_FALSE(presenter_->closing());
}

TEST_F(Lifecycle, SystemMenuExitAsksOnlyWhenThisPcHoldsADevice) {
  ASSERT_EQ(Create(), std::nullopt);
  presenter_->OnFileExit();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(view_.log.back(), "close");

  view_.log.clear();
  services_.held = true;
  messages_.answers = {MsgResult::kNo, MsgResult::kYes};
  presenter_->OnFileExit();
  EXPECT_TRUE(view_.log.empty());
  presenter_->OnFileExit();
  EXPECT_EQ(view_.log, Calls{"close"});
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].text, kHeldDevicesQuestion);
  EXPECT_EQ(messages_.shown[0].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::kExclamation);
  presenter_->OnTrayExit();
  EXPECT_EQ(messages_.shown.size(), 2u);  // the tray's Exit never asks
}

TEST_F(Lifecycle, CloseSequenceStopsInOrderOnceAndSavesThePlacement) {
  ASSERT_EQ(Create(), std::nullopt);
  services_.calls.clear();
  view_.log.clear();
  reg_.ClearWrites();
  view_.timer[MainTimer::Timer_DelPrintDialog] = true;
  view_.width = 900, view_.top = 3001, view_.left = -8, view_.state = WindowState::kMinimised;
  view_.bar_left = {{ToolBarId::ToolBar1, 200}, {ToolBarId::ToolBar2, 11}, {ToolBarId::ToolBar3, 500}};
  TraceCapture trace;
  EXPECT_TRUE(presenter_->FormCloseQuery());
  EXPECT_EQ(services_.calls,
            (Calls{"SetProcessClosing", "DisconnectAllHeldDevices", "CloseSocketsAndStopSocketLibrary",
                   "StopDiscoveryListener", "StopEventReader", "StopPrinterWatchers", "StopFaxWatchers",
                   "FreeAutoConnectEntries", "CloseLocks", "DeleteAllTcpBus", "ClearServerTree", "CloseMasterBus"}));
  EXPECT_EQ(view_.log, (Calls{"wait Vessixの終了", "clear selection", "wait repaint", "wait repaint", "wait repaint",
                              "wait repaint", "tray delete", "wait close"}));
  EXPECT_FALSE(view_.timer[MainTimer::Timer_DelPrintDialog]);
  EXPECT_TRUE(presenter_->closing());
  EXPECT_EQ(trace.Lines(), Calls{"bWMQUERYEND(Shutdown OS) : 0"});
  // Top 3001 (hidden by "-mini"), a negative left and the minimised state are not saved.
  EXPECT_EQ(WrittenNames(), (Calls{"MainForm Width", "MainForm Height", "UDSTreeView Height", "ToolBar Order"}));
  EXPECT_EQ(Value("MainForm Width"), "900");
  EXPECT_EQ(Value("ToolBar Order"), "213");

  services_.calls.clear();
  EXPECT_TRUE(presenter_->FormCloseQuery());  // runs once
  EXPECT_TRUE(services_.calls.empty());
}

TEST_F(Lifecycle, ShutdownOfWindowsClosesWithoutTheWaitWindowAndReportsAFailedClose) {
  ASSERT_EQ(Create(), std::nullopt);
  services_.close_bus_ok = false;
  view_.log.clear();
  TraceCapture trace;
  EXPECT_TRUE(presenter_->OnQueryEndSession());
  EXPECT_TRUE(presenter_->os_shutdown());
  EXPECT_EQ(Calls(view_.log.begin(), view_.log.begin() + 2), (Calls{"wait Vessixの終了", "wait hide"}));
  EXPECT_EQ(trace.Lines(), Calls{"bWMQUERYEND(Shutdown OS) : 1"});
  EXPECT_EQ(Value("FormClose failed!"), "CloseHandle masterBusHandle failed!");
  EXPECT_EQ(Value("MainForm Top"), "312");
  EXPECT_EQ(Value("MainForm WindowState"), "0");
  EXPECT_FALSE(presenter_->master_bus_open());
}

}  // namespace
}  // namespace vx::app::testing
