#include "winui/message_box.h"

#include <string_view>

#include "platform/text_codec.h"

namespace vx::winui {

UINT MessageBoxFlags(const MessageBoxArgs& args) {
  UINT flags = 0;
  switch (args.buttons) {
    case MessageButtons::Ok:
      flags |= MB_OK;
      break;
    case MessageButtons::OkCancel:
      flags |= MB_OKCANCEL;
      break;
    case MessageButtons::YesNo:
      flags |= MB_YESNO;
      break;
    case MessageButtons::YesNoCancel:
      flags |= MB_YESNOCANCEL;
      break;
    case MessageButtons::RetryCancel:
      flags |= MB_RETRYCANCEL;
      break;
    case MessageButtons::AbortRetryIgnore:
      flags |= MB_ABORTRETRYIGNORE;
      break;
  }
  switch (args.icon) {
    case MessageIcon::None:
      break;
    case MessageIcon::Information:
      flags |= MB_ICONINFORMATION;
      break;
    case MessageIcon::Warning:
      flags |= MB_ICONWARNING;
      break;
    case MessageIcon::Error:
      flags |= MB_ICONERROR;
      break;
    case MessageIcon::Question:
      flags |= MB_ICONQUESTION;
      break;
  }
  if (args.topmost) flags |= MB_TOPMOST | MB_SETFOREGROUND;
  if (!args.owner) flags |= MB_TASKMODAL;
  return flags;
}

namespace {

// Not every system honours MB_TOPMOST (some leave the box in the normal
// band): a hook on this thread makes the box topmost when it is first
// activated.
struct TopmostRequest {
  HHOOK hook = nullptr;
  bool done = false;
};
thread_local TopmostRequest topmost;

LRESULT CALLBACK MakeTopmost(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && !topmost.done) {
    auto box = reinterpret_cast<HWND>(wparam);
    wchar_t window_class[16] = {};
    GetClassNameW(box, window_class, 16);
    if (std::wstring_view(window_class) == L"#32770") {
      SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      topmost.done = true;
    }
  }
  return CallNextHookEx(topmost.hook, code, wparam, lparam);
}

}  // namespace

MessageResult ShowMessageBox(const MessageBoxArgs& args) {
  TopmostRequest outer = topmost;
  topmost = TopmostRequest{};
  if (args.topmost) topmost.hook = SetWindowsHookExW(WH_CBT, MakeTopmost, nullptr, GetCurrentThreadId());
  int chosen =
      MessageBoxW(args.owner, Widen(args.text).c_str(), Widen(args.caption).c_str(), MessageBoxFlags(args));
  if (topmost.hook) UnhookWindowsHookEx(topmost.hook);
  topmost = outer;
  switch (chosen) {
    case IDOK:
      return MessageResult::Ok;
    case IDCANCEL:
      return MessageResult::Cancel;
    case IDYES:
      return MessageResult::Yes;
    case IDNO:
      return MessageResult::No;
    case IDABORT:
      return MessageResult::Abort;
    case IDRETRY:
      return MessageResult::Retry;
    case IDIGNORE:
      return MessageResult::Ignore;
    default:
      return MessageResult::Failed;
  }
}

}  // namespace vx::winui
