#include "discovery/discovery_service.h"

#include <exception>

#include "platform/trace.h"

namespace vx::discovery {

DiscoveryService::DiscoveryService(net::NetworkPort& net, Clock& clock, MainThread& main_thread,
                                   const TextCodec& codec, DiscoverySettings settings)
    : discovery_(net, clock, main_thread, codec, settings), info_requests_(discovery_) {}

DiscoveryService::~DiscoveryService() {
  StopListener();
  discovery_.CloseSockets();
}

void DiscoveryService::StartDiscovery(ListenerWiring wiring) {
  discovery_.FindQuorinSend();
  try {
    listener_ = std::make_unique<TFindQuorinThread>(discovery_, wiring);
    listener_->Start();
    TraceLine("FindQuorin Thread Start ---------------------------------");
  } catch (const std::exception&) {
    listener_.reset();
  }
}

void DiscoveryService::CloseSocketsAndLibrary() {
  discovery_.CloseSockets();
  discovery_.StopSocketLibrary();
}

void DiscoveryService::StopListener() {
  if (!listener_) return;
  listener_->Terminate();
  listener_->WaitFor();
  listener_.reset();
}

bool DiscoveryService::RebuildSockets() {
  if (listener_) listener_->Suspend();
  discovery_.CloseSockets();
  bool opened = discovery_.OpenWorkingSockets();
  discovery_.FindQuorinSend();
  if (listener_) listener_->Resume();
  return opened;
}

}  // namespace vx::discovery
