#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/command.h"

namespace vx::cli {
namespace {

using ::testing::HasSubstr;

struct Result {
  int code;
  std::string out, err;
};

Result RunCli(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = RunCommandLine(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(DeviceCommands, UsageErrorsExitTwo) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"connect", "10.77.0.21"},
                                             {"connect", "10.77.0.300", "1"},
                                             {"connect", "10.77.0.21", "256"},
                                             {"disconnect", "10.77.0.21", "-1"},
                                             {"disconnect", "server", "1"},
                                             {"request", "10.77.0.21", "1", "--wait", "0"},
                                             {"request", "10.77.0.21", "1", "--wait", "x"},
                                             {"disconnect-all", "10.77.0"},
                                             {"disconnect-all", "10.77.0.21", "10.77.0.22"}}) {
    auto r = RunCli(args);
    EXPECT_EQ(r.code, 2) << args[0] << " " << args[1] << ": " << r.err;
  }
}

TEST(DeviceCommands, HelpListsTheDeviceCommands) {
  auto r = RunCli({"--help"});
  for (const char* name : {"connect", "disconnect", "request", "disconnect-all"})
    EXPECT_THAT(r.out + r.err, HasSubstr(name));
}

}  // namespace
}  // namespace vx::cli
