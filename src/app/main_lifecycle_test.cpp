#include <gtest/gtest.h>

#include "app/main_network_status.h"
#include "app/main_test_fixture.h"
#include "app/main_texts.h"
#include "platform/trace.h"

namespace vx::app::testing {
namespace {

using namespace std::chrono_literals;
using Lifecycle = PresenterTest;
using Calls = std::vector<std::string>;

// The texts as the user reads them (not taken from the tables under test).
const std::string kInstallFailedText =
    "「Vessix」のインストールに失敗しました。もう一度インストールしてください。";
const std::string kNoNetworkText =
    "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。";
const std::string kHeldDevicesQuestion =
    "接続中のデバイスがあります。終了すると切断されますが、よろしいですか？";

TEST_F(Lifecycle, FormCreateRunsEveryStartStepInOrder) {
  services_.language_pack = true;
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_EQ(services_.calls,
            (Calls{"cd C:\\Program Files\\VUV", "ReadZARiraverIni", "LoadLanguagePack 1041",
                   "ReinitializeForms", "CreateLocks", "ReadAutoConnectEntries", "OpenMasterBus",
                   "DriverVersion", "AddFirewallApplication C:\\Program Files\\VUV\\Vessix.exe | Vessix",
                   "AddFirewallPort 7419 | Vessix UDP Port",
                   // the port self-test on a socket set of its own, then the
                   // working sockets and what uses them
                   "PortSelfTest", "OpenWorkingSockets", "StartDiscovery", "StartEventReader"}));
  EXPECT_EQ(clock_.sleeps, std::vector<Clock::Duration>{100ms});
  EXPECT_EQ(view_.interval[MainTimer::Timer_Click], 510);
  EXPECT_FALSE(view_.timer[MainTimer::Timer_MiniWindow]);
  EXPECT_EQ(presenter_->tray_icon(), (TrayIcon{AppIcon::kMain, "Vessix"}));
}

TEST_F(Lifecycle, WithoutWorkingSocketsTheProgramRunsOn) {
  services_.sockets_open = false;  // no adapter, or the network is not ready
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_EQ(Calls(services_.calls.end() - 3, services_.calls.end()),
            (Calls{"OpenWorkingSockets", "StartDiscovery", "StartEventReader"}));
}

TEST_F(Lifecycle, WithoutADriverTheInstallationMessageEndsTheProgram) {
  services_.master_bus = false;
  EXPECT_EQ(Create(), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, kInstallFailedText);
  EXPECT_EQ(messages_.shown[0].caption, "Vessix");
  EXPECT_EQ(messages_.shown[0].buttons, MsgButtons::kOk);
  // Nothing after the driver check starts, and closing has nothing to stop.
  EXPECT_EQ(Calls(services_.calls.end() - 2, services_.calls.end()),
            (Calls{"OpenMasterBus", "GetWindowsVersion"}));
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
    EXPECT_EQ(messages_.shown[0].text, "Warning !!!\n\nCurrent Driver Version is : " + short_text +
                                           "\n\nPlease change Driver Version to 1.35");
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
  EXPECT_EQ(presenter_->tray_icon(), (TrayIcon{AppIcon::kNoNetwork, "Vessix - \n" + kNoNetworkText}));
}

TEST_F(Lifecycle, MiniStartsOffScreenHidesToTheTrayAndReturnsToTheSavedTop) {
  ASSERT_EQ(Create("Japanese", {"-mini"}), std::nullopt);
  EXPECT_TRUE(view_.timer[MainTimer::Timer_MiniWindow]);
  EXPECT_EQ(view_.interval[MainTimer::Timer_MiniWindow], 500);
  EXPECT_EQ(view_.top, 3000);
  presenter_->FormShow();
  EXPECT_EQ(view_.top, 3000);
  view_.log.clear();
  presenter_->OnTimerMiniWindow();
  EXPECT_FALSE(view_.timer[MainTimer::Timer_MiniWindow]);
  EXPECT_EQ(view_.top, 3001);
  EXPECT_FALSE(view_.visible);
  // Only the tray icon remains: with the application window still visible a
  // second start would bring that to the top and leave the main window hidden.
  EXPECT_EQ(view_.log, (Calls{"tray add Vessix", "hide app", "hide"}));
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
                   "FreeAutoConnectEntries", "CloseLocks", "DeleteAllTcpBus", "ClearServerTree",
                   "CloseMasterBus"}));
  EXPECT_EQ(view_.log, (Calls{"wait Vessixの終了", "clear selection", "wait repaint", "wait repaint",
                              "wait repaint", "wait repaint", "tray delete", "wait close"}));
  EXPECT_FALSE(view_.timer[MainTimer::Timer_DelPrintDialog]);
  EXPECT_TRUE(presenter_->closing());
  EXPECT_EQ(trace.Lines(), Calls{"bWMQUERYEND(Shutdown OS) : 0"});
  // Top 3001 (hidden by "-mini"), a negative left and the minimised state are not saved.
  EXPECT_EQ(WrittenNames(),
            (Calls{"MainForm Width", "MainForm Height", "UDSTreeView Height", "ToolBar Order"}));
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

