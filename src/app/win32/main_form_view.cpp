// MainView of the main window: what the presenter tells the window to do.
#include <algorithm>

#include "app/win32/main_form.h"
#include "platform/text_codec.h"
#include "winui/kit.h"

namespace vx::app::win32 {

namespace {

int PointsToPixels(HWND hwnd, int points) {
  HDC dc = GetDC(hwnd);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(hwnd, dc);
  return -MulDiv(points, dpi, 72);
}

HFONT MakeFont(HWND hwnd, int points, int charset, bool bold) {
  return CreateFontW(PointsToPixels(hwnd, points), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     static_cast<BYTE>(charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

void ReplaceFont(HFONT& slot, HFONT font) {
  if (slot) DeleteObject(slot);
  slot = font;
}

Rect ScreenRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return winui::FromRECT(r);
}

}  // namespace

void MainForm::SetCaption(const std::string& text) { Window::SetCaption(text); }
std::string MainForm::Caption() const { return Window::Caption(); }

void MainForm::SetSizeConstraints(int min_width, int min_height) {
  min_width_ = min_width;
  min_height_ = min_height;
  SetBounds(Left(), Top(), Width(), Height());
}

int MainForm::Left() const { return ScreenRect(hwnd()).left; }
int MainForm::Top() const { return ScreenRect(hwnd()).top; }
int MainForm::Width() const { return ScreenRect(hwnd()).width; }
int MainForm::Height() const { return ScreenRect(hwnd()).height; }

void MainForm::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, min_width_);
  height = std::max(height, min_height_);
  SetWindowPos(hwnd(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainForm::SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
void MainForm::SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
void MainForm::SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
void MainForm::SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }

WindowState MainForm::GetWindowState() const {
  if (!IsWindowVisible(hwnd())) return pending_state_;
  if (IsIconic(hwnd())) return WindowState::kMinimised;
  if (IsZoomed(hwnd())) return WindowState::kMaximised;
  return WindowState::kNormal;
}

void MainForm::SetWindowState(WindowState state) {
  if (!IsWindowVisible(hwnd())) {
    pending_state_ = state;  // applied when the window is shown
    return;
  }
  ShowWindow(hwnd(), state == WindowState::kMaximised   ? SW_MAXIMIZE
                     : state == WindowState::kMinimised ? SW_MINIMIZE
                                                        : SW_RESTORE);
}

bool MainForm::IsMainWindowVisible() const { return IsWindowVisible(hwnd()) != FALSE; }
void MainForm::BringToForeground() { SetForegroundWindow(hwnd()); }
void MainForm::ShowApplicationWindow() {
  if (app_window_) ShowWindow(app_window_, SW_SHOWNORMAL);
}
void MainForm::HideApplicationWindow() {
  if (app_window_) ShowWindow(app_window_, SW_HIDE);
}

HICON MainForm::IconOf(AppIcon icon) const { return icon == AppIcon::kMain ? icon_main_ : icon_ng_; }

void MainForm::SetApplicationIcon(AppIcon icon) {
  app_icon_ = IconOf(icon);
  for (HWND w : {hwnd(), app_window_}) {
    if (!w) continue;
    SendMessageW(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app_icon_));
    SendMessageW(w, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app_icon_));
  }
}

Rect MainForm::WorkArea() const {
  RECT r{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) {
    r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return winui::FromRECT(r);
}

int MainForm::DoubleClickTimeMs() const { return static_cast<int>(GetDoubleClickTime()); }

HWND MainForm::ControlHandle(MainControl control) const {
  switch (control) {
    case MainControl::MainPanel:
      return main_panel_.hwnd();
    case MainControl::ControlBar1:
      return control_bar_.hwnd();
    case MainControl::ControlPanel:
      return control_panel_.hwnd();
    case MainControl::UDSTreeView:
      return tree_.hwnd();
    case MainControl::InfoTreeView:
      return info_tree_.hwnd();
    case MainControl::Splitter:
      return splitter_.hwnd();
    case MainControl::MsgMemo:
      return memo_.hwnd();
    case MainControl::StatusBar:
      return status_bar_.hwnd();
  }
  return nullptr;
}

void MainForm::SetControlVisible(MainControl control, bool visible) {
  HWND h = ControlHandle(control);
  if (!h) return;
  if (visible && control == MainControl::MsgMemo)
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(h, visible ? SW_SHOW : SW_HIDE);
  if (control == MainControl::StatusBar) Relayout();
}

bool MainForm::IsControlVisible(MainControl control) const {
  HWND h = ControlHandle(control);
  return h && (GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainForm::SetControlEnabled(MainControl control, bool enabled) {
  if (HWND h = ControlHandle(control)) EnableWindow(h, enabled);
}

void MainForm::SetFillsClientArea(MainControl) { Relayout(); }

void MainForm::SetControlBar(int height, int) {
  control_bar_height_ = height;
  Relayout();
}

void MainForm::SetControlPanelSize(int width, int height) { control_panel_.SetBounds({0, 0, width, height}); }

void MainForm::SetToolBarHeights(ToolBarId bar, int height, int button_height) {
  winui::ToolBar& b = Bar(bar);
  Rect r = b.Bounds();
  SendMessageW(b.hwnd(), TB_SETBUTTONSIZE, 0, MAKELPARAM(85, button_height));
  b.SetBounds({r.left, r.top, r.width, height});
}

int MainForm::ToolBarWidth(ToolBarId bar) const { return Bar(bar).Bounds().width; }
void MainForm::SetToolBarWidth(ToolBarId bar, int width) {
  Rect r = Bar(bar).Bounds();
  Bar(bar).SetBounds({r.left, r.top, width, r.height});
}
int MainForm::ToolBarLeft(ToolBarId bar) const { return Bar(bar).Bounds().left; }
void MainForm::SetToolBarLeft(ToolBarId bar, int left) {
  Rect r = Bar(bar).Bounds();
  Bar(bar).SetBounds({left, r.top, r.width, r.height});
}

int MainForm::ToolButtonWidth(ToolButton button) const {
  const ButtonSlot& s = Slot(button);
  return Bar(s.bar).ButtonWidth(s.action);
}
void MainForm::SetToolButtonWidth(ToolButton button, int width) {
  ButtonSlot& s = Slot(button);
  Bar(s.bar).SetButtonWidth(s.action, width);
}
bool MainForm::IsToolButtonVisible(ToolButton button) const { return Slot(button).action.Visible(); }
void MainForm::SetToolButtonVisible(ToolButton button, bool visible) {
  Slot(button).action.SetVisible(visible);
}
void MainForm::SetToolButtonEnabled(ToolButton button, bool enabled) {
  Slot(button).action.SetEnabled(enabled);
}
void MainForm::SetToolButtonCaption(ToolButton button, const std::string& text) {
  Slot(button).action.SetCaption(text);
}

void MainForm::SetToolButtonFontCharset(int charset) {
  ReplaceFont(button_font_, MakeFont(hwnd(), 9, charset, false));
  for (auto& bar : bars_) bar.SetFont(button_font_);
}

void MainForm::SetActionVisible(MainAction action, bool visible) { actions_.at(action)->SetVisible(visible); }
void MainForm::SetActionCaption(MainAction action, const std::string& text) {
  actions_.at(action)->SetCaption(text);
}

void MainForm::SetMenuItemVisible(MenuItem item, bool visible) {
  if (auto it = items_.find(item); it != items_.end()) it->second->SetVisible(visible);
}

void MainForm::SetMenuItemCaption(MenuItem item, const std::string& text) {
  if (auto it = items_.find(item); it != items_.end()) {
    it->second->SetCaption(text);
  } else {
    submenu_captions_[item] = text;  // the menu bar is built after the layout step
  }
}

void MainForm::SetTreeStyle(bool show_buttons, int indent) {
  LONG_PTR style = GetWindowLongPtrW(tree_.hwnd(), GWL_STYLE);
  style = show_buttons ? (style | TVS_HASBUTTONS) : (style & ~TVS_HASBUTTONS);
  SetWindowLongPtrW(tree_.hwnd(), GWL_STYLE, style);
  tree_.SetIndent(indent);
}

void MainForm::SetTreeMinHeight(int height) {
  tree_min_height_ = height;
  Relayout();
}

int MainForm::TreeTop() const { return tree_.Bounds().top; }
int MainForm::TreeHeight() const { return tree_.Bounds().height; }
// The tree fills the main panel; its height follows the window's.
void MainForm::SetTreeHeight(int) { Relayout(); }
bool MainForm::IsTreeEmpty() const { return tree_.Count() == 0; }
void MainForm::ClearTreeSelection() { tree_.Select(nullptr); }

void MainForm::SetTreeFont(int charset, int size) {
  ReplaceFont(tree_font_, MakeFont(hwnd(), size, charset, false));
  tree_.SetFont(tree_font_);
}

void MainForm::SetMemoText(const std::string& text) { memo_.SetText(text); }

void MainForm::SetMemoPlacement(int top, int height) {
  memo_top_ = top;
  memo_height_ = height;
  Relayout();
}

void MainForm::SetMemoReadOnly(bool read_only) { memo_.SetReadOnly(read_only); }

void MainForm::SetMemoFontSize(int size) {
  ReplaceFont(memo_font_, MakeFont(hwnd(), size, DEFAULT_CHARSET, true));
  memo_.SetFont(memo_font_);
}

void MainForm::SetTimerInterval(MainTimer timer, int ms) {
  timers_.at(timer)->SetInterval(static_cast<unsigned>(std::max(ms, 0)));
}
void MainForm::SetTimerEnabled(MainTimer timer, bool enabled) { timers_.at(timer)->SetEnabled(enabled); }
bool MainForm::IsTimerEnabled(MainTimer timer) const { return timers_.at(timer)->Enabled(); }

void MainForm::TrayAdd(const TrayIcon& icon) {
  tray_.SetIcon(IconOf(icon.icon));
  tray_.SetTip(icon.tip);
  tray_.Add();
}

void MainForm::TrayModify(const TrayIcon& icon) {
  tray_.SetIcon(IconOf(icon.icon));
  tray_.SetTip(icon.tip);
  if (tray_.IsAdded()) tray_.Modify();
}

void MainForm::TrayDelete() { tray_.Remove(); }

void MainForm::ShowWaitWindow(const std::string& caption, const std::string& text) {
  if (wait_window_) wait_window_->ShowTexts(caption, text);
}

void MainForm::HideWaitWindow() {
  if (wait_window_) wait_window_->Hide();
}

void MainForm::RepaintWaitWindow() {
  if (wait_window_) wait_window_->Repaint();
}

void MainForm::CloseWaitWindow() { HideWaitWindow(); }

}  // namespace vx::app::win32
