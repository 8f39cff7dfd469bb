// The small records: forwarded datagram, lock, request, the TCP bus path and
// dotted addresses (all parsed by the emulator from the program's input).
#include <string>
#include <vector>

#include "busdriver/records.h"
#include "platform/net/network.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> exact(data, data + size);
  if (auto f = vx::bus::ParseUdpForward(exact)) {
    if (f->bytes.size() + 8 > size) __builtin_trap();
  }
  (void)vx::bus::ParseLock(exact);
  (void)vx::bus::ParseRequest(exact);
  std::string text(reinterpret_cast<const char*>(data), size);
  if (auto ip = vx::bus::ParseTcpBusPath(text)) {
    if (vx::bus::TcpBusPath(*ip) != text) __builtin_trap();
  }
  if (auto ip = vx::net::Ipv4::Parse(text)) {
    if (vx::net::Ipv4::Parse(vx::bus::Ipv4Text(ip->NetworkOrder())) != ip) __builtin_trap();
  }
  return 0;
}
