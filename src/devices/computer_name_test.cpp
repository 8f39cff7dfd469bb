#include "devices/computer_name.h"

#include <gtest/gtest.h>

namespace vx::devices {
namespace {

TEST(ComputerName, BufferWithoutNulIsBoundedEmptyIsEmpty) {
  std::string full(255, 'a');
  EXPECT_EQ(NameFromBuffer(full.data(), full.size()), full);  // no NUL: the whole buffer, no overread
  char with_nul[8] = {'P', 'C', '1', 0, 'x', 'x', 'x', 'x'};
  EXPECT_EQ(NameFromBuffer(with_nul, sizeof with_nul), "PC1");
  char empty[4] = {};
  EXPECT_EQ(NameFromBuffer(empty, sizeof empty), "");
  EXPECT_EQ(NameFromBuffer(nullptr, 10), "");
  EXPECT_EQ(NameFromBuffer(full.data(), 0), "");
}

}  // namespace
}  // namespace vx::devices
