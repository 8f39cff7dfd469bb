#include "winui/dialog.h"

#include <vector>

#include "platform/text_codec.h"
#include "winui/kit.h"
#include "winui/message_loop.h"

namespace vx::winui {
namespace {

// The messages whose result a dialog procedure returns directly instead of
// through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

struct DisabledWindows {
  HWND keep;
  std::vector<HWND> windows;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lparam) {
  auto* state = reinterpret_cast<DisabledWindows*>(lparam);
  if (hwnd != state->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    EnableWindow(hwnd, FALSE);
    state->windows.push_back(hwnd);
  }
  return TRUE;
}

}  // namespace

Dialog::Dialog(std::string class_name) : class_name_(std::move(class_name)) { is_dialog_ = true; }

Dialog::~Dialog() { UnregisterModelessDialog(hwnd()); }

std::wstring Dialog::TemplateName() const {
  std::wstring name = Widen(class_name_);
  for (auto& c : name) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return name;
}

bool Dialog::Create(HWND owner, HMODULE module) {
  if (hwnd_) {
    last_error_ = ERROR_ALREADY_EXISTS;
    return false;
  }
  if (!module) module = Instance();
  std::wstring name = TemplateName();
  if (!FindResourceW(module, name.c_str(), reinterpret_cast<LPCWSTR>(RT_DIALOG))) {
    last_error_ = ERROR_RESOURCE_NAME_NOT_FOUND;
    return false;
  }
  if (!EnsureWindowClass(WindowClassArgs{.name = class_name_, .for_dialogs = true})) {
    last_error_ = GetLastError();
    return false;
  }
  HWND hwnd =
      CreateDialogParamW(module, name.c_str(), owner, KitDialogProcedure, reinterpret_cast<LPARAM>(this));
  if (!hwnd) {
    last_error_ = GetLastError();
    if (last_error_ == 0) last_error_ = ERROR_CANNOT_MAKE;
    return false;
  }
  RegisterModelessDialog(hwnd);
  last_error_ = 0;
  return true;
}

HWND Dialog::Item(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }

int Dialog::ShowModal() {
  if (!hwnd_ || modal_) return -1;
  modal_ = true;
  modal_result_.reset();
  DisabledWindows disabled{hwnd_, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
  EnableWindow(hwnd_, TRUE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);

  MSG msg;
  while (!modal_result_ && hwnd_ && IsWindow(hwnd_)) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The program is quitting: let the outer loop see WM_QUIT too.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!TranslateDialogMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  for (HWND hwnd : disabled.windows) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  modal_ = false;
  return modal_result_.value_or(IDCANCEL);
}

void Dialog::EndModal(int result) {
  if (modal_) {
    modal_result_ = result;
    // Wakes the modal loop should it be waiting in GetMessage.
    if (hwnd_) PostMessageW(hwnd_, WM_NULL, 0, 0);
  }
}

void Dialog::OnOkCancel(int id) {
  if (modal_) {
    EndModal(id);
  } else {
    Hide();
  }
}

std::optional<LRESULT> Dialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return OnInitDialog() ? TRUE : FALSE;
  if (message == WM_CLOSE) {
    OnOkCancel(IDCANCEL);
    return 0;
  }
  auto routed = Window::HandleMessage(message, wparam, lparam);
  if (routed) return routed;
  // Enter and Esc arrive as IDOK and IDCANCEL too (without a control).
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) &&
      HIWORD(wparam) == BN_CLICKED) {
    OnOkCancel(LOWORD(wparam));
    return 0;
  }
  return std::nullopt;
}

// The one dialog procedure of the program.
INT_PTR CALLBACK KitDialogProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lparam);
    if (self) {
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(static_cast<Window*>(self)));
    }
  } else {
    self = static_cast<Dialog*>(reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, DWLP_USER)));
  }
  if (!self) return FALSE;

  std::optional<LRESULT> result;
  try {
    result = self->HandleMessage(message, wparam, lparam);
  } catch (...) {
    ReportCurrentException();
    result.reset();
    if (message == WM_INITDIALOG) result = TRUE;
  }

  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    UnregisterModelessDialog(hwnd);
    self->hwnd_ = nullptr;
    if (self->modal_) self->modal_result_ = self->modal_result_.value_or(IDCANCEL);
    Guard([self] { self->OnDestroyed(); });
  }

  if (!result) return FALSE;
  if (ReturnsDirectly(message)) return static_cast<INT_PTR>(*result);
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, *result);
  return TRUE;
}

}  // namespace vx::winui
