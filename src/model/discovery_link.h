// The model's discovery seams over the discovery service: the per-server info
// query, and the socket rebuild after this PC's addresses changed.
#pragma once

#include <chrono>

#include "discovery/discovery_service.h"
#include "model/driver_events.h"
#include "model/model_ports.h"

namespace vx::model {

class DiscoveryLink final : public ServerInfoQueries, public DiscoveryControl {
 public:
  // `park_timeout`: how long the rebuild waits for the listener to let go of
  // its sockets (it serves the main thread's hand-overs meanwhile).
  explicit DiscoveryLink(discovery::DiscoveryService& service,
                         std::chrono::milliseconds park_timeout = std::chrono::milliseconds(6000));

  void StartServerInfoRequest(const std::string& ip, const std::string& location,
                              std::shared_ptr<std::atomic<bool>> pending,
                              std::function<void(const discovery::ServerInfo&)> sink) override;

  void SuspendListener() override;
  void ReopenSockets() override;
  void ResumeListener() override;
  void FindQuorinSend() override;

 private:
  discovery::DiscoveryService& service_;
  std::chrono::milliseconds park_timeout_;
};

}  // namespace vx::model
