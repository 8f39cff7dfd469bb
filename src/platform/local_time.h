// The calendar time of the local time zone, thread-safe (platform adapter).
#pragma once

#include <ctime>

namespace vx {

std::tm ToLocalTime(std::time_t t);

}  // namespace vx
