// Helpers for the kit's Wine tests: bounded waits that pump messages, an
// exception reporter that records instead of showing a box, a plain window
// to own controls, and a finder for message boxes of other threads.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "winui/kit.h"
#include "winui/message_loop.h"
#include "winui/window.h"

namespace vx::winui::testing {

using namespace std::chrono_literals;

// Pumps this thread's messages until `done` or five seconds.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5000ms) {
  return PumpUntil(done, timeout);
}

// Records the exceptions caught at the boundary while it lives.
class ReportedExceptions {
 public:
  ReportedExceptions() {
    previous_ = SetExceptionReporter([this](const std::string& message) { messages.push_back(message); });
  }
  ~ReportedExceptions() { SetExceptionReporter(std::move(previous_)); }
  std::vector<std::string> messages;

 private:
  ExceptionReporter previous_;
};

// A hidden top-level window to parent controls and own dialogs.
class HostWindow : public Window {
 public:
  HostWindow() { Create(WindowArgs{.class_name = "VxTestHost", .caption = "Kit test host"}); }
};

// Polls (from a helper thread) for a visible top-level window of
// `window_class` whose caption is `caption`, at most five seconds; nullptr
// when none came. A dialog becomes visible once it has been initialised.
inline HWND FindTopLevel(const wchar_t* window_class, const std::string& caption) {
  std::wstring wide = Widen(caption);
  for (int i = 0; i < 500; ++i) {
    HWND found = FindWindowW(window_class, wide.c_str());
    if (found && IsWindowVisible(found)) return found;
    Sleep(10);
  }
  return nullptr;
}

}  // namespace vx::winui::testing
