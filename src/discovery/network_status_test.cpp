#include "discovery/network_status.h"

#include <gtest/gtest.h>

namespace vx::discovery {
namespace {

class FakeView final : public NetworkStatusView {
 public:
  bool ServerTreeEmpty() const override { return tree_empty; }
  bool MainWindowVisible() const override { return visible; }
  bool MsgMemoVisible() const override { return memo_visible; }
  void ShowMsgMemo() override { memo_visible = true; }
  void HideMsgMemo() override { memo_visible = false; }
  void SetMsgMemoText(const std::string& t) override { memo_text = t; }
  void SetIcon(const std::string& name) override { icon = name; }
  void SetTrayTip(const std::string& t) override { tip = t; }
  void UpdateTrayIcon() override { ++tray_updates; }

  bool tree_empty = true, visible = true, memo_visible = false;
  std::string memo_text = "old", icon, tip = "old tip";
  int tray_updates = 0;
};

struct Fixture {
  FakeView view;
  bool japanese = true;
  NetworkStatusPresenter presenter{view, [this] { return japanese; }, [] { return std::string("Vessix"); }};
};

TEST(NetworkStatus, NoNetworkShowsTheJapaneseTextAndTheNgIcon) {
  Fixture f;
  f.presenter.NoNetworkStep();
  EXPECT_TRUE(f.view.memo_visible);
  EXPECT_EQ(f.view.memo_text, kNoNetworkText);
  EXPECT_EQ(f.view.icon, "MAINICON_NG");
  EXPECT_EQ(f.view.tip, std::string("Vessix - \n") + kNoNetworkText);
  EXPECT_EQ(f.view.tray_updates, 1);
}

TEST(NetworkStatus, NoNetworkLeavesTheMemoAloneWhenServersAreShownOrTheWindowIsHidden) {
  Fixture f;
  f.view.tree_empty = false;
  f.presenter.NoNetworkStep();
  EXPECT_FALSE(f.view.memo_visible);
  EXPECT_EQ(f.view.memo_text, "old");
  EXPECT_EQ(f.view.icon, "MAINICON_NG");

  Fixture hidden;
  hidden.view.visible = false;
  hidden.presenter.NoNetworkStep();
  EXPECT_FALSE(hidden.view.memo_visible);
}

TEST(NetworkStatus, InOtherLanguagesTheMemoIsClearedAndTheTipKept) {
  Fixture f;
  f.japanese = false;
  f.presenter.NoNetworkStep();
  EXPECT_TRUE(f.view.memo_visible);
  EXPECT_EQ(f.view.memo_text, "");
  EXPECT_EQ(f.view.tip, "old tip");
  EXPECT_EQ(f.view.icon, "MAINICON_NG");
}

TEST(NetworkStatus, NetworkOkHidesTheMemoAndRestoresIconAndTip) {
  Fixture f;
  f.presenter.NoNetworkStep();
  f.presenter.NetworkOkStep();
  EXPECT_FALSE(f.view.memo_visible);
  EXPECT_EQ(f.view.icon, "MAINICON");
  EXPECT_EQ(f.view.tip, "Vessix");
  EXPECT_EQ(f.view.tray_updates, 2);
}

}  // namespace
}  // namespace vx::discovery
