// The version record, and the start-up check on whatever text it gives.
#include <vector>

#include "busdriver/operations.h"
#include "busdriver/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> exact(data + 1, data + size);
  size_t returned = data[0];
  if (returned > exact.size()) returned = exact.size();
  auto v = vx::bus::ParseVersion(exact, returned);
  if (!v) return 0;
  auto check = vx::bus::CheckDriverVersion(vx::bus::FullVersionText(*v), vx::bus::DriverShortVersion(*v));
  if (check.pass == check.warning.empty()) return 0;
  __builtin_trap();
}
