// What the main window `TMainFm` must do and report for its presenter
// (MainPresenter). The Win32 window implements MainView; tests use a fake.
// Every size and position is in pixels; lefts and tops of tool bars are
// relative to `ControlPanel`, those of the tree and `MsgMemo` to the main
// panel, those of the window to the screen.
#pragma once

#include <cstdint>
#include <string>

#include "platform/geometry.h"

namespace vx::app {

enum class ToolBarId : uint8_t { ToolBar1, ToolBar2, ToolBar3 };

// Every tool button of the three tool bars. Only SBtn_Config and
// SBtn_AConnectPrint (ToolBar1), SBtn_Connect, SBtn_Disconnect and
// SBtn_Request (ToolBar2) and SBtn_AConnectScan (ToolBar3) stay visible.
enum class ToolButton : uint8_t {
  // ToolBar1
  SBtn_FindServer,
  SBtn_Config,
  SBtn_AConnectPrint,
  SBtn_AConnectFax,
  SBtn_HPage,
  SBtn_Ravel,
  SBtn_Spacer1,  // the two narrow spacer buttons
  SBtn_Spacer2,
  // ToolBar2
  SBtn_Connect,
  SBtn_Disconnect,
  SBtn_Request,
  // ToolBar3
  SBtn_AConnectScan,
  SBtn_NetDisk,
};

// The actions of the main window (shared by tool buttons and menu items).
enum class MainAction : uint8_t {
  Action_Configure,
  Action_Connect,
  Action_Disconnect,
  Action_Request,
  Action_AConnectScan,
  Action_AConnectPrintSet,
  Action_AConnectPrintDel,
  // Hidden for good by the layout step:
  Action_AConnectFaxSet,
  Action_AConnectFaxDel,
  Action_SetPrinter,      // "Set Printer"
  Action_NetworkStorage,  // "Network Storage" (SBtn_NetDisk's action)
  Action_Goto,            // "Go to Homepage" (SBtn_HPage's action)
};

enum class MenuItem : uint8_t {
  FileMenu,
  FileExit,
  Tools1,
  Configure,
  AutoConnectPrinterList1,
  HelpMenu,
  HelpAbout,
  OpenCC,  // tray menu "Open Vessix"
  Exit1,   // tray menu "Exit"
  // Hidden for good by the layout step:
  MItem_FaxList,
  MItem_HPage,  // the menu item of "Go to Homepage"
  AddWANServer1,
  MItem_DeleteWANServer,
  MItem_ImportImage1,
  MItem_ImportImage2,
  MItem_ImportImage3,
};

enum class MainControl : uint8_t {
  MainPanel,
  ControlBar1,
  ControlPanel,
  UDSTreeView,
  InfoTreeView,
  Splitter,  // between the tree and InfoTreeView
  MsgMemo,
  StatusBar,
};

enum class MainTimer : uint8_t {
  Timer_MiniWindow,
  Timer_MBusUpdate,
  Timer_DelPrintDialog,
  Timer_Click,
};

// The two icons of the resources: "MAINICON" and "MAINICON_NG" (no network).
// The window loads both when it is constructed.
enum class AppIcon : uint8_t { kMain, kNoNetwork };

enum class WindowState : uint8_t { kNormal = 0, kMinimised = 1, kMaximised = 2 };

// The tray icon record. The fixed parts (identifier 1, callback message
// 1125, flags message|icon|tip, the main window as owner) are the window's,
// which also cuts the tip to what the record holds (127 characters).
struct TrayIcon {
  AppIcon icon = AppIcon::kMain;
  std::string tip;
  friend bool operator==(const TrayIcon&, const TrayIcon&) = default;
};

class MainView {
 public:
  virtual ~MainView() = default;

  // --- The main window ---
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
  // Minimum size; every later size is held to it, and the getters report
  // the size the window really has.
  virtual void SetSizeConstraints(int min_width, int min_height) = 0;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetLeft(int left) = 0;
  virtual void SetTop(int top) = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  // Position mode "designed": the window stays where it is put, no
  // automatic placement by the system.
  virtual void SetPositionDesigned() = 0;
  virtual WindowState GetWindowState() const = 0;
  virtual void SetWindowState(WindowState state) = 0;
  virtual bool IsMainWindowVisible() const = 0;
  virtual void ShowMainWindow() = 0;
  virtual void HideMainWindow() = 0;
  virtual void BringToForeground() = 0;  // SetForegroundWindow
  // The application window (owner of the main window, class "TApplication",
  // the one a second instance looks for): shown with SW_SHOWNORMAL / hidden.
  virtual void ShowApplicationWindow() = 0;
  virtual void HideApplicationWindow() = 0;
  virtual void SetApplicationIcon(AppIcon icon) = 0;
  // Asks the window to close; it then runs MainPresenter::FormCloseQuery and
  // closes only when that allows it.
  virtual void CloseMainWindow() = 0;
  // The desktop's work area (SystemParametersInfo SPI_GETWORKAREA).
  virtual Rect WorkArea() const = 0;
  virtual int DoubleClickTimeMs() const = 0;  // GetDoubleClickTime

