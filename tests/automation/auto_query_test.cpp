#include "auto_query.h"

#include <gtest/gtest.h>

namespace vx::automation {
namespace {

TEST(GlobMatch, WithoutWildcardsOnlyTheExactTextMatches) {
  EXPECT_TRUE(GlobMatch("Office-1F - 10.77.0.21", "Office-1F - 10.77.0.21"));
  EXPECT_FALSE(GlobMatch("Office-1F", "Office-1F - 10.77.0.21"));  // no prefix match
  EXPECT_FALSE(GlobMatch("Office-1F - 10.77.0.21", "Office-1F"));
  EXPECT_FALSE(GlobMatch("office-1f", "Office-1F"));  // case matters
  EXPECT_TRUE(GlobMatch("", ""));
  EXPECT_FALSE(GlobMatch("", "x"));
}

TEST(GlobMatch, StarBacktracksAndQuestionTakesOneCharacter) {
  EXPECT_TRUE(GlobMatch("*", ""));
  EXPECT_TRUE(GlobMatch("a*b*c", "aXbYbZc"));
  EXPECT_TRUE(GlobMatch("*Laser 9*", "PRINTER - Acme - Laser 9 [ 手動接続： PC2 ]"));
  EXPECT_FALSE(GlobMatch("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(GlobMatch("Configure*Server", "Configure\r\nServer"));
  EXPECT_TRUE(GlobMatch("10.77.0.2?", "10.77.0.21"));
  EXPECT_FALSE(GlobMatch("10.77.0.2?", "10.77.0.2"));
  // `?` stands for one character, not one byte, in Japanese text.
  EXPECT_TRUE(GlobMatch("サ?バ", "サーバ"));
  EXPECT_FALSE(GlobMatch("サ??バ", "サーバ"));
  EXPECT_TRUE(GlobMatch("*?", "接"));
}

TEST(GlobMatch, ManyStarsStayFast) {
  std::string text(5000, 'a');
  EXPECT_FALSE(GlobMatch("*a*a*a*a*a*a*a*a*b", text));
  EXPECT_TRUE(GlobMatch("*a*a*a*a*a*a*a*a*", text));
}

TEST(MenuLabel, DropsMnemonicsAndAccelerators) {
  EXPECT_EQ(MenuLabel("&System"), "System");
  EXPECT_EQ(MenuLabel("Save && E&xit"), "Save & Exit");
  EXPECT_EQ(MenuLabel("&Open\tCtrl+O"), "Open");
  EXPECT_EQ(MenuLabel("システム (&S)"), "システム (S)");
  EXPECT_EQ(MenuLabel("trailing&"), "trailing");
}

TEST(ParseNumber, DecimalHexAndJunk) {
  EXPECT_EQ(ParseNumber("1125"), 1125u);
  EXPECT_EQ(ParseNumber("0x1002A"), 0x1002Au);
  EXPECT_EQ(ParseNumber("0xffffffffffffffff"), UINT64_MAX);
  EXPECT_EQ(ParseNumber("0x10000000000000000"), std::nullopt);  // overflow
  EXPECT_EQ(ParseNumber("18446744073709551616"), std::nullopt);
  EXPECT_EQ(ParseNumber(""), std::nullopt);
  EXPECT_EQ(ParseNumber("0x"), std::nullopt);
  EXPECT_EQ(ParseNumber("12a"), std::nullopt);
  EXPECT_EQ(ParseNumber("-3"), std::nullopt);
}

TEST(ParseOptions, ReadsEveryKindOfOption) {
  Options o =
      ParseOptions({"tree-click", "--class", "TMainFm", "--title", "Vessix*", "--id", "0x3E9", "--node",
                    "Office-1F*", "--node", "PRINTER*", "--timeout", "30000", "--interval", "50"});
  EXPECT_EQ(o.command, Command::kTreeClick);
  EXPECT_EQ(o.window_class, "TMainFm");
  EXPECT_EQ(o.title, "Vessix*");
  EXPECT_EQ(o.id, 1001);
  EXPECT_EQ(o.path, (std::vector<std::string>{"Office-1F*", "PRINTER*"}));
  EXPECT_EQ(o.timeout_ms, 30000);
  EXPECT_EQ(o.interval_ms, 50);
  EXPECT_EQ(ParseOptions({"control", "--hwnd", "0x1002a", "--id", "-1"}).id, -1);
  EXPECT_EQ(ParseOptions({"windows"}).timeout_ms, 5000);
  Options w = ParseOptions({"wait", "--class", "TMainFm", "--tree-count", "1", "--id", "7", "--disabled"});
  EXPECT_EQ(w.wait.tree_count_min, 1);
  EXPECT_EQ(w.wait.enabled, false);
}

TEST(ParseOptions, RefusesWhatCannotRun) {
  auto refused = [](std::vector<std::string> args) {
    try {
      ParseOptions(args);
    } catch (const UsageError&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(refused({}));
  EXPECT_TRUE(refused({"frobnicate", "--class", "X"}));
  EXPECT_TRUE(refused({"tree"}));             // no window
  EXPECT_TRUE(refused({"tree", "--class"}));  // value missing
  EXPECT_TRUE(refused({"tree", "--class", "X", "--colour", "red"}));
  EXPECT_TRUE(refused({"tree", "--class", "X", "--timeout", "soon"}));
  EXPECT_TRUE(refused({"tree", "--class", "X", "--timeout", "-5"}));
  EXPECT_TRUE(refused({"tree", "--class", "X", "--interval", "0"}));  // would spin
  EXPECT_TRUE(refused({"tree", "--class", "X", "--id", "99999999999"}));
  EXPECT_TRUE(refused({"tree", "--hwnd", "0"}));
  EXPECT_TRUE(refused({"click", "--class", "X"}));  // which control?
  EXPECT_TRUE(refused({"press", "--class", "X"}));  // which button?
  EXPECT_TRUE(refused({"press", "--class", "X", "--command", "70000"}));
  EXPECT_TRUE(refused({"menu-click", "--class", "X"}));  // which item?
  EXPECT_TRUE(refused({"tree-select", "--class", "X"}));
  EXPECT_TRUE(refused({"wait", "--class", "X"}));  // which condition?
  EXPECT_TRUE(refused({"wait", "--class", "X", "--gone", "--tree-count", "1"}));
  EXPECT_TRUE(refused({"wait", "--class", "X", "--enabled"}));  // enabled what?
  EXPECT_FALSE(refused({"wait", "--class", "X", "--gone"}));
}

std::vector<TreeEntry> SampleTree() {
  return {{0, "Remote - 10.9.0.5 [Online]"}, {1, "MASS STORAGE - Kumo - Pocket Disk"},
          {0, "Office-1F - 10.77.0.21"},     {1, "PRINTER - Acme - Laser 9"},
          {1, "SCANNER - Acme - Flatbed"},   {0, "Office-2F - 10.77.0.22"},
          {1, "PRINTER - Acme - Laser 9"}};
}

TEST(TreePaths, FollowDepthsUpAndDown) {
  auto paths = TreePaths(SampleTree());
  ASSERT_EQ(paths.size(), 7u);
  EXPECT_EQ(paths[1],
            (std::vector<std::string>{"Remote - 10.9.0.5 [Online]", "MASS STORAGE - Kumo - Pocket Disk"}));
  EXPECT_EQ(paths[2], (std::vector<std::string>{"Office-1F - 10.77.0.21"}));
  EXPECT_EQ(paths[4], (std::vector<std::string>{"Office-1F - 10.77.0.21", "SCANNER - Acme - Flatbed"}));
  EXPECT_EQ(paths[6], (std::vector<std::string>{"Office-2F - 10.77.0.22", "PRINTER - Acme - Laser 9"}));
}

TEST(TreePaths, ToleratesDepthJumpsAndNegativeDepths) {
  auto paths = TreePaths({{2, "a"}, {5, "b"}, {-1, "c"}});
  EXPECT_EQ(paths[0], (std::vector<std::string>{"a"}));
  EXPECT_EQ(paths[1], (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(paths[2], (std::vector<std::string>{"c"}));
}

TEST(FindPath, MatchesLevelByLevelWithTheFullLength) {
  auto tree = SampleTree();
  // The same device text under two servers: the server level decides.
  EXPECT_EQ(FindPath(tree, {"Office-2F*", "PRINTER*"}), 6u);
  EXPECT_EQ(FindPath(tree, {"Office-1F*", "PRINTER*"}), 3u);
  EXPECT_EQ(FindPath(tree, {"Office-1F - 10.77.0.21"}), 2u);
  // A server pattern does not pick one of its devices, nor the reverse.
  EXPECT_EQ(FindPath(tree, {"PRINTER*"}), std::nullopt);
  EXPECT_EQ(FindPath(tree, {"Office-1F*", "PRINTER*", "*"}), std::nullopt);
  EXPECT_EQ(FindPath(tree, {}), std::nullopt);
  EXPECT_EQ(FindPath(tree, {"*"}), 0u);
}

}  // namespace
}  // namespace vx::automation
