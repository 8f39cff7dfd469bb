#include "app/win32/main_form.h"

#include <commctrl.h>

#include "app/main_texts.h"
#include "app/process_entry.h"
#include "platform/text_codec.h"
#include "platform/trace.h"
#include "ui/texts.h"
#include "winui/kit.h"

namespace vx::app::win32 {

namespace {

constexpr int kControlPanelWidth = 1920;

struct ButtonDef {
  ToolButton button;
  ToolBarId bar;
  bool toggle = false;
};

// The buttons of the three tool bars, in bar order.
constexpr ButtonDef kButtons[] = {
    {ToolButton::SBtn_FindServer, ToolBarId::ToolBar1},
    {ToolButton::SBtn_Config, ToolBarId::ToolBar1},
    {ToolButton::SBtn_AConnectPrint, ToolBarId::ToolBar1, true},
    {ToolButton::SBtn_AConnectFax, ToolBarId::ToolBar1},
    {ToolButton::SBtn_HPage, ToolBarId::ToolBar1},
    {ToolButton::SBtn_Ravel, ToolBarId::ToolBar1},
    {ToolButton::SBtn_Spacer1, ToolBarId::ToolBar1},
    {ToolButton::SBtn_Spacer2, ToolBarId::ToolBar1},
    {ToolButton::SBtn_Connect, ToolBarId::ToolBar2},
    {ToolButton::SBtn_Disconnect, ToolBarId::ToolBar2},
    {ToolButton::SBtn_Request, ToolBarId::ToolBar2},
    {ToolButton::SBtn_AConnectScan, ToolBarId::ToolBar3},
    {ToolButton::SBtn_NetDisk, ToolBarId::ToolBar3},
};

constexpr MainAction kActions[] = {
    MainAction::Action_Configure,        MainAction::Action_Connect,
    MainAction::Action_Disconnect,       MainAction::Action_Request,
    MainAction::Action_AConnectScan,     MainAction::Action_AConnectPrintSet,
    MainAction::Action_AConnectPrintDel, MainAction::Action_AConnectFaxSet,
    MainAction::Action_AConnectFaxDel,   MainAction::Action_SetPrinter,
    MainAction::Action_NetworkStorage,   MainAction::Action_Goto,
};

constexpr MenuItem kItems[] = {
    MenuItem::FileExit,
    MenuItem::Configure,
    MenuItem::AutoConnectPrinterList1,
    MenuItem::HelpAbout,
    MenuItem::OpenCC,
    MenuItem::Exit1,
    MenuItem::MItem_FaxList,
    MenuItem::MItem_HPage,
    MenuItem::AddWANServer1,
    MenuItem::MItem_DeleteWANServer,
    MenuItem::MItem_ImportImage1,
    MenuItem::MItem_ImportImage2,
    MenuItem::MItem_ImportImage3,
};

// The designed (English) caption of each element, from the text table.
std::string Designed(std::optional<ui::TextId> id) {
  return id ? std::string(ui::DesignedText(*id)) : std::string();
}

// The main action a tool button shows (enabled and visible follow it).
std::optional<MainAction> SharedAction(ToolButton button) {
  switch (button) {
    case ToolButton::SBtn_Config:
      return MainAction::Action_Configure;
    case ToolButton::SBtn_Connect:
      return MainAction::Action_Connect;
    case ToolButton::SBtn_Disconnect:
      return MainAction::Action_Disconnect;
    case ToolButton::SBtn_Request:
      return MainAction::Action_Request;
    case ToolButton::SBtn_AConnectScan:
      return MainAction::Action_AConnectScan;
    case ToolButton::SBtn_NetDisk:
      return MainAction::Action_NetworkStorage;
    case ToolButton::SBtn_HPage:
      return MainAction::Action_Goto;
    case ToolButton::SBtn_AConnectFax:
      return MainAction::Action_AConnectFaxSet;
    default:
      return std::nullopt;
  }
}

}  // namespace

bool Panel::CreateChild(HWND parent, int id, const Rect& bounds) {
  winui::EnsureWindowClass(winui::WindowClassArgs{.name = "TPanel"});
  bool ok = Create(winui::WindowArgs{.class_name = "TPanel",
                                     .style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                     .bounds = bounds,
                                     .parent = parent});
  if (ok) SetWindowLongPtrW(hwnd(), GWLP_ID, id);
  return ok;
}

std::optional<LRESULT> Panel::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (hook_) {
    if (auto result = hook_(message, wparam, lparam)) return result;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

MainForm::MainForm() {
  icon_main_ = LoadIconW(winui::Instance(), L"MAINICON");
  icon_ng_ = LoadIconW(winui::Instance(), L"MAINICON_NG");
  app_icon_ = icon_main_;
  CreateActions();
}

MainForm::~MainForm() {
  tray_.Remove();
  Destroy();
  for (HFONT f : {memo_font_, tree_font_, button_font_})
    if (f) DeleteObject(f);
  if (memo_brush_) DeleteObject(memo_brush_);
}

void MainForm::Call(void (MainPresenter::*step)()) {
  if (presenter_) (presenter_->*step)();
}

void MainForm::CreateActions() {
  for (MainAction a : kActions) {
    auto action = std::make_unique<winui::Action>(Designed(TextIdOf(a)));
    action->SetEnabled(false);  // the selection refresh enables them
    actions_[a] = std::move(action);
  }
  for (const auto& def : kButtons) {
    auto slot = std::make_unique<ButtonSlot>();
    slot->bar = def.bar;
    slot->action.SetCaption(Designed(TextIdOf(def.button)));
    if (auto shared = SharedAction(def.button)) {
      winui::Action* main = actions_.at(*shared).get();
      slot->shared = main;
      slot->action.SetEnabled(main->Enabled());
      winui::Action* own = &slot->action;
      slot->token = main->Subscribe([own](const winui::Action& a) {
        own->SetEnabled(a.Enabled());
        if (!a.Visible()) own->SetVisible(false);
      });
      slot->action.SetHandler([main] { main->Execute(); });
    } else if (def.button == ToolButton::SBtn_AConnectPrint) {
      slot->action.SetEnabled(false);
      slot->action.SetHandler([this] { OpenAutoConnectPrinterMenu(); });
    }
    buttons_[def.button] = std::move(slot);
  }
  for (MenuItem item : kItems) items_[item] = std::make_unique<winui::Action>(Designed(TextIdOf(item)));
  for (MenuItem submenu : {MenuItem::FileMenu, MenuItem::Tools1, MenuItem::HelpMenu})
    submenu_captions_[submenu] = Designed(TextIdOf(submenu));
  items_[MenuItem::FileExit]->SetHandler([this] { Call(&MainPresenter::OnFileExit); });
  items_[MenuItem::OpenCC]->SetHandler([this] { Call(&MainPresenter::OnTrayOpen); });
  items_[MenuItem::Exit1]->SetHandler([this] { Call(&MainPresenter::OnTrayExit); });
  // The options dialog, the auto-connect printer list and the About box come later.
  items_[MenuItem::Configure]->SetHandler([] { TraceLine("Configure : not available yet"); });
  items_[MenuItem::AutoConnectPrinterList1]->SetHandler(
      [] { TraceLine("AutoConnectPrinterList1 : not available yet"); });
  items_[MenuItem::HelpAbout]->SetHandler([this] {
    if (about_) about_();
  });

  tray_menu_ = std::make_unique<winui::Menu>(winui::Menu::Kind::Popup);
  tray_menu_->Add(*items_[MenuItem::OpenCC]).Add(*items_[MenuItem::Exit1]);
  auto_connect_printer_menu_ = std::make_unique<winui::Menu>(winui::Menu::Kind::Popup);
  auto_connect_printer_menu_->Add(*actions_[MainAction::Action_AConnectPrintSet])
      .Add(*actions_[MainAction::Action_AConnectPrintDel]);
  // The tree's context menus: MItem_Setting, and the device commands.
  server_popup_ = std::make_unique<winui::Menu>(winui::Menu::Kind::Popup);
  server_popup_->Add(*actions_[MainAction::Action_Configure]);
  device_popup_ = std::make_unique<winui::Menu>(winui::Menu::Kind::Popup);
  device_popup_->Add(*actions_[MainAction::Action_Connect])
      .Add(*actions_[MainAction::Action_Disconnect])
      .Add(*actions_[MainAction::Action_Request])
      .AddSeparator()
      .Add(*actions_[MainAction::Action_AConnectScan])
      .AddSeparator()
      .Add(*actions_[MainAction::Action_AConnectPrintSet])
      .Add(*actions_[MainAction::Action_AConnectPrintDel]);

  for (MainTimer t : {MainTimer::Timer_MiniWindow, MainTimer::Timer_MBusUpdate,
                      MainTimer::Timer_DelPrintDialog, MainTimer::Timer_Click})
    timers_[t] = std::make_unique<winui::Timer>();
  timers_[MainTimer::Timer_MiniWindow]->SetHandler([this] { Call(&MainPresenter::OnTimerMiniWindow); });
  timers_[MainTimer::Timer_MBusUpdate]->SetHandler([this] {
    if (bus_update_) bus_update_();
  });
  timers_[MainTimer::Timer_Click]->SetHandler([this] {
    if (click_timer_) click_timer_();
  });
}

void MainForm::SetBusUpdateHandler(std::function<void()> handler) { bus_update_ = std::move(handler); }
void MainForm::SetClickTimerHandler(std::function<void()> handler) { click_timer_ = std::move(handler); }
void MainForm::SetAboutHandler(std::function<void()> handler) { about_ = std::move(handler); }
void MainForm::SetActionHandler(MainAction action, std::function<void()> handler) {
  actions_.at(action)->SetHandler(std::move(handler));
}
void MainForm::SetActionEnabled(MainAction action, bool enabled) { actions_.at(action)->SetEnabled(enabled); }

void MainForm::ShowTreePopup(model::TreePopup popup) {
  POINT cursor{};
  GetCursorPos(&cursor);
  if (popup == model::TreePopup::kForServer) {
    server_popup_->Popup(hwnd(), {cursor.x, cursor.y});
  } else if (popup == model::TreePopup::kForDevice) {
    for (MainAction a : {MainAction::Action_Connect, MainAction::Action_Disconnect,
                         MainAction::Action_Request, MainAction::Action_AConnectScan,
                         MainAction::Action_AConnectPrintSet, MainAction::Action_AConnectPrintDel}) {
      const winui::Action& action = *actions_.at(a);
      device_popup_->SetItemVisible(action, action.Enabled());
    }
    device_popup_->Popup(hwnd(), {cursor.x, cursor.y});
  }
}

bool MainForm::Create(HWND application_window) {
  app_window_ = application_window;
  winui::EnsureWindowClass(
      winui::WindowClassArgs{.name = "TMainFm", .icon = icon_main_, .small_icon = icon_main_});
  if (!Window::Create(winui::WindowArgs{.class_name = "TMainFm",
                                        .caption = "",
                                        .style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                        .bounds = {0, 0, 680, 404},
                                        .parent = application_window}))
    return false;
  tray_ = winui::TrayIcon(winui::TrayIconArgs{
      .owner = hwnd(), .id = 1, .callback_message = kAppMessage, .icon = icon_main_, .tip = ""});
  CreateControls();
  return true;
}

void MainForm::CreateControls() {
  main_panel_.CreateChild(hwnd(), kIdMainPanel, {0, 0, 680, 400});
  main_panel_.SetHook([this](UINT m, WPARAM w, LPARAM l) { return PanelColour(m, w, l); });
  control_bar_.CreateChild(main_panel_.hwnd(), kIdControlBar, {0, 0, 680, control_bar_height_});
  control_panel_.CreateChild(control_bar_.hwnd(), kIdControlPanel, {0, 0, kControlPanelWidth, 85});
  CreateToolBars();
  tree_ = winui::TreeView::Create({.parent = main_panel_.hwnd(),
                                   .id = kIdTree,
                                   .bounds = {0, 85, 680, 300},
                                   .extra_style = TVS_HASLINES | TVS_SHOWSELALWAYS | TVS_LINESATROOT});
  // MsgMemo lies over the tree: the tree must not paint over it.
  SetWindowLongPtrW(tree_.hwnd(), GWL_STYLE, GetWindowLongPtrW(tree_.hwnd(), GWL_STYLE) | WS_CLIPSIBLINGS);
  info_tree_ =
      winui::TreeView::Create({.parent = main_panel_.hwnd(), .id = kIdInfoTree, .bounds = {0, 300, 680, 80}});
  info_tree_.SetVisible(false);
  splitter_ = winui::Control(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_ETCHEDHORZ, 0, 296, 680, 3,
                                             main_panel_.hwnd(), reinterpret_cast<HMENU>(kIdSplitter),
                                             winui::Instance(), nullptr));
  // Centred, borderless, read-only: a message over the tree, not an input field.
  memo_ = winui::Edit(CreateWindowExW(
      0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_CENTER | ES_READONLY | ES_AUTOVSCROLL, 8, 93, 664, 200,
      main_panel_.hwnd(), reinterpret_cast<HMENU>(kIdMemo), winui::Instance(), nullptr));
  memo_.SetReadOnly(true);
  // Panel1: a small blank panel over the tree, shown when exactly one server is listed.
  blank_panel_ =
      winui::Control(CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 10, 90, 8, 8, main_panel_.hwnd(),
                                     reinterpret_cast<HMENU>(kIdBlankPanel), winui::Instance(), nullptr));
  memo_brush_ = CreateSolidBrush(RGB(255, 255, 255));
  SetMemoFontSize(9);
  status_bar_ =
      winui::Control(CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD, 0, 0, 0, 0, hwnd(),
                                     reinterpret_cast<HMENU>(kIdStatusBar), winui::Instance(), nullptr));
  Relayout();
}

