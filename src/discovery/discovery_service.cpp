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
    if (!listener_->Start()) {
      listener_.reset();
      return;
    }
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
  const Millis wait = discovery_.Settings().release_wait;
  if (listener_) {
    TraceLine(">> FindQuorinThread->Suspend();");
    listener_->Suspend();
    if (!listener_->WaitParked(wait)) TraceLine("RebuildSockets : the listener did not park in time");
  }
  discovery_.CloseSockets();
  // A socket still open in a reader's hands keeps the discovery port: opening
  // the new set now would find the port taken by ourselves and fall back to
  // ephemeral ports.
  if (!discovery_.Sockets().WaitAllClosed(wait))
    TraceLine("RebuildSockets : old sockets still held after " + std::to_string(wait.count()) + " ms");
  bool opened = discovery_.OpenWorkingSockets();
  discovery_.FindQuorinSend();
  if (listener_) {
    TraceLine(">>> FindQuorinThread->Resume();");
    listener_->Resume();
  }
  return opened;
}

}  // namespace vx::discovery
