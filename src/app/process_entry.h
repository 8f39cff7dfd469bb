// The process entry up to the message loop: the language and the titles,
// the single-instance rule, "-mini" with "AutoRun Check", and the order in
// which the windows are created. The Windows program's wWinMain runs it with
// the real ports and then creates the windows.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/language.h"
#include "app/settings_store.h"

namespace vx::app {

// The argument that starts the program hidden in the notification area
// (exact, case-sensitive, anywhere in the list).
inline constexpr std::string_view kMiniArgument = "-mini";

// The private window message between instances and from the tray icon, and
// the values of its lParam that mean something.
inline constexpr unsigned kAppMessage = 1125;       // WM_USER + 101
inline constexpr long long kActivateParam = 119;    // sent by a second instance (as wParam and lParam)
inline constexpr long long kTrayDoubleClick = 515;  // WM_LBUTTONDBLCLK
inline constexpr long long kTrayRightUp = 517;      // WM_RBUTTONUP

// Window classes in the order the program creates them, the main window first.
inline constexpr std::array<std::string_view, 25> kWindowCreationOrder = {
    "TMainFm",           "TShowAutoConnectDlg", "TWaitCloseFm",      "TAutoConnectSavingFm",
    "TAutoShareFm",      "TLoginDlg",           "TVessixForm",       "TStatusForm",
    "TRestartingDlg",    "TAddPrinterForm",     "TPrinterSetupForm", "TAboutBox",
    "TConfigureDlg",     "TUpgradeMsg",         "TRequestDlg",       "TRequestRecvDlg",
    "TMsgBox",           "TAutoConnectFm",      "TDataSrcDlg",       "TNetScanFm",
    "TSaveFileFm",       "TNetWIASaveFm",       "TNetWIASetFm",      "TTimeSetupFm",
    "TAutoPrintApplyDlg"};

// A top-level window as the activation below sees it; 0 is no window.
using WindowHandle = std::uintptr_t;

// The window queries the activation of another instance needs.
class InstanceWindows {
 public:
  virtual ~InstanceWindows() = default;
  // The window of class "TApplication" whose caption is `title`.
  virtual WindowHandle FindApplicationWindow(const std::string& title) = 0;
  virtual bool IsMinimised(WindowHandle window) = 0;
  virtual bool IsVisible(WindowHandle window) = 0;
  virtual void Restore(WindowHandle window) = 0;     // SW_RESTORE
  virtual void BringToTop(WindowHandle window) = 0;  // BringWindowToTop
  // GetLastActivePopup: the window itself when it owns no active pop-up.
  virtual WindowHandle LastActivePopup(WindowHandle window) = 0;
  virtual std::string ClassName(WindowHandle window) = 0;
  virtual std::string Caption(WindowHandle window) = 0;
  // The window above in Z order (GW_HWNDPREV); 0 at the top.
  virtual WindowHandle WindowAbove(WindowHandle window) = 0;
  // Posts kAppMessage with wParam and lParam kActivateParam.
  virtual void PostActivate(WindowHandle window) = 0;
  virtual void SetForeground(WindowHandle window) = 0;
};

// Shows the first instance: its application window restored or brought to
// the top; when that window is hidden (the program sits in the tray), its
// main window is asked to show itself with kAppMessage/119 (the last active
// pop-up when that is the main window, otherwise every "TMainFm" window above
// the application window whose caption contains the title). Then the
// application window becomes the foreground window. Nothing when there is no
// application window with that caption.
void ActivateOtherInstance(InstanceWindows& windows, const std::string& app_title);

// The single-instance rule's operations on the system.
class SingleInstance {
 public:
  virtual ~SingleInstance() = default;
  // True when a mutex of that name exists (OpenMutex with SYNCHRONIZE).
  virtual bool MutexExists(const std::string& name) = 0;
  // Clears the caption of this process's application window, so that the
  // search for the other instance cannot find it.
  virtual void ClearOwnApplicationCaption() = 0;
  // Finds the other instance's application window and activates it (the
  // Windows adapter runs ActivateOtherInstance above on its window queries).
  virtual void ActivateOtherInstance(const std::string& app_title) = 0;
  // Creates the named mutex, not initially owned, and keeps it until the
  // process releases it after its message loop.
  virtual void CreateInstanceMutex(const std::string& name) = 0;
};

struct EntryDecision {
  bool run = false;  // false: end the process now, with exit_code, before any window exists
  int exit_code = 0;
  LanguageState titles;
  bool mini = false;  // "-mini" was among the arguments
};

// Entry steps up to the creation of the windows. `args` are the command-line
// arguments after the program path.
EntryDecision RunProcessEntry(Settings& settings, SingleInstance& instance,
                              std::span<const std::string> args);

bool HasMiniArgument(std::span<const std::string> args);

}  // namespace vx::app
