// The decisions of the main window `TMainFm`: its construction, the creation
// handler with everything the program starts, the layout and its saved
// settings, the show handler, the tray icon, the window-procedure additions,
// the exit commands and the close sequence. The Win32 window forwards its
// events here and does what MainView is told.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/main_view.h"
#include "app/process_entry.h"
#include "app/settings_store.h"
#include "app/startup_services.h"
#include "platform/clock.h"
#include "ui/texts.h"

namespace vx::app {

// Marks in "MainForm Top" and the window's top: 3000 is where "-mini" puts
// the window at first (off-screen), 3001 a window hidden by "-mini" whose
// saved top has not been restored yet. Tops from 3000 on are never saved.
inline constexpr int kMiniTop = 3000;
inline constexpr int kMiniHiddenTop = 3001;

// WM_SYSCOMMAND's SC_CLOSE (the low four bits of the command are ignored).
inline constexpr uint64_t kScClose = 0xF060;

class MainPresenter {
 public:
  struct Ports {
    MainView& view;
    MessageBoxes& messages;
    StartupServices services;
    Settings& settings;
    Clock& clock;
  };

  // `args` are the command-line arguments after the program path.
  MainPresenter(Ports ports, LanguageState titles, std::vector<std::string> args);

  // Construction, before the creation handler: working directory, double-
  // click timer, MsgMemo cleared and hidden.
  void Construct();

  // The creation handler `FormCreate`. nullopt: the program runs on; a
  // value: the process must end now with that exit code (no bus driver, a
  // driver too old, or the reboot offer taken).
  std::optional<int> FormCreate();

  // The show handler `FormShow`: call it each time the main window becomes
  // visible.
  void FormShow();

  // `Timer_MiniWindow` fired.
  void OnTimerMiniWindow();

  // WM_SYSCOMMAND. True when handled here (the window must not run the
  // default processing): 0/0 hides to the tray, SC_CLOSE hides to the tray
  // instead of closing.
  bool OnSysCommand(uint64_t command, int64_t lparam);

  // WM_QUERYENDSESSION: sets the OS-shutdown flag, then runs the default
  // processing of the main window, which is the close query. Returns the
  // answer for the system (true: the session may end; also while a close
  // sequence started by another route is still under way).
  bool OnQueryEndSession();

  // The private message 1125 with this lParam (a second instance's 119, the
  // tray icon's double click 515 and right button up 517).
  void OnAppMessage(int64_t lparam);

  void OnTrayOpen();  // tray menu "Open Vessix"
  void OnTrayExit();  // tray menu "Exit"
  void OnFileExit();  // System menu "Exit": asks first when devices are held

  // The close query `FormCloseQuery`: runs the close sequence once and
  // returns true (the window may close). A later call returns true at once;
  // a call made while the sequence runs (a WM_CLOSE pumped during its waits,
  // whichever route started it) returns false: the window must not be
  // destroyed under the sequence.
  bool FormCloseQuery();

  // --- The tray icon's one state ---
  // The discovery listener's no-network and network-ok steps change the icon
  // and the tip here (through MainNetworkStatus), so that hiding to the tray
  // adds the icon and tip in force, never an older copy.
  void SetNetworkIcon(AppIcon icon);  // the application's and the tray's icon
  void SetTrayTip(std::string tip);
  void UpdateTrayIcon();  // NIM_MODIFY with the state in force

  // --- State other parts of the program read ---
  const LanguageState& titles() const { return titles_; }
  bool closing() const { return closing_; }
  bool os_shutdown() const { return os_shutdown_; }
  bool master_bus_open() const { return master_bus_open_; }
  const std::string& computer_name() const { return computer_name_; }
  const std::string& user_name() const { return user_name_; }
  const std::string& program_version() const { return program_version_; }
  const std::string& install_directory() const { return install_directory_; }
  const std::string& product_version() const { return product_version_; }
  const std::string& exe_folder() const { return exe_folder_; }
  const std::string& exe_base_name() const { return exe_base_name_; }
  int saved_top() const { return saved_top_; }
  const TrayIcon& tray_icon() const { return tray_; }

 private:
  void LayOut();                 // the layout step (main_layout.cpp)
  void ApplyJapaneseCaptions();  // main_layout.cpp
  void LayOutToolBars();         // main_layout.cpp
  void ApplyPlacement();         // main_layout.cpp
  std::optional<int> NoDriver();
  void HideToTray(bool hide_application_window);
  void ShowFromTray();
  void RunCloseSequence();  // main_close.cpp
  void SavePlacement();     // main_close.cpp
  bool japanese() const { return titles_.japanese(); }
  // A text of the current language (the designed one where it has none).
  std::string Text(ui::TextId id) const { return std::string(ui::Text(titles_.language, id)); }

  MainView& view_;
  MessageBoxes& messages_;
  StartupServices services_;
  Settings& settings_;
  Clock& clock_;
  LanguageState titles_;
  std::vector<std::string> args_;

  TrayIcon tray_;
  bool master_bus_open_ = false;
  bool closing_ = false;
  bool created_ = false;  // FormCreate ran to its end
  bool close_ran_ = false;
  bool in_close_sequence_ = false;
  bool os_shutdown_ = false;
  bool shown_once_ = false;
  int saved_top_ = 0;
  std::string computer_name_, user_name_, program_version_;
  std::string install_directory_, product_version_;
  std::string exe_folder_, exe_base_name_;
};

// Folder and base name (without extension) of a program path; both "\" and
// "/" separate folders.
void SplitProgramPath(const std::string& path, std::string* folder, std::string* base_name);

}  // namespace vx::app
