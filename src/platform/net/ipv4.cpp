#include <cstring>

#include "platform/net/network.h"

namespace vx::net {

std::optional<Ipv4> Ipv4::Parse(std::string_view dotted) {
  Ipv4 out;
  size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= dotted.size() || dotted[pos] != '.') return std::nullopt;
      ++pos;
    }
    unsigned value = 0;
    size_t digits = 0;
    while (pos < dotted.size() && dotted[pos] >= '0' && dotted[pos] <= '9') {
      if (++digits > 3) return std::nullopt;
      value = value * 10 + static_cast<unsigned>(dotted[pos] - '0');
      ++pos;
    }
    if (digits == 0 || value > 255) return std::nullopt;
    out.bytes[part] = static_cast<uint8_t>(value);
  }
  if (pos != dotted.size()) return std::nullopt;
  return out;
}

Ipv4 Ipv4::FromNetworkOrder(uint32_t value) {
  Ipv4 out;
  std::memcpy(out.bytes.data(), &value, 4);
  return out;
}

uint32_t Ipv4::NetworkOrder() const {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data(), 4);
  return value;
}

std::string Ipv4::ToString() const {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

}  // namespace vx::net
