// Waiting on a condition in tests: polls `done` until it holds or a generous
// deadline passes (the deadline only bounds a failing test).
#pragma once

#include <chrono>
#include <thread>

namespace vx::discovery::testing {

template <class Pred>
bool WaitUntil(Pred done, std::chrono::milliseconds deadline = std::chrono::milliseconds(10000)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace vx::discovery::testing
