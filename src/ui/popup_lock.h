// The popup lock: the one process-wide lock of the notification popups,
// made when the main window is created and shared with the print watchers.
// Every change of the popup slots is made under it. It is recursive: the
// thread that holds it may take it again (a popup closed inside a locked
// close of the watcher), and must release it as often as it took it.
#pragma once

#include <chrono>
#include <mutex>

#include "platform/clock.h"
#include "platform/main_thread.h"

namespace vx::ui {

class PopupLock {
 public:
  PopupLock() = default;
  PopupLock(const PopupLock&) = delete;
  PopupLock& operator=(const PopupLock&) = delete;

  // Takes the lock without waiting: false when another thread holds it.
  bool TryLock() { return mutex_.try_lock(); }
  // Takes the lock as the closing step does: tries it; while another thread
  // holds it, pumps `main`'s pending messages and sleeps `poll` on `clock`.
  void LockPumping(MainThread& main, Clock& clock, Clock::Duration poll = std::chrono::milliseconds(200));
  void Unlock() { mutex_.unlock(); }

  // Lockable, for std::unique_lock and std::scoped_lock.
  void lock() { mutex_.lock(); }
  bool try_lock() { return TryLock(); }
  void unlock() { Unlock(); }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace vx::ui
