#include "app/main_presenter.h"

#include <utility>

#include "app/layout_rules.h"
#include "app/main_texts.h"
#include "busdriver/operations.h"
#include "platform/trace.h"

namespace vx::app {

using namespace std::chrono_literals;

// Windows version flag: the bus driver was installed and needs a reboot.
constexpr uint32_t kRebootPendingFlag = 0x08;

void SplitProgramPath(const std::string& path, std::string* folder, std::string* base_name) {
  size_t sep = path.find_last_of("\\/");
  *folder = sep == std::string::npos ? std::string() : path.substr(0, sep);
  std::string file = sep == std::string::npos ? path : path.substr(sep + 1);
  size_t dot = file.rfind('.');
  *base_name = dot == std::string::npos ? file : file.substr(0, dot);
}

MainPresenter::MainPresenter(Ports ports, LanguageState titles, std::vector<std::string> args)
    : view_(ports.view),
      messages_(ports.messages),
      services_(ports.services),
      settings_(ports.settings),
      clock_(ports.clock),
      titles_(std::move(titles)),
      args_(std::move(args)) {}

void MainPresenter::Construct() {
  SplitProgramPath(services_.ExecutablePath(), &exe_folder_, &exe_base_name_);
  if (!exe_folder_.empty()) services_.SetWorkingDirectory(exe_folder_);
  view_.SetTimerInterval(MainTimer::Timer_Click, view_.DoubleClickTimeMs() + 10);
  view_.SetMemoText("");
  view_.SetControlVisible(MainControl::MsgMemo, false);
}

std::optional<int> MainPresenter::FormCreate() {
  services_.ReadZARiraverIni();
  if (settings_.Read(kDisconnectTimingValue).empty()) settings_.Write(kDisconnectTimingValue, "10");
  if (services_.LoadLanguagePack(LocaleIdOf(titles_.language))) services_.ReinitializeForms();
  LayOut();
  install_directory_ = settings_.Read(RegRoot::kLocalMachine, kInstallDirectoryValue);
  services_.CreateLocks();
  services_.ReadAutoConnectEntries();

  master_bus_open_ = services_.OpenMasterBus();
  if (!master_bus_open_) return NoDriver();
  DriverVersionText version = services_.DriverVersion();
  bus::VersionCheck check = bus::CheckDriverVersion(version.full, version.short_text);
  if (!check.pass) {
    messages_.Show(check.warning, titles_.app_title, MsgButtons::kOk, MsgIcon::kNone);
    return 0;
  }

  services_.AddFirewallApplication(services_.ExecutablePath(), titles_.app_title);
  clock_.SleepFor(100ms);
  services_.AddFirewallPort(kDiscoveryPort, titles_.app_title + " UDP Port");

  PortSelfTest();

  for (const std::string& arg : args_) {
    if (arg != "-mini") continue;
    view_.SetTimerInterval(MainTimer::Timer_MiniWindow, 500);
    view_.SetTimerEnabled(MainTimer::Timer_MiniWindow, true);
    view_.SetTop(kMiniTop);
    view_.SetPositionDesigned();
  }

  tray_ = {AppIcon::kMain, view_.Caption()};

  OpenWorkingSockets();
  services_.StartDiscovery();
  if (master_bus_open_) services_.StartEventReader();
  created_ = true;
  return std::nullopt;
}

std::optional<int> MainPresenter::NoDriver() {
  uint32_t flags = services_.GetWindowsVersion();
  if (flags & kRebootPendingFlag) {
    MsgResult answer = messages_.Show(std::string(kRebootText), view_.Caption(), MsgButtons::kOkCancel,
                                      MsgIcon::kNone);
    if (answer != MsgResult::kCancel) {
      services_.RunRebootCommand();
      return 0;
    }
  }
  if (japanese())
    messages_.Show(std::string(kInstallFailedText), titles_.title_text, MsgButtons::kOk, MsgIcon::kNone);
  return 0;
}

void MainPresenter::PortSelfTest() {
  services_.EnumerateAdapters();
  if (services_.OpenDiscoverySockets(false)) {
    TraceLine(std::string("CheckUDPSocket() : ") + (services_.CheckUDPSocket() ? "OK" : "NG"));
    TraceLine(std::string("CheckTCPSocket() : ") + (services_.CheckTCPSocket() ? "OK" : "NG"));
  } else if (services_.CheckUDPPort(kDiscoveryPort)) {
    TraceLine("Port : 7419 be used by others.");
  } else {
    TraceLine("Port : 7419 is free.");
  }
  services_.CloseDiscoverySockets();
}

void MainPresenter::OpenWorkingSockets() {
  services_.GetWindowsVersion();
  services_.EnumerateAdapters();
  if (services_.OpenDiscoverySockets(false)) return;
  if (services_.CheckUDPPort(kDiscoveryPort)) {
    services_.EnumerateAdapters();
    services_.OpenDiscoverySockets(true);
    TraceLine("Port : 7419 be used by others.");
  } else {
    TraceLine("Port : 7419 maybe be network is not ready.");
  }
}

void MainPresenter::FormShow() {
  if (view_.Top() == kMiniHiddenTop) view_.SetTop(saved_top_);
  // The first server-list refresh runs once per process, from the first show.
  if (!shown_once_) {
    shown_once_ = true;
    if (master_bus_open_) {
      view_.SetTimerEnabled(MainTimer::Timer_MBusUpdate, true);
      view_.SetToolButtonEnabled(ToolButton::SBtn_FindServer, false);
      view_.SetControlEnabled(MainControl::UDSTreeView, false);
    }
  }
  view_.SetControlVisible(MainControl::StatusBar, false);
  if (services_.AnyDiscoverySocketOpen()) {
    view_.SetControlVisible(MainControl::MsgMemo, false);
    view_.SetApplicationIcon(AppIcon::kMain);
    tray_.icon = AppIcon::kMain;
    tray_.tip = titles_.app_title;
  } else if (view_.IsTreeEmpty() && view_.IsMainWindowVisible() && !view_.IsControlVisible(MainControl::MsgMemo)) {
    view_.SetControlEnabled(MainControl::MainPanel, false);
    view_.SetControlVisible(MainControl::MsgMemo, true);
    if (japanese()) view_.SetMemoText(std::string(kNoNetworkText));
    view_.SetApplicationIcon(AppIcon::kNoNetwork);
    tray_.icon = AppIcon::kNoNetwork;
    if (japanese()) tray_.tip = titles_.app_title + " - \n" + std::string(kNoNetworkText);
  }
  view_.TrayModify(tray_);
  if (japanese()) {
    view_.SetToolButtonFontCharset(128);
    view_.SetTreeFont(128, 10);
  }
  view_.SetToolButtonWidth(ToolButton::SBtn_Request, 90);
  view_.SetToolButtonWidth(ToolButton::SBtn_AConnectScan, 70);
}

void MainPresenter::OnTimerMiniWindow() {
  view_.SetTimerEnabled(MainTimer::Timer_MiniWindow, false);
  view_.SetTop(kMiniHiddenTop);
  view_.TrayAdd(tray_);
  view_.HideMainWindow();
}

void MainPresenter::HideToTray(bool hide_application_window) {
  view_.TrayAdd(tray_);
  if (hide_application_window) view_.HideApplicationWindow();
  view_.HideMainWindow();
}

void MainPresenter::ShowFromTray() {
  view_.TrayDelete();
  view_.ShowApplicationWindow();
  view_.ShowMainWindow();
}

bool MainPresenter::OnSysCommand(uint64_t command, int64_t lparam) {
  if (command == 0 && lparam == 0) {
    HideToTray(false);
    return true;
  }
  if ((command & 0xFFF0) == kScClose) {
    HideToTray(true);  // the close box never closes the program
    return true;
  }
  return false;
}

bool MainPresenter::OnQueryEndSession() {
  os_shutdown_ = true;
  return FormCloseQuery();
}

void MainPresenter::OnAppMessage(int64_t lparam) {
  if (lparam == kActivateParam || lparam == kTrayDoubleClick) {
    ShowFromTray();
  } else if (lparam == kTrayRightUp) {
    view_.BringToForeground();
    view_.ShowTrayMenu();
  }
}

void MainPresenter::OnTrayOpen() { ShowFromTray(); }

void MainPresenter::OnTrayExit() { view_.CloseMainWindow(); }

void MainPresenter::OnFileExit() {
  if (services_.AnyDeviceHeldBy(computer_name_)) {
    MsgResult answer = messages_.Show(std::string(kHeldDevicesQuestion), titles_.title_text, MsgButtons::kYesNo,
                                      MsgIcon::kExclamation);
    if (answer != MsgResult::kYes) return;
  }
  view_.CloseMainWindow();
}

}  // namespace vx::app
