// The device list of a TCP bus, read from exactly the bytes given; a list
// that parses re-encodes and parses to the same devices.
#include <vector>

#include "busdriver/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> exact(data, data + size);
  auto list = vx::bus::ParseDeviceList(exact, exact.size());
  if (!list) return 0;
  for (const auto& d : list->devices) {
    if (d.usb_class.size() > 63 || d.owner.size() > 63 || d.serial.size() > 63) __builtin_trap();
  }
  auto again = vx::bus::EncodeDeviceList(*list);
  if (again.empty()) return 0;
  auto back = vx::bus::ParseDeviceList(again, again.size());
  if (!back || back->devices.size() != list->devices.size()) __builtin_trap();
  for (size_t i = 0; i < back->devices.size(); ++i) {
    const auto& a = list->devices[i];
    const auto& b = back->devices[i];
    if (a.owner != b.owner || a.product != b.product || a.vid != b.vid || a.extra.size() != b.extra.size())
      __builtin_trap();
  }
  return 0;
}
