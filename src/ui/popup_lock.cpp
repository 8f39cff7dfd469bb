#include "ui/popup_lock.h"

namespace vx::ui {

void PopupLock::LockPumping(MainThread& main, Clock& clock, Clock::Duration poll) {
  // Pumping keeps the window alive while a watcher holds the lock; the
  // watcher's own hand-overs to the main thread run meanwhile.
  while (!TryLock()) {
    main.ProcessMessages();
    clock.SleepFor(poll);
  }
}

}  // namespace vx::ui
