// The PC's usable IPv4 adapters and the Windows version flags.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "discovery/protocol.h"
#include "platform/net/network.h"

namespace vx::discovery {

// Windows version flags (see WindowsVersionFlags).
inline constexpr int kWinVista7 = 0x01;       // 6.x other than 6.2
inline constexpr int kWinNt5 = 0x02;          // 5.x and 6.x other than 6.2
inline constexpr int kWinNt4 = 0x04;          // selects the interface-table enumeration
inline constexpr int kWinRebootOffer = 0x08;  // 6.2 and 5.0

int WindowsVersionFlags(std::optional<net::OsVersion> version);
// Asks the port and traces the result.
int GetWindowsVersion(net::NetworkPort& net);

struct Adapter {
  std::string ip;  // dotted text
  Mac mac{};
  std::string device;  // interface the native adapter ties sockets to
};

// At most this many adapters are used (one discovery socket slot each); the
// rest are traced and ignored.
inline constexpr size_t kMaxAdapters = 30;

// The adapter-information path: Ethernet adapters (any type outside the
// known non-Ethernet codes counts as Ethernet, so wireless ones are used)
// with a MAC that is not all zero and an address other than "0.0.0.0".
std::vector<Adapter> AdaptersFromInfoList(const net::AdapterList& list);

// The interface-table path: interfaces with a MAC that is not all zero. That
// table has no addresses, so each interface takes its first address from the
// address table; an interface without one cannot be bound and is skipped.
std::vector<Adapter> AdaptersFromInterfaceTable(const net::InterfaceTable& interfaces,
                                                const net::AddressTable& addresses);

// GetMacAddress: the path chosen by the version flags.
std::vector<Adapter> GetMacAddress(net::NetworkPort& net, int version_flags);

}  // namespace vx::discovery