  // --- Panels and controls ---
  virtual void SetControlVisible(MainControl control, bool visible) = 0;
  virtual bool IsControlVisible(MainControl control) const = 0;
  virtual void SetControlEnabled(MainControl control, bool enabled) = 0;
  // Aligns MainPanel to the window's client area, or UDSTreeView to the
  // main panel's free area.
  virtual void SetFillsClientArea(MainControl control) = 0;
  // ControlBar1 stops auto-sizing and gets this height and row size.
  virtual void SetControlBar(int height, int row_size) = 0;
  // ControlPanel stops auto-sizing and gets this size.
  virtual void SetControlPanelSize(int width, int height) = 0;

  // --- Tool bars and tool buttons ---
  virtual void SetToolBarHeights(ToolBarId bar, int height, int button_height) = 0;
  virtual int ToolBarWidth(ToolBarId bar) const = 0;
  virtual void SetToolBarWidth(ToolBarId bar, int width) = 0;
  virtual int ToolBarLeft(ToolBarId bar) const = 0;
  virtual void SetToolBarLeft(ToolBarId bar, int left) = 0;
  virtual int ToolButtonWidth(ToolButton button) const = 0;
  virtual void SetToolButtonWidth(ToolButton button, int width) = 0;
  virtual bool IsToolButtonVisible(ToolButton button) const = 0;
  virtual void SetToolButtonVisible(ToolButton button, bool visible) = 0;
  virtual void SetToolButtonEnabled(ToolButton button, bool enabled) = 0;
  virtual void SetToolButtonCaption(ToolButton button, const std::string& text) = 0;
  // Character set of the tool buttons' font (128: Shift-JIS).
  virtual void SetToolButtonFontCharset(int charset) = 0;

  // --- Actions and menus ---
  virtual void SetActionVisible(MainAction action, bool visible) = 0;
  virtual void SetActionCaption(MainAction action, const std::string& text) = 0;
  virtual void SetMenuItemVisible(MenuItem item, bool visible) = 0;
  virtual void SetMenuItemCaption(MenuItem item, const std::string& text) = 0;

  // --- The server tree UDSTreeView ---
  // Expand buttons shown or not, and the indent; the images are UDSImageList.
  virtual void SetTreeStyle(bool show_buttons, int indent) = 0;
  virtual void SetTreeMinHeight(int height) = 0;
  virtual int TreeTop() const = 0;
  virtual int TreeHeight() const = 0;
  virtual void SetTreeHeight(int height) = 0;
  virtual bool IsTreeEmpty() const = 0;
  virtual void ClearTreeSelection() = 0;
  virtual void SetTreeFont(int charset, int size) = 0;

  // --- MsgMemo (the message over the tree) ---
  virtual void SetMemoText(const std::string& text) = 0;
  virtual void SetMemoPlacement(int top, int height) = 0;
  virtual void SetMemoReadOnly(bool read_only) = 0;
  virtual void SetMemoFontSize(int size) = 0;

  // --- Timers ---
  virtual void SetTimerInterval(MainTimer timer, int ms) = 0;
  virtual void SetTimerEnabled(MainTimer timer, bool enabled) = 0;
  virtual bool IsTimerEnabled(MainTimer timer) const = 0;

  // --- The notification-area (tray) icon ---
  virtual void TrayAdd(const TrayIcon& icon) = 0;     // NIM_ADD
  virtual void TrayModify(const TrayIcon& icon) = 0;  // NIM_MODIFY
  virtual void TrayDelete() = 0;                      // NIM_DELETE
  // Opens the tray menu PopupMenu ("Open Vessix", "Exit") at the cursor; its
  // items call MainPresenter::OnTrayOpen / OnTrayExit.
  virtual void ShowTrayMenu() = 0;

  // --- The waiting window TWaitCloseFm shown while the program closes ---
  virtual void ShowWaitWindow(const std::string& caption, const std::string& text) = 0;
  virtual void HideWaitWindow() = 0;
  virtual void RepaintWaitWindow() = 0;
  virtual void CloseWaitWindow() = 0;
};

enum class MsgButtons : uint8_t { kOk, kOkCancel, kYesNo };
enum class MsgIcon : uint8_t { kNone, kExclamation };
enum class MsgResult : uint8_t { kOk, kCancel, kYes, kNo };

// Modal message boxes; returns the button the user chose (closing the box
// counts as Cancel or No).
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) = 0;
};

}  // namespace vx::app
