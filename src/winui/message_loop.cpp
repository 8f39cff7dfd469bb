#include "winui/message_loop.h"

#include <algorithm>
#include <vector>

namespace vx::winui {
namespace {

// Dialogs belong to the thread that created them.
thread_local std::vector<HWND> modeless_dialogs;

void Dispatch(MSG& msg) {
  if (TranslateDialogMessage(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void RegisterModelessDialog(HWND dialog) {
  if (dialog &&
      std::find(modeless_dialogs.begin(), modeless_dialogs.end(), dialog) == modeless_dialogs.end()) {
    modeless_dialogs.push_back(dialog);
  }
}

void UnregisterModelessDialog(HWND dialog) { std::erase(modeless_dialogs, dialog); }

bool TranslateDialogMessage(MSG& msg) {
  if (!msg.hwnd) return false;
  for (HWND dialog : modeless_dialogs) {
    if (dialog == msg.hwnd || IsChild(dialog, msg.hwnd)) return IsDialogMessageW(dialog, &msg) != FALSE;
  }
  return false;
}

int RunMessageLoop() {
  MSG msg;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    Dispatch(msg);
  }
}

bool ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    Dispatch(msg);
  }
  return true;
}

bool WaitPumping(HANDLE handle, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    DWORD wait = left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
    DWORD r = MsgWaitForMultipleObjectsEx(1, &handle, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) return true;
    if (r == WAIT_OBJECT_0 + 1) {
      if (!ProcessMessages()) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
      continue;
    }
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;  // time-out or failure
  }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds poll) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    DWORD wait = static_cast<DWORD>(std::max<int64_t>(0, std::min(left.count(), poll.count())));
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (!ProcessMessages()) return done();
  }
}

}  // namespace vx::winui
