#include "cli/command.h"

namespace vx::cli {

// The arguments are UTF-8 already.
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

}  // namespace vx::cli
