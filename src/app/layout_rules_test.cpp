#include "app/layout_rules.h"

#include <gtest/gtest.h>

namespace vx::app {
namespace {

TEST(ToolBarOrder, EachOfTheSixOrdersSurvivesSaveAndRestore) {
  const std::array<int, 3> widths = {170, 255, 85};
  for (const char* order : {"123", "132", "213", "231", "312", "321"}) {
    ASSERT_EQ(ValidToolBarOrder(order), order);
    std::array<int, 3> l = ToolBarLefts(order, widths, 11);
    EXPECT_EQ(ToolBarOrderFromLefts(l[0], l[1], l[2]), order);
  }
  EXPECT_EQ(ToolBarLefts("213", widths, 11), (std::array<int, 3>{266, 11, 436}));
  EXPECT_EQ(ToolBarLefts("123", widths, 11), (std::array<int, 3>{11, 181, 436}));
  // Ties (bars of width 0 share a left) are no order at all.
  EXPECT_EQ(ToolBarOrderFromLefts(11, 11, 11), "321");
  EXPECT_EQ(ToolBarOrderFromLefts(11, 11, 200), "321");
}

TEST(ToolBarOrder, InvalidTextsAreRefused) {
  for (const char* bad : {"12", "113", "", "1234", "abc", "1 2", "333", "1\t3"})
    EXPECT_EQ(ValidToolBarOrder(bad), std::nullopt) << bad;
  EXPECT_EQ(ValidToolBarOrder(std::string("12\0", 3)), std::nullopt);
}

}  // namespace
}  // namespace vx::app
