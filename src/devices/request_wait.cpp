#include "devices/request_wait.h"

#include "platform/trace.h"

namespace vx::devices {

const char* RequestOutcomeName(RequestOutcome o) {
  switch (o) {
    case RequestOutcome::kConnected:
      return "connected";
    case RequestOutcome::kClaimFailed:
      return "claim-failed";
    case RequestOutcome::kRefused:
      return "refused";
    case RequestOutcome::kTimeout:
      return "timeout";
  }
  return "?";
}

RequestOutcome WaitForRequestedDevice(const RequestWaitPorts& ports, int limit) {
  for (int polls = 0; polls < limit; ++polls) {
    if (ports.wait_refusal(kRequestPollInterval)) return RequestOutcome::kRefused;
    switch (ports.poll()) {
      case PolledDevice::kFree:
        return ports.connect() == ConnectResult::kConnected ? RequestOutcome::kConnected
                                                            : RequestOutcome::kClaimFailed;
      case PolledDevice::kHeldByThisPc:
        return RequestOutcome::kConnected;
      default:
        break;
    }
  }
  TraceLine("Request : no answer; withdrawn");
  ports.withdraw();
  return RequestOutcome::kTimeout;
}

}  // namespace vx::devices
