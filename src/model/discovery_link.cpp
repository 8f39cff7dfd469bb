#include "model/discovery_link.h"

#include "platform/trace.h"

namespace vx::model {

DiscoveryLink::DiscoveryLink(discovery::DiscoveryService& service) : service_(service) {}

void DiscoveryLink::StartServerInfoRequest(const std::string& ip, const std::string& location,
                                           std::shared_ptr<std::atomic<bool>> pending,
                                           std::function<void(const discovery::ServerInfo&)> sink) {
  service_.InfoRequests().StartServerInfoRequest(ip, location, std::move(pending), std::move(sink));
}

// The listener must have let go of the old sockets before port 7419 is
// opened again, or the new socket finds the port taken by our own. (The
// discovery request is sent by the caller once the selection is cleared.)
void DiscoveryLink::SuspendListener() {
  auto* listener = service_.Listener();
  if (!listener) return;
  listener->Suspend();
  if (!listener->WaitParked(service_.Core().Settings().release_wait))
    TraceLine("RebuildSockets : the listener did not park in time");
}

void DiscoveryLink::ReopenSockets() {
  discovery::Discovery& core = service_.Core();
  core.CloseSockets();
  if (!core.Sockets().WaitAllClosed(core.Settings().release_wait))
    TraceLine("RebuildSockets : old sockets still held");
  core.OpenWorkingSockets();
}

void DiscoveryLink::ResumeListener() {
  if (auto* listener = service_.Listener()) listener->Resume();
}

void DiscoveryLink::FindQuorinSend() { service_.Core().FindQuorinSend(); }

bool DiscoveryLink::TryLock() {
  auto lock = service_.Core().Table().Hold(std::chrono::milliseconds(0));
  if (!lock.owns_lock()) return false;
  held_ = std::move(lock);
  return true;
}

void DiscoveryLink::Unlock() {
  if (held_.owns_lock()) held_.unlock();
}

}  // namespace vx::model
