// The calls in flight on one driver handle, so that closing the handle never
// waits behind them: Close marks the handle closed at once (later calls are
// refused), lets the caller interrupt what is in flight, and the close itself
// is carried out by whichever call leaves last. Calls are not serialised.
#pragma once

#include <functional>
#include <mutex>

namespace vx::bus {

class CallGate {
 public:
  // `close` releases the handle; it runs exactly once, with no call in flight.
  explicit CallGate(std::function<bool()> close) : close_(std::move(close)) {}
  CallGate(const CallGate&) = delete;
  CallGate& operator=(const CallGate&) = delete;

  // A call begins; false once the handle is closed (the call must fail).
  bool Enter();
  // The call has ended.
  void Leave();
  // Marks the handle closed and runs `interrupt` while the handle is still
  // usable (it should make the calls in flight return). Returns at once:
  // false when it was closed already, else the result of the close, or true
  // when the close is left to the last call in flight.
  bool Close(const std::function<void()>& interrupt);

 private:
  // Ends one call or the close; runs the close when it is the last.
  bool Release();

  std::function<bool()> close_;
  std::mutex mutex_;
  int in_flight_ = 0;
  bool closed_ = false;
  bool released_ = false;
};

}  // namespace vx::bus
