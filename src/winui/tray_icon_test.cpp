#include "winui/tray_icon.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include "winui/graphics.h"
#include "winui/test_support.h"

namespace vx::winui {
namespace {

bool StillThere(HWND owner, UINT id) {
  // Modifying an icon the shell does not know fails.
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = id;
  data.uFlags = NIF_TIP;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

TEST(TrayIcon, AddModifyAndRemove) {
  testing::HostWindow owner;
  OwnedIcon normal = LoadIconResource("MAINICON", 16);
  OwnedIcon offline = LoadIconResource("MAINICON_NG", 16);
  ASSERT_TRUE(normal && offline);

  TrayIcon tray(TrayIconArgs{.owner = owner.hwnd(), .icon = normal.get(), .tip = "Vessix"});
  ASSERT_TRUE(tray.Add());
  EXPECT_TRUE(tray.IsAdded());
  EXPECT_TRUE(tray.Add());  // a second add updates the shown icon

  tray.SetIcon(offline.get());
  tray.SetTip(
      "Vessix - \nお使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。"
      "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。"
      "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。");
  EXPECT_TRUE(tray.Modify());  // a tip longer than the shell keeps is cut, not overrun

  EXPECT_TRUE(tray.Remove());
  EXPECT_FALSE(tray.IsAdded());
  EXPECT_FALSE(StillThere(owner.hwnd(), 1));
}

TEST(TrayIcon, GoesAwayWithTheObjectAndMovesWithIt) {
  testing::HostWindow owner;
  OwnedIcon icon = LoadIconResource("MAINICON", 16);
  {
    TrayIcon first(TrayIconArgs{.owner = owner.hwnd(), .id = 7, .icon = icon.get(), .tip = "Vessix"});
    ASSERT_TRUE(first.Add());
    TrayIcon second = std::move(first);
    EXPECT_FALSE(first.IsAdded());
    EXPECT_TRUE(second.IsAdded());
    EXPECT_TRUE(StillThere(owner.hwnd(), 7));
  }
  EXPECT_FALSE(StillThere(owner.hwnd(), 7));
}

TEST(FitText, CutsAtTheLimitWithoutSplittingAPair) {
  EXPECT_EQ(FitText("Vessix", 127), L"Vessix");
  EXPECT_EQ(FitText("abcdef", 3), L"abc");
  // U+1F5A8 (printer) is a surrogate pair in UTF-16.
  EXPECT_EQ(FitText("a\xF0\x9F\x96\xA8", 2), L"a");
  EXPECT_EQ(FitText("a\xF0\x9F\x96\xA8", 3).size(), 3u);
  EXPECT_EQ(FitText("", 0), L"");
}

}  // namespace
}  // namespace vx::winui
