// The bus list: the first two bytes choose the returned byte count, the rest
// is the 1024-byte output buffer. A list that parses re-encodes to one that
// parses the same.
#include <cstring>
#include <vector>

#include "busdriver/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t returned = size_t(data[0] | data[1] << 8) % 1100;
  std::vector<uint8_t> exact(data + 2, data + size);  // exactly the bytes present: ASan sees any overread
  if (returned > exact.size()) returned = exact.size();
  auto list = vx::bus::ParseBusList(exact, returned);
  if (!list) return 0;
  auto again = vx::bus::EncodeBusList(*list);
  if (again.empty()) return 0;  // more than fits: nothing to compare
  auto back = vx::bus::ParseBusList(again, again.size());
  if (!back || back->entries.size() != list->entries.size()) __builtin_trap();
  for (size_t i = 0; i < back->entries.size(); ++i)
    if (back->entries[i].name != list->entries[i].name || back->entries[i].ip != list->entries[i].ip)
      __builtin_trap();
  return 0;
}
