#include "winui/action.h"

#include <gtest/gtest.h>

#include "winui/menu.h"
#include "winui/test_support.h"
#include "winui/toolbar.h"

namespace vx::winui {
namespace {

std::vector<std::wstring> MenuTexts(HMENU menu) {
  std::vector<std::wstring> texts;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t buffer[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = buffer;
    info.cch = 128;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    texts.push_back(info.fType & MFT_SEPARATOR ? L"-" : buffer);
  }
  return texts;
}

UINT MenuState(HMENU menu, const Action& action) {
  return GetMenuState(menu, action.CommandId(), MF_BYCOMMAND);
}

TEST(Action, HandlerOfADisabledActionNeverRuns) {
  int runs = 0;
  Action action("Connect", [&] { ++runs; });
  testing::HostWindow window;

  action.SetEnabled(false);
  EXPECT_FALSE(action.Execute());
  // A menu or accelerator command, and a tool button click, for the action.
  SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(action.CommandId(), 0), 0);
  SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(action.CommandId(), BN_CLICKED),
               reinterpret_cast<LPARAM>(window.hwnd()));
  EXPECT_EQ(runs, 0);

  action.SetEnabled(true);
  EXPECT_TRUE(action.Execute());
  SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(action.CommandId(), 0), 0);
  EXPECT_EQ(runs, 2);
}

TEST(Action, CommandIdsAreUniqueAndForgottenWithTheAction) {
  UINT id = 0;
  {
    Action a, b;
    EXPECT_NE(a.CommandId(), b.CommandId());
    EXPECT_EQ(Action::FromCommand(a.CommandId()), &a);
    id = a.CommandId();
  }
  EXPECT_EQ(Action::FromCommand(id), nullptr);
}

TEST(Action, ObserverMayUnsubscribeAnotherWhileNotified) {
  Action action("x");
  int first_calls = 0, second_calls = 0;
  int second = 0;
  action.Subscribe([&](const Action&) {
    ++first_calls;
    action.Unsubscribe(second);
  });
  second = action.Subscribe([&](const Action&) { ++second_calls; });
  action.SetCaption("y");
  action.SetCaption("z");
  EXPECT_EQ(first_calls, 2);
  EXPECT_EQ(second_calls, 0);
}

TEST(Menu, ItemsMirrorCaptionStateAndVisibility) {
  Action open("Open Vessix"), configure("Configuration..."), exit("Exit");
  Menu menu;
  menu.Add(open).AddSeparator().Add(configure).AddSeparator().Add(exit);
  EXPECT_EQ(MenuTexts(menu.handle()),
            (std::vector<std::wstring>{L"Open Vessix", L"-", L"Configuration...", L"-", L"Exit"}));

  exit.SetCaption("終了");
  configure.SetEnabled(false);
  open.SetChecked(true);
  EXPECT_EQ(MenuTexts(menu.handle()).back(), L"終了");
  EXPECT_TRUE(MenuState(menu.handle(), configure) & MF_GRAYED);
  EXPECT_FALSE(MenuState(menu.handle(), exit) & MF_GRAYED);
  EXPECT_TRUE(MenuState(menu.handle(), open) & MF_CHECKED);

  // Hidden items leave no leading, trailing or doubled separator behind.
  configure.SetVisible(false);
  EXPECT_EQ(MenuTexts(menu.handle()), (std::vector<std::wstring>{L"Open Vessix", L"-", L"終了"}));
  open.SetVisible(false);
  EXPECT_EQ(MenuTexts(menu.handle()), (std::vector<std::wstring>{L"終了"}));
  menu.SetItemVisible(exit, false);
  EXPECT_EQ(GetMenuItemCount(menu.handle()), 0);
  configure.SetVisible(true);
  EXPECT_EQ(MenuTexts(menu.handle()), (std::vector<std::wstring>{L"Configuration..."}));
}

TEST(Menu, OneActionInTwoMenusAndSubmenusStayConsistent) {
  Action connect("Connect");
  Menu bar(Menu::Kind::Bar);
  Menu& tools = bar.AddSubmenu("&Tools");
  tools.Add(connect);
  {
    Menu context;
    context.Add(connect);
    connect.SetCaption("接続");
    EXPECT_EQ(MenuTexts(context.handle()), std::vector<std::wstring>{L"接続"});
  }
  // The destroyed menu no longer listens; the remaining one still follows.
  connect.SetEnabled(false);
  EXPECT_EQ(MenuTexts(tools.handle()), std::vector<std::wstring>{L"接続"});
  EXPECT_TRUE(MenuState(tools.handle(), connect) & MF_GRAYED);
  EXPECT_EQ(GetSubMenu(bar.handle(), 0), tools.handle());
}

