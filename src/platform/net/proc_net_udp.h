// Reads the local ports out of the kernel's UDP socket tables (the text of
// /proc/net/udp and /proc/net/udp6), the native stand-in for the system's
// UDP listener table.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vx::net {

// The local port of every well-formed socket line, in file order. The header
// line and malformed lines are skipped; the text may be cut anywhere.
std::vector<uint16_t> ParseProcNetUdp(std::string_view text);

}  // namespace vx::net
