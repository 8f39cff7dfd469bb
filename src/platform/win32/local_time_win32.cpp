#include "platform/local_time.h"

namespace vx {

std::tm ToLocalTime(std::time_t t) {
  std::tm tm{};
  localtime_s(&tm, &t);
  return tm;
}

}  // namespace vx
