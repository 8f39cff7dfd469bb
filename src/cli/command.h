// vessix-cli: a command-line front end over the same core as vessix.exe.
// Each subcommand lives in its own cmd_<name>.cpp and registers itself with
// a static `CommandRegistration`, so adding one touches no other file.
#pragma once

#include <string>
#include <vector>

namespace vx::cli {

// Runs a subcommand with the arguments after its name; returns the exit code.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct CommandRegistration {
  CommandRegistration(const char* name, const char* usage, CommandFn fn);
};

}  // namespace vx::cli
