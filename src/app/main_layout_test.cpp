#include <gtest/gtest.h>

#include "app/main_test_fixture.h"

namespace vx::app::testing {
namespace {

using Layout = PresenterTest;

TEST_F(Layout, EmptyRegistryGetsTheDesignedLayoutAndItsValuesWritten) {
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_EQ(view_.caption, "Vessix");
  EXPECT_EQ(view_.bar_width,
            (std::map<ToolBarId, int>{
                {ToolBarId::ToolBar1, 170}, {ToolBarId::ToolBar2, 255}, {ToolBarId::ToolBar3, 85}}));
  EXPECT_EQ(view_.bar_left,
            (std::map<ToolBarId, int>{
                {ToolBarId::ToolBar1, 11}, {ToolBarId::ToolBar2, 181}, {ToolBarId::ToolBar3, 436}}));
  // 170 + 255 + 85 + 2 + 3 * 18 = 566 and 380 are below the window's minimum size.
  EXPECT_EQ(view_.width, 680);
  EXPECT_EQ(view_.height, 400);
  EXPECT_EQ(view_.top, 312);  // centred in 1280 x 1024
  EXPECT_EQ(view_.left, 300);
  EXPECT_TRUE(view_.designed);
  EXPECT_EQ(view_.memo_top, 101);
  EXPECT_EQ(view_.memo_height, 234);
  for (auto [name, text] : std::vector<std::pair<std::string, std::string>>{{"VessixTitle", "Vessix"},
                                                                            {"Disconnect Timing", "10"},
                                                                            {"ToolBar Order", "123"},
                                                                            {"MainForm Width", "680"},
                                                                            {"MainForm Height", "400"},
                                                                            {"MainForm Top", "312"},
                                                                            {"MainForm Left", "300"},
                                                                            {"MainForm WindowState", "0"},
                                                                            {"UDSTreeView Height", "250"}})
    EXPECT_EQ(Value(name), text) << name;

  // Hidden buttons do not count in the widths above; the Japanese captions are in.
  EXPECT_FALSE(view_.button_visible.at(ToolButton::SBtn_NetDisk));
  EXPECT_EQ(view_.button_caption.at(ToolButton::SBtn_Request), "USBデバイス\nの切断要求");
  EXPECT_EQ(presenter_->computer_name(), "PC-ONE");
}

TEST_F(Layout, ValidStoredValuesApplyAndNothingButTheTitleIsWritten) {
  for (auto [name, text] : std::vector<std::pair<std::string, std::string>>{{"Disconnect Timing", "30"},
                                                                            {"ToolBar Order", "213"},
                                                                            {"MainForm Width", "900"},
                                                                            {"MainForm Height", "700"},
                                                                            {"MainForm Top", "100"},
                                                                            {"MainForm Left", "40"},
                                                                            {"MainForm WindowState", "2"},
                                                                            {"UDSTreeView Height", "300"}})
    Store(name, text);
  reg_.SetString(kLM, kKey, "Product Version", "1.80");
  ASSERT_EQ(Create("English"), std::nullopt);
  EXPECT_EQ(WrittenNames(), std::vector<std::string>{"VessixTitle"});
  EXPECT_EQ(view_.width, 900);
  EXPECT_EQ(view_.height, 700);
  EXPECT_EQ(view_.top, 100);
  EXPECT_EQ(presenter_->saved_top(), 100);
  EXPECT_EQ(view_.left, 40);
  EXPECT_EQ(view_.state, WindowState::kMaximised);
  EXPECT_EQ(view_.tree_height, 300);
  EXPECT_EQ(presenter_->product_version(), "1.80");
  // "213": the Connect/Disconnect/Request bar first.
  EXPECT_EQ(view_.bar_left[ToolBarId::ToolBar2], 11);
  EXPECT_EQ(view_.bar_left[ToolBarId::ToolBar1], 266);
  EXPECT_EQ(view_.bar_left[ToolBarId::ToolBar3], 436);
  EXPECT_TRUE(view_.button_caption.empty());  // English keeps the designed captions
  EXPECT_EQ(view_.caption, "Vessix");
}

TEST_F(Layout, InvalidToolBarOrdersAreReplacedBy123) {
  for (const char* bad : {"12", "113", "", "1234"}) {
    reg_.DeleteKey(kCU, "Software");
    Store("ToolBar Order", bad);
    ASSERT_EQ(Create(), std::nullopt);
    EXPECT_EQ(Value("ToolBar Order"), "123") << bad;
    EXPECT_EQ(view_.bar_left[ToolBarId::ToolBar1], 11) << bad;
    EXPECT_EQ(view_.bar_left[ToolBarId::ToolBar3], 436) << bad;
  }
}

// Each bad or special placement value: what is written back (nullptr:
// nothing) and where the window ends up.
TEST_F(Layout, PlacementValuesFallBackOnTheCurrentOnes) {
  const std::string huge(400, '9');
  struct Case {
    const char* name;
    std::string stored;
    const char* written;
    int FakeMainView::*field;
    int expected;
  } cases[] = {
      {"MainForm Top", "-5", "312", &FakeMainView::top, 312},
      {"MainForm Top", "1025", "312", &FakeMainView::top, 312},  // below the work area
      {"MainForm Top", "1024", nullptr, &FakeMainView::top, 1024},
      {"MainForm Top", "3000", "312", &FakeMainView::top, 312},
      {"MainForm Top", "3001", "312", &FakeMainView::top, 312},
      {"MainForm Top", "0", nullptr, &FakeMainView::top, 312},
      {"MainForm Top", "abc", "312", &FakeMainView::top, 312},
      {"MainForm Top", huge, "312", &FakeMainView::top, 312},
      {"MainForm Left", "-1", "300", &FakeMainView::left, 300},
      {"MainForm Left", "1281", "300", &FakeMainView::left, 300},
      {"MainForm Left", "0", nullptr, &FakeMainView::left, 300},
      {"MainForm Width", "0", nullptr, &FakeMainView::width, 680},
      {"MainForm Width", "-900", nullptr, &FakeMainView::width, 680},
      {"MainForm Width", "12x", "680", &FakeMainView::width, 680},
      {"MainForm Width", "100", nullptr, &FakeMainView::width, 680},  // held to the minimum
      {"MainForm Height", "", "400", &FakeMainView::height, 400},
      {"MainForm Height", huge, "400", &FakeMainView::height, 400},
      {"UDSTreeView Height", "-3", nullptr, &FakeMainView::tree_height, 250},
      {"UDSTreeView Height", "x", "250", &FakeMainView::tree_height, 250},
      {"UDSTreeView Height", "2147483647", nullptr, &FakeMainView::tree_height, 2147483647},
  };
  for (const Case& c : cases) {
    reg_.DeleteKey(kCU, "Software");
    for (const char* v :
         {"MainForm Width", "MainForm Height", "MainForm Top", "MainForm Left", "UDSTreeView Height"})
      Store(v, v == std::string("MainForm Top") ? "10" : v == std::string("MainForm Left") ? "20" : "1");
    Store(c.name, c.stored);
    reg_.ClearWrites();
    view_ = FakeMainView();
    ASSERT_EQ(Create(), std::nullopt);
    SCOPED_TRACE(std::string(c.name) + " = " + c.stored.substr(0, 12));
    std::vector<std::string> written = WrittenNames();
    bool was_written = std::find(written.begin(), written.end(), c.name) != written.end();
    EXPECT_EQ(was_written, c.written != nullptr);
    if (c.written) {
      EXPECT_EQ(Value(c.name), c.written);
    }
    EXPECT_EQ(view_.*c.field, c.expected);
  }
}

// A work area that does not start at the screen's corner (a task bar at the
// top or left): the window is centred in its extent, and the bounds that
// decide whether a stored top or left is usable are that extent too.
TEST_F(Layout, WorkAreaOffTheCornerCentresByItsExtent) {
  view_.work = Rect{100, 40, 1180, 984};  // left, top, width, height
  Store("MainForm Top", "990");           // beyond the extent: replaced
  Store("MainForm Left", "1150");         // within the extent: kept
  ASSERT_EQ(Create(), std::nullopt);
  EXPECT_EQ(view_.top, (984 - 400) / 2);  // 400: the minimum height
  EXPECT_EQ(Value("MainForm Top"), std::to_string((984 - 400) / 2));
  EXPECT_EQ(view_.left, 1150);
}

TEST_F(Layout, WindowStateOnlyTakesTheStatesItNames) {
  for (auto [stored, state, written] :
       std::vector<std::tuple<std::string, WindowState, std::string>>{{"1", WindowState::kMinimised, "1"},
                                                                      {"2", WindowState::kMaximised, "2"},
                                                                      {"3", WindowState::kNormal, "3"},
                                                                      {"-1", WindowState::kNormal, "-1"},
                                                                      {"max", WindowState::kNormal, "0"}}) {
    Store("MainForm WindowState", stored);
    view_ = FakeMainView();
    ASSERT_EQ(Create(), std::nullopt);
    EXPECT_EQ(view_.state, state) << stored;
    EXPECT_EQ(Value("MainForm WindowState"), written) << stored;
  }
}

TEST_F(Layout, DisconnectTimingIsWrittenOnlyWhenEmpty) {
  for (auto [stored, written] : std::vector<std::pair<std::string, std::string>>{
           {"", "10"}, {"0", "0"}, {"abc", "abc"}, {"60", "60"}}) {
    Store("Disconnect Timing", stored);
    view_ = FakeMainView();
    ASSERT_EQ(Create(), std::nullopt);
    EXPECT_EQ(Value("Disconnect Timing"), written) << stored;
  }
}

}  // namespace
}  // namespace vx::app::testing
