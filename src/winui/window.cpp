#include "winui/window.h"

#include <utility>

#include "platform/text_codec.h"
#include "winui/action.h"
#include "winui/kit.h"

namespace vx::winui {

// ---- WindowClass -----------------------------------------------------------

namespace {

WNDCLASSEXW ClassInfo(const WindowClassArgs& args, const std::wstring& name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = args.style;
  wc.hInstance = Instance();
  wc.hIcon = args.icon;
  wc.hIconSm = args.small_icon;
  wc.hCursor = args.cursor ? args.cursor : LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = args.background;
  wc.lpszClassName = name.c_str();
  if (args.for_dialogs) {
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
  } else {
    wc.lpfnWndProc = KitWindowProcedure;
  }
  return wc;
}

}  // namespace

WindowClass::~WindowClass() {
  if (atom_) UnregisterClassW(name_.c_str(), Instance());
}

WindowClass::WindowClass(WindowClass&& other) noexcept
    : atom_(std::exchange(other.atom_, 0)), name_(std::move(other.name_)) {}

WindowClass& WindowClass::operator=(WindowClass&& other) noexcept {
  if (this != &other) {
    if (atom_) UnregisterClassW(name_.c_str(), Instance());
    atom_ = std::exchange(other.atom_, 0);
    name_ = std::move(other.name_);
  }
  return *this;
}

WindowClass WindowClass::Register(const WindowClassArgs& args, DWORD* error) {
  WindowClass result;
  result.name_ = Widen(args.name);
  WNDCLASSEXW wc = ClassInfo(args, result.name_);
  result.atom_ = RegisterClassExW(&wc);
  if (!result.atom_ && error) *error = GetLastError();
  return result;
}

bool EnsureWindowClass(const WindowClassArgs& args) {
  std::wstring name = Widen(args.name);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(Instance(), name.c_str(), &existing)) return true;
  WNDCLASSEXW wc = ClassInfo(args, name);
  if (RegisterClassExW(&wc)) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// ---- Window ----------------------------------------------------------------

Window::~Window() {
  if (hwnd_) {
    HWND hwnd = std::exchange(hwnd_, nullptr);
    SetWindowLongPtrW(hwnd, is_dialog_ ? DWLP_USER : GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  }
}

bool Window::Create(const WindowArgs& args) {
  if (hwnd_) {
    last_error_ = ERROR_ALREADY_EXISTS;
    return false;
  }
  if (!EnsureWindowClass(WindowClassArgs{.name = args.class_name})) {
    last_error_ = GetLastError();
    return false;
  }
  HWND parent = args.message_only ? HWND_MESSAGE : args.parent;
  const Rect& b = args.bounds;
  HWND hwnd =
      CreateWindowExW(args.ex_style, Widen(args.class_name).c_str(), Widen(args.caption).c_str(), args.style,
                      b.left, b.top, b.width, b.height, parent, nullptr, Instance(), this);
  if (!hwnd) {
    last_error_ = GetLastError();
    return false;
  }
  last_error_ = 0;
  return true;
}

void Window::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
}

std::string Window::Caption() const { return hwnd_ ? WindowText(hwnd_) : std::string(); }

void Window::SetCaption(std::string_view caption) {
  if (hwnd_) SetWindowTextW(hwnd_, Widen(caption).c_str());
}

void Window::Show(int command) {
  if (hwnd_) ShowWindow(hwnd_, command);
}

void Window::Hide() { Show(SW_HIDE); }

bool Window::IsVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

void Window::SetEnabled(bool enabled) {
  if (hwnd_) EnableWindow(hwnd_, enabled);
}

bool Window::IsEnabled() const { return hwnd_ && IsWindowEnabled(hwnd_); }

Rect Window::Bounds() const {
  RECT r{};
  if (!hwnd_ || !GetWindowRect(hwnd_, &r)) return {};
  HWND parent = GetParent(hwnd_);
  if (parent && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  return FromRECT(r);
}

void Window::SetBounds(const Rect& b) {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

Size Window::ClientSize() const {
  RECT r{};
  if (!hwnd_ || !GetClientRect(hwnd_, &r)) return {};
  return Size{r.right - r.left, r.bottom - r.top};
}

void Window::OnCommand(int id, std::function<void(int)> handler) {
  command_handlers_[id] = std::move(handler);
}

void Window::OnNotify(int id, std::function<std::optional<LRESULT>(NMHDR&)> handler) {
  notify_handlers_[id] = std::move(handler);
}

std::optional<LRESULT> Window::RouteCommand(WPARAM wparam, LPARAM lparam) {
  int id = LOWORD(wparam);
  int code = HIWORD(wparam);
  auto it = command_handlers_.find(id);
  if (it != command_handlers_.end() && it->second) {
    it->second(code);
    return 0;
  }
  // Menus (no control), accelerators (code 1) and tool bar buttons send the
  // command id of their action. A disabled action ignores it.
  bool from_control = lparam != 0;
  if (!from_control || code == BN_CLICKED) {
    if (Action* action = Action::FromCommand(static_cast<UINT>(id))) {
      action->Execute();
      return 0;
    }
  }
  return std::nullopt;
}

std::optional<LRESULT> Window::RouteNotify(LPARAM lparam) {
  auto* header = reinterpret_cast<NMHDR*>(lparam);
  if (!header) return std::nullopt;
  auto it = notify_handlers_.find(static_cast<int>(header->idFrom));
  if (it != notify_handlers_.end() && it->second) return it->second(*header);
  return std::nullopt;
}

std::optional<LRESULT> Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      return RouteCommand(wparam, lparam);
    case WM_NOTIFY:
      return RouteNotify(lparam);
    default:
      return std::nullopt;
  }
}

Window* Window::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == KitWindowProcedure) {
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hwnd, DWLP_DLGPROC)) == KitDialogProcedure) {
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  return nullptr;
}

// The one window procedure of the program.
LRESULT CALLBACK KitWindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    self = static_cast<Window*>(create->lpCreateParams);
    if (self) {
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }

  std::optional<LRESULT> result;
  if (self) {
    try {
      result = self->HandleMessage(message, wparam, lparam);
    } catch (...) {
      ReportCurrentException();
      result.reset();
    }
  }
  LRESULT value = result ? *result : DefWindowProcW(hwnd, message, wparam, lparam);

  if (message == WM_NCDESTROY && self) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    Guard([self] { self->OnDestroyed(); });
  }
  return value;
}

}  // namespace vx::winui
