#include <iostream>

#include "cli/command.h"

int main(int argc, char** argv) {
  return vx::cli::RunCommandLine(vx::cli::CommandLineArguments(argc, argv), std::cout, std::cerr);
}
