// Process-wide parts of the Win32 kit: initialisation, the module whose
// resources it loads, the application title, and the exception boundary that
// every message procedure of the program goes through.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace vx::winui {

// Registers the common control classes (once; later calls do nothing). Every
// control wrapper calls it, so the program needs to call it only if it
// creates common controls by hand.
void InitKit();

// The module that holds the program's resources (the .exe).
HINSTANCE Instance();

// The application title: the caption of message boxes the kit shows on its
// own (the exception box). Main thread.
void SetApplicationTitle(std::string title);
std::string ApplicationTitle();

// What happens with an exception caught at the boundary. The default shows the
// standard exception message box and returns, so the message loop continues.
// Tests install a reporter that records the message. Returns the previous one.
using ExceptionReporter = std::function<void(const std::string& message)>;
ExceptionReporter SetExceptionReporter(ExceptionReporter reporter);

// The standard exception message box: the message (ending with a full stop),
// the application title as caption, OK, the error icon.
void ShowExceptionMessage(const std::string& message);

// Reports the exception being handled; call it inside `catch (...)`.
// Never throws.
void ReportCurrentException() noexcept;

// Runs `fn` at the boundary: an exception is reported and swallowed. Returns
// false when one was thrown.
template <typename Fn>
bool Guard(Fn&& fn) noexcept {
  try {
    fn();
    return true;
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

// `text` as UTF-16, cut to at most `max_units` code units without splitting a
// surrogate pair (for fixed-size fields such as the tray tip).
std::wstring FitText(std::string_view text, size_t max_units);

// The text of a window (caption of a top-level window, text of a control).
std::string WindowText(HWND hwnd);

}  // namespace vx::winui
