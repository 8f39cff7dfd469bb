#include "model/discovery_link.h"

#include "platform/trace.h"

namespace vx::model {

DiscoveryLink::DiscoveryLink(discovery::DiscoveryService& service, std::chrono::milliseconds park_timeout)
    : service_(service), park_timeout_(park_timeout) {}

void DiscoveryLink::StartServerInfoRequest(const std::string& ip, const std::string& location,
                                           std::shared_ptr<std::atomic<bool>> pending,
                                           std::function<void(const discovery::ServerInfo&)> sink) {
  service_.InfoRequests().StartServerInfoRequest(ip, location, std::move(pending), std::move(sink));
}

// The listener must have let go of the old sockets before port 7419 is
// opened again, or the new socket finds the port taken by our own.
void DiscoveryLink::SuspendListener() {
  auto* listener = service_.Listener();
  if (!listener) return;
  listener->Suspend();
  Clock& clock = service_.Core().GetClock();
  MainThread& main_thread = service_.Core().GetMainThread();
  const auto deadline = clock.Now() + park_timeout_;
  while (!listener->Parked() && clock.Now() < deadline) {
    main_thread.ProcessMessages();  // the listener may be handing work over
    clock.SleepFor(std::chrono::milliseconds(20));
  }
  if (!listener->Parked()) TraceLine("FindQuorinThread did not park; reopening anyway");
}

void DiscoveryLink::ReopenSockets() {
  service_.Core().CloseSockets();
  service_.Core().OpenWorkingSockets();
}

void DiscoveryLink::ResumeListener() {
  if (auto* listener = service_.Listener()) listener->Resume();
}

void DiscoveryLink::FindQuorinSend() { service_.Core().FindQuorinSend(); }

}  // namespace vx::model
