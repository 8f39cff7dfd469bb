#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "cli/command.h"
#include "platform/text_codec.h"

namespace vx::cli {

// The ANSI argv loses every character outside the code page; take the UTF-16
// command line and carry it as UTF-8 like every other text.
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> args =
      argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
  int wargc = 0;
  if (LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc)) {
    if (wargc == argc) {
      args.clear();
      for (int i = 1; i < wargc; ++i) args.push_back(vx::Narrow(wargv[i]));
    }
    LocalFree(wargv);
  }
  return args;
}

}  // namespace vx::cli
