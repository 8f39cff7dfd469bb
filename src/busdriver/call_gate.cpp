#include "busdriver/call_gate.h"

namespace vx::bus {

bool CallGate::Enter() {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  ++in_flight_;
  return true;
}

void CallGate::Leave() { Release(); }

bool CallGate::Close(const std::function<void()>& interrupt) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    closed_ = true;
    ++in_flight_;  // the close counts as a call until the interrupt is done
  }
  if (interrupt) interrupt();
  return Release();
}

bool CallGate::Release() {
  {
    std::lock_guard lock(mutex_);
    if (--in_flight_ > 0 || !closed_ || released_) return true;
    released_ = true;
  }
  return close_();
}

}  // namespace vx::bus
