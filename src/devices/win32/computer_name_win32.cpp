#include <windows.h>

#include "devices/computer_name.h"

namespace vx::devices {

std::string ComputerName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  return NameFromBuffer(name, size < sizeof name ? size : sizeof name);
}

}  // namespace vx::devices
