// The asking side of a sharing request once the request is sent: the device
// list is polled every 2 s; as soon as the device is free it is claimed and
// locked as a manual connect; a refusal from the holder ends the wait; after
// the time limit the request is withdrawn.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "devices/device_ops.h"

namespace vx::devices {

inline constexpr std::chrono::milliseconds kRequestPollInterval{2000};
inline constexpr int kRequestPollLimit = 50;

// What a poll found of the requested device.
enum class PolledDevice { kMissing, kFree, kHeldByOther, kHeldByThisPc, kListUnavailable };

enum class RequestOutcome {
  kConnected,    // found free, claimed and locked
  kClaimFailed,  // found free, but the claim (or the lock) failed: nothing held
  kRefused,      // the holder refused
  kTimeout,      // the time limit passed; the request was withdrawn
};
const char* RequestOutcomeName(RequestOutcome o);

struct RequestWaitPorts {
  // Reads the device list and tells what it shows of the device.
  std::function<PolledDevice()> poll;
  // Claims and locks the freed device.
  std::function<ConnectResult()> connect;
  // Waits up to the given time; returns early (true) when a refusal arrived.
  std::function<bool(std::chrono::milliseconds)> wait_refusal;
  // Sends the withdrawal.
  std::function<void()> withdraw;
};

// Polls at most `limit` times (the first poll after one interval).
RequestOutcome WaitForRequestedDevice(const RequestWaitPorts& ports, int limit = kRequestPollLimit);

}  // namespace vx::devices
