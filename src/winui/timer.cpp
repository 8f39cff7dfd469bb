#include "winui/timer.h"

#include <atomic>
#include <map>
#include <stdexcept>

#include "winui/window.h"

namespace vx::winui {
namespace {

// One hidden message-only window per thread receives the WM_TIMER messages of
// that thread's timers.
class TimerHost final : public Window {
 public:
  std::map<UINT_PTR, Timer*> timers;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_TIMER) {
      auto it = timers.find(static_cast<UINT_PTR>(wparam));
      if (it != timers.end()) it->second->Fire();
      return 0;
    }
    return Window::HandleMessage(message, wparam, lparam);
  }
};

TimerHost& Host() {
  // Lives as long as its thread; the system destroys the window then.
  thread_local TimerHost* host = nullptr;
  if (!host) {
    auto* created = new TimerHost;
    if (!created->Create(WindowArgs{.class_name = "VxTimerHost", .style = 0, .message_only = true})) {
      delete created;
      throw std::runtime_error("cannot create the timer window");
    }
    host = created;
  }
  return *host;
}

UINT_PTR NextTimerId() {
  static std::atomic<UINT_PTR> next{1};
  return next++;
}

}  // namespace

Timer::Timer(TimerArgs args)
    : handler_(std::move(args.handler)),
      interval_ms_(args.interval_ms),
      enabled_(args.enabled),
      id_(NextTimerId()) {
  TimerHost& host = Host();
  host_ = host.hwnd();
  host.timers[id_] = this;
  Arm();
}

Timer::~Timer() {
  KillTimer(host_, id_);
  // The host of the creating thread, even if another thread destroys the timer.
  if (auto* host = dynamic_cast<TimerHost*>(Window::FromHandle(host_))) host->timers.erase(id_);
}

void Timer::SetInterval(unsigned interval_ms) {
  interval_ms_ = interval_ms;
  Arm();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Arm();
}

void Timer::Arm() {
  if (enabled_ && interval_ms_ > 0) {
    SetTimer(host_, id_, interval_ms_, nullptr);
  } else {
    KillTimer(host_, id_);
  }
}

void Timer::Fire() {
  if (!enabled_ || interval_ms_ == 0 || !handler_) return;
  Handler handler = handler_;
  handler();
}

}  // namespace vx::winui