TEST_F(Lifecycle, CloseRequestsWhileTheSequencePumpsAreRefusedWhicheverRouteStartedIt) {
  // A WM_CLOSE pumped while the sequence waits for a thread reaches
  // FormCloseQuery again: it must not let the window be destroyed.
  for (bool by_shutdown : {false, true}) {
    ASSERT_EQ(Create(), std::nullopt);
    services_.calls.clear();
    std::vector<bool> nested;
    services_.on_call = [&](const std::string& name) {
      if (name == "StopEventReader" || name == "StopPrinterWatchers")
        nested.push_back(presenter_->FormCloseQuery());
      if (name == "StopFaxWatchers") nested.push_back(!presenter_->OnQueryEndSession());
    };
    EXPECT_TRUE(by_shutdown ? presenter_->OnQueryEndSession() : presenter_->FormCloseQuery());
    services_.on_call = nullptr;
    EXPECT_EQ(nested, (std::vector<bool>{false, false, false})) << by_shutdown;
    EXPECT_EQ(services_.calls.back(), "CloseMasterBus") << "the sequence ran to its end";
    EXPECT_TRUE(presenter_->FormCloseQuery()) << "after the sequence the window may close";
  }
}

TEST_F(Lifecycle, TrayIconKeepsTheNetworkStateWhenHiddenToTheTray) {
  ASSERT_EQ(Create(), std::nullopt);
  presenter_->FormShow();  // sockets open: the normal icon and tip
  MainNetworkStatus status_view(view_);
  status_view.BindPresenter(presenter_.get());
  discovery::NetworkStatusPresenter status(
      status_view, [] { return true; }, [] { return std::string("Vessix"); });
  status.NoNetworkStep();
  const TrayIcon no_network{AppIcon::kNoNetwork, "Vessix - \n" + kNoNetworkText};
  EXPECT_EQ(view_.tray, no_network);
  EXPECT_EQ(view_.app_icon, AppIcon::kNoNetwork);

  // Hiding re-adds the icon in force, not the one of the last show.
  presenter_->OnSysCommand(kScClose, 0);
  EXPECT_EQ(view_.tray, no_network);
  presenter_->OnAppMessage(kTrayDoubleClick);
  presenter_->OnSysCommand(0, 0);
  EXPECT_EQ(view_.tray, no_network);

  status.NetworkOkStep();
  presenter_->OnTimerMiniWindow();
  EXPECT_EQ(view_.tray, (TrayIcon{AppIcon::kMain, "Vessix"}));
  EXPECT_EQ(presenter_->tray_icon(), view_.tray);
}

}  // namespace
}  // namespace vx::app::testing
