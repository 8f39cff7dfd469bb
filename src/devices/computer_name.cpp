#include "devices/computer_name.h"

#include <cstring>

namespace vx::devices {

std::string NameFromBuffer(const char* buffer, size_t size) {
  if (!buffer || size == 0) return {};
  const void* nul = std::memchr(buffer, 0, size);
  size_t n = nul ? size_t(static_cast<const char*>(nul) - buffer) : size;
  return std::string(buffer, n);
}

}  // namespace vx::devices
