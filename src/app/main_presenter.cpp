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
  SplitProgramPath(services_.system.ExecutablePath(), &exe_folder_, &exe_base_name_);
  if (!exe_folder_.empty()) services_.system.SetWorkingDirectory(exe_folder_);
  view_.SetTimerInterval(MainTimer::Timer_Click, view_.DoubleClickTimeMs() + 10);
  view_.SetMemoText("");
  view_.SetControlVisible(MainControl::MsgMemo, false);
}

std::optional<int> MainPresenter::FormCreate() {
  services_.auto_connect.ReadZARiraverIni();
  if (settings_.Read(kDisconnectTimingValue).empty()) settings_.Write(kDisconnectTimingValue, "10");
  if (services_.options.LoadLanguagePack(LocaleIdOf(titles_.language))) services_.options.ReinitializeForms();
  LayOut();
  install_directory_ = settings_.Read(RegRoot::kLocalMachine, kInstallDirectoryValue);
  services_.system.CreateLocks();
  services_.auto_connect.ReadAutoConnectEntries();

  master_bus_open_ = services_.bus.OpenMasterBus();
  if (!master_bus_open_) return NoDriver();
  DriverVersionText version = services_.bus.DriverVersion();
  bus::VersionCheck check = bus::CheckDriverVersion(version.full, version.short_text);
  if (!check.pass) {
    messages_.Show(check.warning, titles_.app_title, MsgButtons::kOk, MsgIcon::kNone);
    return 0;
  }

  services_.options.AddFirewallApplication(services_.system.ExecutablePath(), titles_.app_title);
  clock_.SleepFor(100ms);
  services_.options.AddFirewallPort(kDiscoveryPort, titles_.app_title + " UDP Port");

  services_.discovery.PortSelfTest();

  for (const std::string& arg : args_) {
    if (arg != "-mini") continue;
    view_.SetTimerInterval(MainTimer::Timer_MiniWindow, 500);
    view_.SetTimerEnabled(MainTimer::Timer_MiniWindow, true);
    view_.SetTop(kMiniTop);
    view_.SetPositionDesigned();
  }

  tray_ = {AppIcon::kMain, view_.Caption()};

  services_.discovery.OpenWorkingSockets();
  services_.discovery.StartDiscovery();
  if (master_bus_open_) services_.bus.StartEventReader();
  created_ = true;
  return std::nullopt;
}

std::optional<int> MainPresenter::NoDriver() {
  uint32_t flags = services_.system.GetWindowsVersion();
  if (flags & kRebootPendingFlag) {
    MsgResult answer =
        messages_.Show(Text(ui::TextId::Msg_Reboot), view_.Caption(), MsgButtons::kOkCancel, MsgIcon::kNone);
    if (answer != MsgResult::kCancel) {
      services_.system.RunRebootCommand();
      return 0;
    }
  }
  if (japanese())
    messages_.Show(Text(ui::TextId::Msg_InstallFailed), titles_.title_text, MsgButtons::kOk, MsgIcon::kNone);
  return 0;
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
  if (services_.discovery.AnySocketOpen()) {
    view_.SetControlVisible(MainControl::MsgMemo, false);
    view_.SetApplicationIcon(AppIcon::kMain);
    tray_.icon = AppIcon::kMain;
    tray_.tip = titles_.app_title;
  } else if (view_.IsTreeEmpty() && view_.IsMainWindowVisible() &&
             !view_.IsControlVisible(MainControl::MsgMemo)) {
    view_.SetControlEnabled(MainControl::MainPanel, false);
    view_.SetControlVisible(MainControl::MsgMemo, true);
    if (japanese()) view_.SetMemoText(Text(ui::TextId::Msg_NoNetwork));
    view_.SetApplicationIcon(AppIcon::kNoNetwork);
    tray_.icon = AppIcon::kNoNetwork;
    if (japanese()) tray_.tip = titles_.app_title + " - \n" + Text(ui::TextId::Msg_NoNetwork);
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
  // Only the tray icon remains: a visible application window would make a
  // second start bring it to the top instead of showing the main window.
  HideToTray(true);
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
  if (in_close_sequence_) return true;  // already closing; the sequence goes on
  return FormCloseQuery();
}

void MainPresenter::SetNetworkIcon(AppIcon icon) {
  view_.SetApplicationIcon(icon);
  tray_.icon = icon;
}

void MainPresenter::SetTrayTip(std::string tip) { tray_.tip = std::move(tip); }

void MainPresenter::UpdateTrayIcon() { view_.TrayModify(tray_); }

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
  if (services_.devices.AnyDeviceHeldBy(computer_name_)) {
    MsgResult answer = messages_.Show(Text(ui::TextId::Msg_HeldDevices), titles_.title_text,
                                      MsgButtons::kYesNo, MsgIcon::kExclamation);
    if (answer != MsgResult::kYes) return;
  }
  view_.CloseMainWindow();
}

}  // namespace vx::app
