#include "cli/json_output.h"

#include <cstdio>

namespace vx::cli {

std::string JsonLine(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

void PrintJsonLine(const Json& value) { std::printf("%s\n", JsonLine(value).c_str()); }

}  // namespace vx::cli
