// The kernel's UDP socket table text, cut and garbled anywhere.
#include <cstdint>
#include <string_view>

#include "platform/net/proc_net_udp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto ports = vx::net::ParseProcNetUdp(std::string_view(reinterpret_cast<const char*>(data), size));
  if (ports.size() > size) __builtin_trap();
  return 0;
}
