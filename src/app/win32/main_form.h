// The main window `TMainFm` on the Win32 kit. It builds the controls (main
// panel, control bar with the three tool bars, server tree, MsgMemo, the
// hidden info tree, splitter and status bar), the menus, the timers and the
// tray icon, does what MainView is told and forwards its events to the
// presenter. It decides nothing itself; the tray icon it shows mirrors the
// presenter's state.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_presenter.h"
#include "app/main_view.h"
#include "app/win32/wait_close_form.h"
#include "model/tree_presenter.h"
#include "winui/action.h"
#include "winui/controls.h"
#include "winui/menu.h"
#include "winui/timer.h"
#include "winui/toolbar.h"
#include "winui/tray_icon.h"
#include "winui/window.h"

namespace vx::app::win32 {

// Control ids of the main window (children of its panels).
inline constexpr int kIdMainPanel = 100;
inline constexpr int kIdControlBar = 101;
inline constexpr int kIdControlPanel = 102;
inline constexpr int kIdToolBar1 = 111;  // ToolBar1..3 are 111..113
inline constexpr int kIdTree = 120;
inline constexpr int kIdMemo = 121;
inline constexpr int kIdInfoTree = 122;
inline constexpr int kIdSplitter = 123;
inline constexpr int kIdStatusBar = 124;
inline constexpr int kIdBlankPanel = 125;  // Panel1

// A container child window whose messages a hook may handle first (colours
// of its children); commands of its tool bars reach their actions.
class Panel : public winui::Window {
 public:
  using Hook = std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)>;
  bool CreateChild(HWND parent, int id, const Rect& bounds);
  void SetHook(Hook hook) { hook_ = std::move(hook); }

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Hook hook_;
};

class MainForm final : public winui::Window, public MainView {
 public:
  MainForm();
  ~MainForm() override;

  // Creates the window (hidden) owned by the application window, with every
  // control. False on failure.
  bool Create(HWND application_window);
  void BindPresenter(MainPresenter* presenter) { presenter_ = presenter; }
  // Builds the menu bar with the captions in force (after the layout step).
  void AttachMenus();
  // The handler of Timer_MBusUpdate (the first server-list refresh).
  void SetBusUpdateHandler(std::function<void()> handler);
  // The handlers of Timer_Click (the tree's click) and of "About...".
  void SetClickTimerHandler(std::function<void()> handler);
  void SetAboutHandler(std::function<void()> handler);
  // The handler of a main action and whether it is available; its tool
  // button and its menu items follow it.
  void SetActionHandler(MainAction action, std::function<void()> handler);
  void SetActionEnabled(MainAction action, bool enabled);
  // Opens PopupMenu_ForServer or PopupMenu_ForDevice at the cursor. The
  // device menu shows exactly the items whose commands are enabled.
  void ShowTreePopup(model::TreePopup popup);
  // The panel that receives the tree's notifications, and Panel1.
  winui::Window& main_panel() { return main_panel_; }
  HWND blank_panel() const { return blank_panel_.hwnd(); }
  HWND application_window() const { return app_window_; }
  winui::TreeView& tree() { return tree_; }
  // A main action (its handler and enabled state are shared by its tool
  // button and menu items).
  winui::Action& action(MainAction a) { return *actions_.at(a); }

  // --- MainView ---
  void SetCaption(const std::string& text) override;
  std::string Caption() const override;
  void SetSizeConstraints(int min_width, int min_height) override;
  int Left() const override;
  int Top() const override;
  int Width() const override;
  int Height() const override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  void SetPositionDesigned() override {}
  WindowState GetWindowState() const override;
  void SetWindowState(WindowState state) override;
  bool IsMainWindowVisible() const override;
  void ShowMainWindow() override;
  void HideMainWindow() override;
  void BringToForeground() override;
  void ShowApplicationWindow() override;
  void HideApplicationWindow() override;
  void SetApplicationIcon(AppIcon icon) override;
  void CloseMainWindow() override;
  Rect WorkArea() const override;
  int DoubleClickTimeMs() const override;

  void SetControlVisible(MainControl control, bool visible) override;
  bool IsControlVisible(MainControl control) const override;
  void SetControlEnabled(MainControl control, bool enabled) override;
  void SetFillsClientArea(MainControl control) override;
  void SetControlBar(int height, int row_size) override;
  void SetControlPanelSize(int width, int height) override;

  void SetToolBarHeights(ToolBarId bar, int height, int button_height) override;
  int ToolBarWidth(ToolBarId bar) const override;
  void SetToolBarWidth(ToolBarId bar, int width) override;
  int ToolBarLeft(ToolBarId bar) const override;
  void SetToolBarLeft(ToolBarId bar, int left) override;
  int ToolButtonWidth(ToolButton button) const override;
  void SetToolButtonWidth(ToolButton button, int width) override;
  bool IsToolButtonVisible(ToolButton button) const override;
  void SetToolButtonVisible(ToolButton button, bool visible) override;
  void SetToolButtonEnabled(ToolButton button, bool enabled) override;
  void SetToolButtonCaption(ToolButton button, const std::string& text) override;
  void SetToolButtonFontCharset(int charset) override;

