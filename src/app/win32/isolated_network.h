// A network without adapters and without UDP sockets, for runs of the
// program that must never reach a real interface (the Wine tests set
// VESSIX_NO_ADAPTERS=1). Discovery then finds nothing and shows the
// no-network state; every other call goes to the system's network.
#pragma once

#include <memory>

#include "platform/net/network.h"

namespace vx::app::win32 {

// True when the environment asks for the isolated network.
bool IsolatedNetworkRequested();

// Wraps `system`: no adapters, no UDP sockets, no broadcast.
std::unique_ptr<net::NetworkPort> MakeIsolatedNetwork(std::unique_ptr<net::NetworkPort> system);

}  // namespace vx::app::win32
