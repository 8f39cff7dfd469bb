#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/command.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>

#include "platform/text_codec.h"
#endif

namespace vx::cli {
namespace {

struct Entry {
  const char* usage;
  CommandFn fn;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> commands;
  return commands;
}

int Usage() {
  std::fprintf(stderr, "usage: vessix-cli <command> [options]\n\ncommands:\n");
  for (const auto& [name, entry] : Registry()) std::fprintf(stderr, "  %s\n", entry.usage);
  return 2;
}

}  // namespace

CommandRegistration::CommandRegistration(const char* name, const char* usage, CommandFn fn) {
  Registry()[name] = Entry{usage, fn};
}

}  // namespace vx::cli

int main(int argc, char** argv) {
  using namespace vx::cli;
  if (argc < 2) return Usage();
  std::string name = argv[1];
  if (name == "-h" || name == "--help" || name == "help") {
    Usage();
    return 0;
  }
  auto it = Registry().find(name);
  if (it == Registry().end()) {
    std::fprintf(stderr, "vessix-cli: unknown command '%s'\n", name.c_str());
    return Usage();
  }
  std::vector<std::string> args(argv + 2, argv + argc);
#if defined(_WIN32)
  // The ANSI argv loses every character outside the code page; take the
  // UTF-16 command line and carry it as UTF-8 like every other text.
  int wargc = 0;
  if (LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc)) {
    if (wargc == argc) {
      args.clear();
      for (int i = 2; i < wargc; ++i) args.push_back(vx::Narrow(wargv[i]));
    }
    LocalFree(wargv);
  }
#endif
  return it->second.fn(args);
}
