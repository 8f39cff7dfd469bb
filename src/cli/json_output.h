// JSON output of vessix-cli: one object per line, keys in the order given,
// texts in UTF-8 (bytes that are not UTF-8 become U+FFFD).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace vx::cli {

using Json = nlohmann::ordered_json;

std::string JsonLine(const Json& value);
// Writes JsonLine(value) and a newline to stdout.
void PrintJsonLine(const Json& value);

}  // namespace vx::cli
