// The message loop, the process-messages pump and waits that keep pumping.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <chrono>
#include <functional>

namespace vx::winui {

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Dispatches every message waiting for this thread and returns. False when
// WM_QUIT was among them (it is posted again, so the outer loop ends too).
bool ProcessMessages();

// Waits until `handle` is signalled while dispatching the thread's messages,
// at most `timeout`. True when it was signalled.
bool WaitPumping(HANDLE handle, std::chrono::milliseconds timeout);

// Pumps messages until `done()` is true or `timeout` has passed; checks the
// condition at least every `poll` even when no message arrives (for
// conditions that other threads change). True when `done()` became true.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds poll = std::chrono::milliseconds(5));

// Keyboard navigation of modeless dialogs: the kit's dialogs register
// themselves; the loops above give them their messages first.
void RegisterModelessDialog(HWND dialog);
void UnregisterModelessDialog(HWND dialog);
// True when `msg` was a dialog-navigation message and has been handled.
bool TranslateDialogMessage(MSG& msg);

}  // namespace vx::winui
