// This PC's IPv4 networks (for the location codes and the address-change
// event), and the guard that keeps broadcasting inside a lab namespace.
#pragma once

#include <string>
#include <vector>

#include "emulator.h"

namespace vx::busd {

// Every IPv4 address of an interface that is up, loopback excluded.
std::vector<LocalNet> ReadLocalNets();

// True when this process runs in a network namespace other than the
// machine's initial one (where broadcasting is never allowed).
bool InLabNamespace(std::string* why);

}  // namespace vx::busd
