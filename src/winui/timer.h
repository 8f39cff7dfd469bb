// Timers with an interval and an enabled state. A timer fires on the thread
// that created it, from that thread's message loop, through the kit's window
// procedure (so an exception of its handler is caught at the boundary).
// An interval of 0 keeps the timer from firing. Non-copyable, non-movable.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <functional>

namespace vx::winui {

struct TimerArgs {
  std::function<void()> handler;
  unsigned interval_ms = 1000;  // 0 never fires
  bool enabled = false;
};

class Timer {
 public:
  using Handler = std::function<void()>;

  explicit Timer(TimerArgs args = {});
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  unsigned Interval() const { return interval_ms_; }
  // Changing the interval of an enabled timer starts its period anew.
  void SetInterval(unsigned interval_ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  // Called by the kit when the timer fires (ignored while disabled, so a
  // tick already queued when it was disabled does not run the handler).
  void Fire();

 private:
  void Arm();

  Handler handler_;
  unsigned interval_ms_;
  bool enabled_;
  UINT_PTR id_;
  HWND host_;
};

}  // namespace vx::winui