void MainForm::CreateToolBars() {
  for (int k = 0; k < 3; ++k)
    bars_[k] = winui::ToolBar::Create({.parent = control_panel_.hwnd(),
                                       .id = kIdToolBar1 + k,
                                       .bounds = {11, 0, 0, 85},
                                       .button_height = 85});
  for (const auto& def : kButtons) {
    ButtonSlot& slot = Slot(def.button);
    Bar(def.bar).AddButton(slot.action, {.width = TextIdOf(def.button) ? 85 : 8, .toggle = def.toggle});
  }
}

std::optional<LRESULT> MainForm::PanelColour(UINT message, WPARAM wparam, LPARAM lparam) {
  if ((message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT) &&
      reinterpret_cast<HWND>(lparam) == memo_.hwnd()) {
    auto dc = reinterpret_cast<HDC>(wparam);
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(memo_brush_);
  }
  return std::nullopt;
}

void MainForm::Relayout() {
  if (!hwnd() || !main_panel_.hwnd()) return;
  RECT client{};
  GetClientRect(hwnd(), &client);
  int width = client.right, height = client.bottom;
  if (status_bar_ && status_bar_.Visible()) {
    SendMessageW(status_bar_.hwnd(), WM_SIZE, 0, 0);
    height -= status_bar_.Bounds().height;
  }
  main_panel_.SetBounds({0, 0, width, height});
  control_bar_.SetBounds({0, 0, width, control_bar_height_});
  int tree_top = control_bar_height_;
  int tree_height = std::max(height - tree_top, tree_min_height_);
  tree_.SetBounds({0, tree_top, width, tree_height});
  int memo_top = memo_top_ >= 0 ? memo_top_ : tree_top + 8;
  int memo_height = tree_top + tree_height - memo_top - 8;
  memo_.SetBounds({8, memo_top, std::max(width - 16, 0), std::max(memo_height, 0)});
}

