// Discovery as the program's start-up and close sequences use it:
//   start-up  PortSelfTest()       the self-test set of sockets, tested and closed
//             OpenWorkingSockets() the working set (with the ephemeral-port fallback)
//             StartDiscovery()     the discovery request, then the listener
//   close     CloseSocketsAndLibrary(), then StopListener()
//   address change (driver event)  RebuildSockets()
#pragma once

#include <memory>

#include "discovery/discovery.h"
#include "discovery/info_query.h"
#include "discovery/listener.h"

namespace vx::discovery {

class DiscoveryService {
 public:
  DiscoveryService(net::NetworkPort& net, Clock& clock, MainThread& main_thread, const TextCodec& codec,
                   DiscoverySettings settings = {});
  ~DiscoveryService();

  Discovery& Core() { return discovery_; }
  ServerInfoRequests& InfoRequests() { return info_requests_; }
  TFindQuorinThread* Listener() { return listener_.get(); }

  void PortSelfTest() { discovery_.PortSelfTest(); }
  bool OpenWorkingSockets() { return discovery_.OpenWorkingSockets(); }
  // Sends the discovery request, then starts the listener (errors while
  // starting it are swallowed: discovery then only misses replies).
  void StartDiscovery(ListenerWiring wiring);
  void CloseSocketsAndLibrary();
  // Requests the listener's end and waits for it.
  void StopListener();
  // The address change: suspends the listener and waits until it and every
  // other reader have let go of the old sockets (so that port 7419 is free
  // again), enumerates the adapters, reopens the sockets (with the fallback),
  // sends the request again and resumes the listener. Runs on the main
  // thread; serves its hand-overs while it waits.
  bool RebuildSockets();

 private:
  Discovery discovery_;
  ServerInfoRequests info_requests_;
  std::unique_ptr<TFindQuorinThread> listener_;
};

}  // namespace vx::discovery
