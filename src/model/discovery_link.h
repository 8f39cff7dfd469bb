// The model's discovery seams over the discovery service: the per-server info
// query, and the socket rebuild after this PC's addresses changed.
#pragma once

#include <chrono>
#include <mutex>

#include "discovery/discovery_service.h"
#include "model/driver_events.h"
#include "model/model_ports.h"

namespace vx::model {

class DiscoveryLink final : public ServerInfoQueries, public DiscoveryControl, public TableLock {
 public:
  explicit DiscoveryLink(discovery::DiscoveryService& service);

  void StartServerInfoRequest(const std::string& ip, const std::string& location,
                              std::shared_ptr<std::atomic<bool>> pending,
                              std::function<void(const discovery::ServerInfo&)> sink) override;

  void SuspendListener() override;
  void ReopenSockets() override;
  void ResumeListener() override;
  void FindQuorinSend() override;

  // The discovery table's server-table lock.
  bool TryLock() override;
  void Unlock() override;

 private:
  discovery::DiscoveryService& service_;
  std::unique_lock<std::timed_mutex> held_;
};

}  // namespace vx::model
