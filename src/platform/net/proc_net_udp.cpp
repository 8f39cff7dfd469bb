#include "platform/net/proc_net_udp.h"

namespace vx::net {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One socket line: "  12: 0100007F:1CFB 00000000:0000 07 ...". The first
// field is the slot number with a colon, the second the local address in hex
// (8 digits for IPv4, 32 for IPv6), a colon and the port in hex.
bool ParseLine(std::string_view line, uint16_t* port) {
  size_t i = 0;
  while (i < line.size() && line[i] == ' ') ++i;
  size_t slot_digits = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i, ++slot_digits;
  if (slot_digits == 0 || i >= line.size() || line[i] != ':') return false;
  ++i;
  while (i < line.size() && line[i] == ' ') ++i;
  size_t address_digits = 0;
  while (i < line.size() && HexValue(line[i]) >= 0) ++i, ++address_digits;
  if ((address_digits != 8 && address_digits != 32) || i >= line.size() || line[i] != ':') return false;
  ++i;
  unsigned value = 0;
  size_t port_digits = 0;
  while (i < line.size() && HexValue(line[i]) >= 0) {
    if (++port_digits > 4) return false;
    value = value * 16 + static_cast<unsigned>(HexValue(line[i]));
    ++i;
  }
  if (port_digits == 0 || (i < line.size() && line[i] != ' ')) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

std::vector<uint16_t> ParseProcNetUdp(std::string_view text) {
  std::vector<uint16_t> ports;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    uint16_t port = 0;
    if (ParseLine(text.substr(start, end - start), &port)) ports.push_back(port);
    start = end + 1;
  }
  return ports;
}

}  // namespace vx::net
