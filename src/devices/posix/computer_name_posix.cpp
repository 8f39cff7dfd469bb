#include <unistd.h>

#include <cstdlib>

#include "devices/computer_name.h"
#include "devices/device_ops.h"

namespace vx::devices {

std::string ComputerName() {
  if (const char* e = std::getenv("VESSIX_COMPUTER_NAME"); e && *e) return e;
  char host[256] = {};
  if (gethostname(host, sizeof host) != 0) return {};
  // A name of 255 bytes or more may come back without its NUL.
  return UpperAscii(NameFromBuffer(host, sizeof host));
}

}  // namespace vx::devices