void MainForm::OpenAutoConnectPrinterMenu() {
  // The button must not stay down; its menu opens below it.
  ButtonSlot& slot = Slot(ToolButton::SBtn_AConnectPrint);
  slot.action.SetChecked(false);
  Rect button = Bar(ToolBarId::ToolBar1).ButtonBounds(slot.action);
  RECT window{};
  GetWindowRect(hwnd(), &window);
  auto_connect_printer_menu_->Popup(hwnd(), {window.left + button.left + 8, window.top + 118});
}

std::optional<LRESULT> MainForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if (presenter_ && presenter_->OnSysCommand(wparam, lparam)) return 0;
      break;
    case WM_QUERYENDSESSION:
      if (presenter_) return presenter_->OnQueryEndSession() ? TRUE : FALSE;
      break;
    case WM_CLOSE:
      // The presenter refuses a close that arrives while its close sequence
      // pumps messages (whether WM_CLOSE or WM_QUERYENDSESSION started it).
      if (closing_) return 0;
      if (!presenter_ || presenter_->FormCloseQuery()) {
        closing_ = true;
        DestroyWindow(hwnd());
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      Relayout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, min_width_);
      info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, min_height_);
      return 0;
    }
    default:
      if (message == kAppMessage) {
        if (presenter_) presenter_->OnAppMessage(static_cast<int64_t>(lparam));
        return 0;
      }
      break;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

