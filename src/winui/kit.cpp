#include "winui/kit.h"

#include <commctrl.h>

#include <exception>
#include <mutex>
#include <utility>

#include "platform/text_codec.h"
#include "platform/trace.h"

namespace vx::winui {
namespace {

struct KitState {
  std::mutex mutex;
  std::string title;
  ExceptionReporter reporter;
};

KitState& State() {
  static KitState state;
  return state;
}

std::string MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

}  // namespace

void InitKit() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES |
                                              ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
  });
}

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

void SetApplicationTitle(std::string title) {
  std::lock_guard lock(State().mutex);
  State().title = std::move(title);
}

std::string ApplicationTitle() {
  std::lock_guard lock(State().mutex);
  return State().title;
}

ExceptionReporter SetExceptionReporter(ExceptionReporter reporter) {
  std::lock_guard lock(State().mutex);
  return std::exchange(State().reporter, std::move(reporter));
}

void ShowExceptionMessage(const std::string& message) {
  std::string text = message.empty() ? std::string("Unknown exception") : message;
  if (text.back() != '.') text += '.';
  std::string caption = ApplicationTitle();
  std::wstring wide_caption = Widen(caption);
  MessageBoxW(nullptr, Widen(text).c_str(), caption.empty() ? nullptr : wide_caption.c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void ReportCurrentException() noexcept {
  try {
    std::string message = MessageOf(std::current_exception());
    TraceLine("Exception at the message boundary : " + message);
    ExceptionReporter reporter;
    {
      std::lock_guard lock(State().mutex);
      reporter = State().reporter;
    }
    if (reporter) {
      reporter(message);
    } else {
      ShowExceptionMessage(message);
    }
  } catch (...) {
    // The boundary must hold even when reporting fails (out of memory).
  }
}

std::wstring FitText(std::string_view text, size_t max_units) {
  std::wstring wide = Widen(text);
  if (wide.size() <= max_units) return wide;
  size_t cut = max_units;
  // Do not keep the high half of a pair whose low half is cut away.
  if (cut > 0 && wide[cut - 1] >= 0xD800 && wide[cut - 1] <= 0xDBFF) --cut;
  wide.resize(cut);
  return wide;
}

std::string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  buffer.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return Narrow(buffer);
}

}  // namespace vx::winui
