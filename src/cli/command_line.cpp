#include <algorithm>
#include <ostream>

#include "cli/command.h"

namespace vx::cli {
namespace {

std::vector<Registrar>& Registrars() {
  static std::vector<Registrar> registrars;
  return registrars;
}

// The deepest (sub)command the command line chose.
const CLI::App* Chosen(const CLI::App& root) {
  const CLI::App* at = &root;
  for (;;) {
    const auto subs = at->get_subcommands();
    if (subs.empty()) return at;
    at = subs.front();
  }
}

// "vessix-cli config get" for a verb of config.
std::string CommandPath(const CLI::App* command) {
  std::string path;
  for (const CLI::App* at = command; at; at = at->get_parent())
    path = at->get_name() + (path.empty() ? "" : " " + path);
  return path;
}

}  // namespace

CommandRegistration::CommandRegistration(Registrar registrar) { Registrars().push_back(registrar); }

CLI::Validator DecimalRange(long min, long max) {
  return CLI::Validator(
      [min, max](std::string& text) -> std::string {
        const bool digits =
            !text.empty() && text.size() <= 9 &&
            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        const long value = digits ? std::stol(text) : -1;
        if (!digits || value < min || value > max)
          return "needs a number from " + std::to_string(min) + " to " + std::to_string(max) + ": " + text;
        text = std::to_string(value);  // "010" is ten, not CLI11's octal eight
        return {};
      },
      "NUMBER in [" + std::to_string(min) + " - " + std::to_string(max) + "]");
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App root("USB device servers from the command line", "vessix-cli");
  root.require_subcommand(1);
  // CLI11 reads "/x" as an option on Windows; here it is a path. Subcommands
  // take the setting over when they are added.
  root.allow_windows_style_options(false);
  Actions actions;
  for (Registrar registrar : Registrars()) registrar(root, actions);

  std::vector<std::string> argv = args;
  if (argv.empty()) {
    err << root.help();
    return 2;
  }
  // "help" and "help COMMAND" ask for the help of the root or of COMMAND.
  if (argv.front() == "help") {
    argv.erase(argv.begin());
    argv.push_back("--help");
  }
  if (!argv.front().starts_with("-")) {
    try {
      root.get_subcommand(argv.front());
    } catch (const CLI::OptionNotFound&) {
      err << "vessix-cli: unknown command '" << argv.front() << "'\n\n" << root.help();
      return 2;
    }
  }
  std::reverse(argv.begin(), argv.end());  // CLI11 takes them last first
  try {
    root.parse(argv);
  } catch (const CLI::ParseError& e) {
    const int code = root.exit(e, out, err);
    return code == 0 ? 0 : 2;
  }
  const CLI::App* chosen = Chosen(root);
  const Action* action = actions.Find(chosen);
  if (!action) {
    err << chosen->help();
    return 2;
  }
  try {
    return (*action)();
  } catch (const UsageError& e) {
    err << CommandPath(chosen) << ": " << e.what() << "\nRun with --help for more information.\n";
    return 2;
  }
}

}  // namespace vx::cli