void MainForm::AttachMenus() {
  menu_bar_ = std::make_unique<winui::Menu>(winui::Menu::Kind::Bar);
  winui::Menu& file = menu_bar_->AddSubmenu(submenu_captions_[MenuItem::FileMenu]);
  file.Add(*items_[MenuItem::FileExit]);
  winui::Menu& tools = menu_bar_->AddSubmenu(submenu_captions_[MenuItem::Tools1]);
  for (MenuItem item :
       {MenuItem::Configure, MenuItem::AutoConnectPrinterList1, MenuItem::MItem_FaxList,
        MenuItem::AddWANServer1, MenuItem::MItem_DeleteWANServer, MenuItem::MItem_ImportImage1,
        MenuItem::MItem_ImportImage2, MenuItem::MItem_ImportImage3})
    tools.Add(*items_[item]);
  winui::Menu& help = menu_bar_->AddSubmenu(submenu_captions_[MenuItem::HelpMenu]);
  help.Add(*items_[MenuItem::MItem_HPage]).Add(*items_[MenuItem::HelpAbout]);
  menu_bar_->AttachTo(hwnd());
  Relayout();
}

void MainForm::ShowTheWindow() {
  int command = SW_SHOW;
  if (pending_state_ == WindowState::kMaximised) command = SW_SHOWMAXIMIZED;
  if (pending_state_ == WindowState::kMinimised) command = SW_SHOWMINIMIZED;
  pending_state_ = WindowState::kNormal;
  ShowWindow(hwnd(), command);
  Relayout();
}

void MainForm::ShowMainWindow() {
  if (IsWindowVisible(hwnd())) return;
  ShowTheWindow();
  // The show handler runs each time the window becomes visible.
  Call(&MainPresenter::FormShow);
}

void MainForm::HideMainWindow() { ShowWindow(hwnd(), SW_HIDE); }

void MainForm::CloseMainWindow() { PostMessageW(hwnd(), WM_CLOSE, 0, 0); }

void MainForm::ShowTrayMenu() {
  POINT cursor{};
  GetCursorPos(&cursor);
  tray_menu_->Popup(hwnd(), {cursor.x, cursor.y});
}

}  // namespace vx::app::win32
