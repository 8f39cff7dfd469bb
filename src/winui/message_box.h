// Message boxes: text, caption, buttons, icon, topmost. The result keeps
// "could not be shown" apart from "the user cancelled".
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <string>

namespace vx::winui {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageResult { Failed, Ok, Cancel, Yes, No, Abort, Retry, Ignore };

struct MessageBoxArgs {
  std::string text{};
  std::string caption{};
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  bool topmost = false;
  HWND owner = nullptr;
};

// Shows the box modally and returns the button the user chose.
MessageResult ShowMessageBox(const MessageBoxArgs& args);

// The MessageBox flags for `args` (buttons, icon, topmost).
UINT MessageBoxFlags(const MessageBoxArgs& args);

}  // namespace vx::winui
