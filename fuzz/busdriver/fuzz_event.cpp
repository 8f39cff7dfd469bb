// Event records read from the master bus (at most 4096 bytes).
#include <vector>

#include "busdriver/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> exact(data, data + size);
  auto e = vx::bus::ParseEvent(exact);
  if (!e) return 0;
  if (e->code == vx::bus::kEventRequestToUse) {
    if (e->host_name.size() > size) __builtin_trap();
    if (e->host_name.size() > 254) return 0;  // the encoder always adds the NUL
    auto again = vx::bus::ParseEvent(vx::bus::EncodeEvent(*e));
    if (!again || again->host_name != e->host_name || again->asker_ip != e->asker_ip) __builtin_trap();
  }
  (void)vx::bus::EventName(e->code);
  return 0;
}
