// Server discovery's shared state and its operations on it: the adapter
// table, the discovery sockets, the discovery table with the server-table
// lock, the socket library, the discovery request and the port self-tests.
// One instance lives as long as the program; the listener, the info queries
// and (later) the configuration commands use it.
#pragma once

#include <vector>

#include "discovery/adapters.h"
#include "discovery/discovery_table.h"
#include "discovery/settings.h"
#include "discovery/socket_table.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "platform/net/network.h"
#include "platform/text_codec.h"

namespace vx::discovery {

class Discovery {
 public:
  Discovery(net::NetworkPort& net, Clock& clock, MainThread& main_thread, const TextCodec& codec,
            DiscoverySettings settings = {});
  Discovery(const Discovery&) = delete;
  Discovery& operator=(const Discovery&) = delete;

  int GetWindowsVersion();
  // Starts the socket library when needed and refills the adapter table.
  void EnumerateAdapters();
  bool OpenSocket(bool ephemeral);
  void CloseSockets();
  void StopSocketLibrary();
  // True when the system's UDP listener table has an entry for `port`.
  bool CheckUDPPort(uint16_t port);
  // The port self-tests; their outcome is only traced.
  bool CheckUDPSocket();
  bool CheckTCPSocket();
  // Broadcasts the discovery request: three times from every adapter's socket.
  // Does nothing unless the sockets are ready. Safe from any thread.
  void FindQuorinSend();

  // Start-up: the port self-test set (opened, tested, closed again).
  void PortSelfTest();
  // Start-up and address change: enumerate and open the working set on port
  // 7419; when another program holds that port, enumerate again and open on
  // ephemeral ports. True when sockets are open.
  bool OpenWorkingSockets();

  const std::vector<Adapter>& Adapters() const { return adapters_; }  // main thread
  bool AdaptersFound() const { return !adapters_.empty(); }
  SocketTable& Sockets() { return sockets_; }
  // The discovery table with the server-table lock.
  DiscoveryTable& Table() { return table_; }

  net::NetworkPort& Network() { return net_; }
  Clock& GetClock() { return clock_; }
  MainThread& GetMainThread() { return main_thread_; }
  const TextCodec& Codec() const { return codec_; }
  const DiscoverySettings& Settings() const { return settings_; }
  int VersionFlags() const { return version_flags_; }

 private:
  net::NetworkPort& net_;
  Clock& clock_;
  MainThread& main_thread_;
  const TextCodec& codec_;
  const DiscoverySettings settings_;

  bool library_started_ = false;
  int version_flags_ = 0;
  std::vector<Adapter> adapters_;
  SocketTable sockets_;
  DiscoveryTable table_;
};

}  // namespace vx::discovery