TEST(Menu, BarOutlivingItsWindowDoesNotDestroyTwice) {
  Action exit("Exit");
  auto bar = std::make_unique<Menu>(Menu::Kind::Bar);
  bar->AddSubmenu("&System").Add(exit);
  {
    testing::HostWindow window;
    ASSERT_TRUE(bar->AttachTo(window.hwnd()));
    EXPECT_EQ(GetMenu(window.hwnd()), bar->handle());
  }
  HMENU stale = bar->handle();
  EXPECT_FALSE(IsMenu(stale));  // the window took it down
  bar.reset();
  exit.SetCaption("still fine");
}

// Keys posted before the menu opens are read by its tracking loop.
void PostKeys(HWND window, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) {
    PostMessageW(window, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_KEYUP, key, 0xC0000000);
  }
}

TEST(Menu, PopupRunsTheChosenActionAndNothingWhenDismissed) {
  testing::HostWindow owner;
  owner.Show(SW_SHOWNA);
  int opened = 0, exited = 0;
  Action open("Open Vessix", [&] { ++opened; }), exit("Exit", [&] { ++exited; });
  Menu tray;
  tray.Add(open).Add(exit);

  PostKeys(owner.hwnd(), {VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_EQ(tray.Popup(owner.hwnd(), Point{100, 100}), &exit);
  EXPECT_EQ(exited, 1);

  open.SetVisible(false);  // the first item is now "Exit"
  PostKeys(owner.hwnd(), {VK_DOWN, VK_RETURN});
  EXPECT_EQ(tray.Popup(owner.hwnd(), Point{100, 100}), &exit);
  EXPECT_EQ(exited, 2);

  PostKeys(owner.hwnd(), {VK_ESCAPE});
  EXPECT_EQ(tray.Popup(owner.hwnd(), Point{100, 100}), nullptr);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(exited, 2);
}

TEST(ToolBar, ButtonsMirrorActionsAndOnlyEnabledOnesExecute) {
  testing::HostWindow window;
  ToolBar bar =
      ToolBar::Create({.parent = window.hwnd(), .id = 300, .bounds = {0, 0, 400, 85}, .button_height = 85});
  ASSERT_TRUE(bar);
  int connects = 0;
  Action connect("Connect \r\n", [&] { ++connects; }), disconnect("Disconnect \r\n"),
      request("Request to\r\nConnect");
  ASSERT_TRUE(bar.AddButton(connect, {.width = 85}));
  ASSERT_TRUE(bar.AddButton(disconnect, {.width = 85}));
  ASSERT_TRUE(bar.AddButton(request, {.width = 85, .toggle = true}));
  EXPECT_EQ(bar.ButtonCount(), 3);
  EXPECT_EQ(bar.ButtonWidth(connect), 85);
  EXPECT_EQ(bar.VisibleButtonsWidth(), 3 * 85);
  EXPECT_EQ(bar.ButtonBounds(disconnect).left, bar.ButtonBounds(connect).right());
  // Two-line captions do not shrink the buttons below the height asked for.
  EXPECT_EQ(bar.ButtonBounds(request).height, 85);

  request.SetVisible(false);
  disconnect.SetEnabled(false);
  connect.SetCaption("接続");
  EXPECT_FALSE(bar.ButtonVisible(request));
  EXPECT_FALSE(bar.ButtonEnabled(disconnect));
  EXPECT_TRUE(bar.ButtonEnabled(connect));
  EXPECT_EQ(bar.ButtonText(connect), "接続");
  EXPECT_EQ(bar.VisibleButtonsWidth(), 2 * 85);
  EXPECT_EQ(bar.ButtonWidth(request), 0);

  bar.SetButtonWidth(connect, 90);
  EXPECT_EQ(bar.ButtonWidth(connect), 90);
  EXPECT_EQ(bar.VisibleButtonsWidth(), 90 + 85);

  request.SetVisible(true);
  EXPECT_EQ(bar.ButtonWidth(request), 85);  // shown again at its width
  request.SetChecked(true);
  EXPECT_TRUE(bar.ButtonChecked(request));
  bar.SetButtonChecked(request, false);
  EXPECT_FALSE(bar.ButtonChecked(request));

  // A click on a tool button reaches the parent as the action's command.
  auto click = [&](const Action& action) {
    SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(action.CommandId(), BN_CLICKED),
                 reinterpret_cast<LPARAM>(bar.hwnd()));
  };
  click(connect);
  connect.SetEnabled(false);
  click(connect);
  EXPECT_EQ(connects, 1);
}

}  // namespace
}  // namespace vx::winui
