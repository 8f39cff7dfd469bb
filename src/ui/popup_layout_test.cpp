#include "ui/popup_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace vx::ui {
namespace {

TEST(PopupLayout, SlotsStackUpFromTheBottomRightOfTheWorkArea) {
  const Rect work = Rect::FromEdges(0, 0, 1280, 1000);
  const SlotPlacement s0 = PlaceInSlot(work, kPopupSize, 0);
  const SlotPlacement s1 = PlaceInSlot(work, kPopupSize, 1);
  const SlotPlacement s2 = PlaceInSlot(work, kPopupSize, 2);
  EXPECT_EQ(s0.left, 1280 - 254 - 16);
  EXPECT_EQ(s1.left, s0.left);
  EXPECT_EQ(s0.start_top, 1000);
  EXPECT_EQ(s0.final_top, 796);
  EXPECT_EQ(s1.start_top, 796);
  EXPECT_EQ(s1.final_top, 592);
  EXPECT_EQ(s2.start_top, 592);
  EXPECT_EQ(s2.final_top, 388);
}

TEST(PopupLayout, AWorkAreaRightOfATaskBarKeepsTheRightMargin) {
  // Task bar on the left: the work area starts at x = 200 and at y = 30.
  const Rect work = Rect::FromEdges(200, 30, 1280, 1000);
  const SlotPlacement s0 = PlaceInSlot(work, kPopupSize, 0);
  EXPECT_EQ(s0.left + kPopupSize.width + kPopupRightMargin, work.right());
  EXPECT_EQ(s0.final_top + kPopupSize.height, work.bottom());
}

TEST(PopupLayout, SlotZeroRisesFrom1000To796In102StepsOfTwoPixels) {
  const std::vector<int> tops = SlideTops(1000, 796);
  ASSERT_EQ(tops.size(), 102u);
  EXPECT_EQ(tops.front(), 998);
  EXPECT_EQ(tops.back(), 796);
  int previous = 1000;
  for (int top : tops) {
    EXPECT_EQ(previous - top, 2);
    previous = top;
  }
  const std::vector<int> slot1 = SlideTops(796, 592);
  ASSERT_EQ(slot1.size(), 102u);
  EXPECT_EQ(slot1.back(), 592);
}

TEST(PopupLayout, AnOddDistanceEndsExactlyInPlace) {
  const std::vector<int> tops = SlideTops(1000, 795);
  ASSERT_EQ(tops.size(), 103u);
  EXPECT_EQ(tops[101], 796);
  EXPECT_EQ(tops.back(), 795);
  EXPECT_TRUE(SlideTops(796, 796).empty());
  EXPECT_TRUE(SlideTops(700, 796).empty());
}

TEST(PopupLayout, TopAfterStepsFollowsTheSlideAndStopsInPlace) {
  EXPECT_EQ(SlideTopAfter(1000, 796, 0), 1000);
  EXPECT_EQ(SlideTopAfter(1000, 796, -3), 1000);
  EXPECT_EQ(SlideTopAfter(1000, 796, 1), 998);
  EXPECT_EQ(SlideTopAfter(1000, 796, 51), 898);
  EXPECT_EQ(SlideTopAfter(1000, 796, 102), 796);
  EXPECT_EQ(SlideTopAfter(1000, 796, 5000000000LL), 796);
  EXPECT_EQ(SlideTopAfter(1000, 795, 102), 796);
  EXPECT_EQ(SlideTopAfter(1000, 795, 103), 795);
}

TEST(PopupLayout, JapaneseFontsUseTheJapaneseSetAtTenPoints) {
  const PopupFonts ja = FontsFor(true);
  EXPECT_EQ(ja.caption.charset, 128);
  EXPECT_EQ(ja.caption.points, 10);
  EXPECT_EQ(ja.labels.charset, 128);
  EXPECT_EQ(ja.labels.points, 10);
  const PopupFonts en = FontsFor(false);
  EXPECT_EQ(en.labels.points, 8);
  EXPECT_EQ(en.caption.points, 0);  // the window's own
  EXPECT_NE(en.labels.charset, 128);
}

TEST(PopupLayout, TheCloseButtonsHotAreaLeavesItsBorder) {
  const Size button{16, 16};
  EXPECT_TRUE(InCloseButtonHotArea({3, 3}, button));
  EXPECT_TRUE(InCloseButtonHotArea({14, 14}, button));
  EXPECT_TRUE(InCloseButtonHotArea({8, 8}, button));
  EXPECT_FALSE(InCloseButtonHotArea({2, 8}, button));
  EXPECT_FALSE(InCloseButtonHotArea({8, 2}, button));
  EXPECT_FALSE(InCloseButtonHotArea({15, 8}, button));
  EXPECT_FALSE(InCloseButtonHotArea({8, 15}, button));
  EXPECT_FALSE(InCloseButtonHotArea({-5, 8}, button));
}

TEST(PopupLayout, HoverChangesThePictureOnlyWhenThePointerCrossesTheHotArea) {
  using Change = CloseButtonHover::Change;
  const Size button{16, 16};
  CloseButtonHover hover;
  EXPECT_EQ(hover.Move({1, 1}, button), Change::kNone);
  EXPECT_EQ(hover.Move({8, 8}, button), Change::kHighlight);
  EXPECT_TRUE(hover.highlighted());
  EXPECT_EQ(hover.Move({9, 9}, button), Change::kNone);
  EXPECT_EQ(hover.Move({40, 9}, button), Change::kNormal);
  EXPECT_EQ(hover.Move({41, 9}, button), Change::kNone);
  EXPECT_EQ(hover.Reset(), Change::kNone);
  EXPECT_EQ(hover.Move({8, 8}, button), Change::kHighlight);
  EXPECT_EQ(hover.Reset(), Change::kNormal);
  EXPECT_FALSE(hover.highlighted());
}

}  // namespace
}  // namespace vx::ui