  void SetActionVisible(MainAction action, bool visible) override;
  void SetActionCaption(MainAction action, const std::string& text) override;
  void SetMenuItemVisible(MenuItem item, bool visible) override;
  void SetMenuItemCaption(MenuItem item, const std::string& text) override;

  void SetTreeStyle(bool show_buttons, int indent) override;
  void SetTreeMinHeight(int height) override;
  int TreeTop() const override;
  int TreeHeight() const override;
  void SetTreeHeight(int height) override;
  bool IsTreeEmpty() const override;
  void ClearTreeSelection() override;
  void SetTreeFont(int charset, int size) override;

  void SetMemoText(const std::string& text) override;
  void SetMemoPlacement(int top, int height) override;
  void SetMemoReadOnly(bool read_only) override;
  void SetMemoFontSize(int size) override;

  void SetTimerInterval(MainTimer timer, int ms) override;
  void SetTimerEnabled(MainTimer timer, bool enabled) override;
  bool IsTimerEnabled(MainTimer timer) const override;

  void TrayAdd(const TrayIcon& icon) override;
  void TrayModify(const TrayIcon& icon) override;
  void TrayDelete() override;
  void ShowTrayMenu() override;

  void ShowWaitWindow(const std::string& caption, const std::string& text) override;
  void HideWaitWindow() override;
  void RepaintWaitWindow() override;
  void CloseWaitWindow() override;

  // The waiting window shown by the close sequence.
  void SetWaitWindow(WaitCloseForm* wait_window) { wait_window_ = wait_window; }

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct ButtonSlot {
    winui::Action action;
    ToolBarId bar;
    winui::Action* shared = nullptr;  // the main action it shows, if any
    int token = 0;
  };

  void CreateActions();
  void CreateControls();
  void CreateToolBars();
  void Relayout();  // aligns the panels and the tree to the client area
  winui::ToolBar& Bar(ToolBarId bar) { return bars_[static_cast<size_t>(bar)]; }
  const winui::ToolBar& Bar(ToolBarId bar) const { return bars_[static_cast<size_t>(bar)]; }
  ButtonSlot& Slot(ToolButton button) { return *buttons_.at(button); }
  const ButtonSlot& Slot(ToolButton button) const { return *buttons_.at(button); }
  HWND ControlHandle(MainControl control) const;
  HICON IconOf(AppIcon icon) const;
  void SetBounds(int left, int top, int width, int height);
  void ShowTheWindow();
  void OpenAutoConnectPrinterMenu();
  std::optional<LRESULT> PanelColour(UINT message, WPARAM wparam, LPARAM lparam);
  void Call(void (MainPresenter::*step)());

  MainPresenter* presenter_ = nullptr;
  HWND app_window_ = nullptr;
  WaitCloseForm* wait_window_ = nullptr;
  HICON icon_main_ = nullptr, icon_ng_ = nullptr;
  HICON app_icon_ = nullptr;
  int min_width_ = 0, min_height_ = 0, tree_min_height_ = 0;
  WindowState pending_state_ = WindowState::kNormal;
  bool closing_ = false;  // destroyed or being destroyed

  Panel main_panel_, control_bar_, control_panel_;
  std::array<winui::ToolBar, 3> bars_{};
  winui::TreeView tree_, info_tree_;
  winui::Edit memo_;
  winui::Control splitter_, status_bar_, blank_panel_;
  int control_bar_height_ = 85;
  int memo_top_ = -1, memo_height_ = -1;
  HFONT memo_font_ = nullptr, tree_font_ = nullptr, button_font_ = nullptr;
  HBRUSH memo_brush_ = nullptr;

  std::map<MainAction, std::unique_ptr<winui::Action>> actions_;
  std::map<ToolButton, std::unique_ptr<ButtonSlot>> buttons_;
  std::map<MenuItem, std::unique_ptr<winui::Action>> items_;
  std::map<MenuItem, std::string> submenu_captions_;
  std::unique_ptr<winui::Menu> menu_bar_, tray_menu_, auto_connect_printer_menu_;
  std::unique_ptr<winui::Menu> server_popup_, device_popup_;  // PopupMenu_ForServer, PopupMenu_ForDevice
  std::map<MainTimer, std::unique_ptr<winui::Timer>> timers_;
  std::function<void()> bus_update_, click_timer_, about_;
  winui::TrayIcon tray_;
};

}  // namespace vx::app::win32
