// The lab channel: the driver's IOCTLs and reads carried over TCP to the
// vx-busd emulator, one connection per open handle. Several threads may use
// one handle at once; a held read returns when the emulator completes it
// (an event, Abort), when the handle is closed, or on InterruptReads.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "busdriver/driver_channel.h"
#include "platform/net/network.h"

namespace vx::lab {

// "host:port" with a dotted IPv4 host (or "localhost"); nullopt otherwise.
std::optional<net::Endpoint> ParseEndpoint(const std::string& text);

// The channel over `network`'s TCP streams (the system network when none is
// given). The network's socket library stays started while the channel or
// one of its handles lives.
std::unique_ptr<bus::DriverChannel> MakeLabDriverChannel(const net::Endpoint& endpoint,
                                                         std::shared_ptr<net::NetworkPort> network = nullptr);

}  // namespace vx::lab
