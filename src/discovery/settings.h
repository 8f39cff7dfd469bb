// Ports, addresses and time-outs of discovery. The defaults are the
// product's; tests shorten the waits so that they run in milliseconds.
#pragma once

#include <chrono>

#include "discovery/protocol.h"
#include "platform/net/network.h"

namespace vx::discovery {

using Millis = std::chrono::milliseconds;

struct DiscoverySettings {
  uint16_t discovery_port = kDiscoveryPort;  // bound (unless ephemeral) and sent to
  uint16_t config_port = kConfigPort;        // the servers' TCP port of the info query
  net::Ipv4 broadcast = net::Ipv4::Broadcast();

  Millis receive_timeout{700};       // SO_RCVTIMEO of the discovery sockets
  Millis select_timeout{5000};       // the listener's wait for datagrams
  Millis no_network_step{500};       // the listener's wait while there is no socket ...
  int no_network_steps = 10;         // ... repeated this often
  Millis select_error_backoff{500};  // pause after a failed select
  // How long a socket rebuild waits for the listener to park and for every
  // reader to let the old sockets go before it opens the new ones (more than
  // one select time-out, for a listener that cannot be woken early).
  Millis release_wait{6000};
  // Requests caused by announcements of unknown servers are sent at most
  // once in this time: one request reaches every server, and a flood of
  // announcements must not turn into a flood of broadcasts.
  Millis announce_burst_interval{1000};

  Millis info_connect_timeout{2000};  // TCP info query
  Millis info_receive_timeout{1000};
  Millis table_poll_interval{200};  // table fallback of the info query ...
  int table_polls = 49;             // ... looked at this often

  Millis self_test_receive_timeout{1000};  // TCP self-test
  Millis self_test_connect_timeout{2000};
};

}  // namespace vx::discovery
