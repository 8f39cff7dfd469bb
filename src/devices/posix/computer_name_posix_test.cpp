#include <gtest/gtest.h>

#include <cstdlib>

#include "devices/computer_name.h"

namespace vx::devices {
namespace {

TEST(ComputerName, EnvironmentNameWinsElseHostNameUpperCased) {
  setenv("VESSIX_COMPUTER_NAME", "VXPC1", 1);
  EXPECT_EQ(ComputerName(), "VXPC1");
  unsetenv("VESSIX_COMPUTER_NAME");
  std::string host = ComputerName();
  for (char c : host) EXPECT_FALSE(c >= 'a' && c <= 'z') << host;
}

}  // namespace
}  // namespace vx::devices
