// vessix-cli: a command-line front end over the same core as vessix.exe.
//
// Each subcommand lives in its own cmd_<name>.cpp and registers itself with a
// static `CommandRegistration`, so adding one touches no other file. Its
// registrar adds the subcommand (and any verbs under it) to the root CLI11
// app, binds its options to a shared options struct, and binds an action to
// each (sub)command that can run:
//
//   void Register(CLI::App& root, Actions& actions) {
//     auto o = std::make_shared<Options>();
//     CLI::App* cmd = root.add_subcommand("name", "what it does");
//     cmd->add_flag("--json", o->json, "one JSON object per line");
//     actions.Bind(cmd, [o] { return Run(*o); });
//   }
//   CommandRegistration reg(&Register);
//
// The action returns the exit code: 0 done, 1 failed, 2 usage error (throw
// `UsageError` for a usage error found after parsing).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx::cli {

using Action = std::function<int()>;

// The actions of the (sub)commands, keyed by the CLI11 app they belong to.
class Actions {
 public:
  void Bind(const CLI::App* command, Action action) { actions_[command] = std::move(action); }
  // The action of `command`, or nullptr when it has none (a group of verbs).
  const Action* Find(const CLI::App* command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : &it->second;
  }

 private:
  std::map<const CLI::App*, Action> actions_;
};

using Registrar = void (*)(CLI::App& root, Actions& actions);

struct CommandRegistration {
  explicit CommandRegistration(Registrar registrar);
};

// A usage error found by an action after parsing; the command line exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// For an option that takes a plain decimal number (no sign, no base prefix,
// no exponent) from `min` to `max`; use it with `->transform(...)`, which
// also drops leading zeros before CLI11 converts the text.
CLI::Validator DecimalRange(long min, long max);

// Runs the command line `args` (without the program name): parses it, runs
// the chosen command's action and returns the exit code. Help goes to `out`,
// usage errors to `err`.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The program's arguments after its name, in UTF-8 (platform adapter).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace vx::cli
