#include "winui/message_box.h"

#include <gtest/gtest.h>

#include <thread>

#include "winui/test_support.h"

namespace vx::winui {
namespace {

TEST(MessageBoxes, DismissedFromAnotherThreadReturnsTheChosenButton) {
  const std::string caption = "Vessix message box test";
  std::wstring seen_text;
  bool topmost = false;
  std::thread answer([&] {
    HWND box = testing::FindTopLevel(L"#32770", caption);
    if (!box) return;
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    seen_text = text;
    topmost = GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST;
    PostMessageW(box, WM_COMMAND, IDNO, 0);
  });
  MessageResult result = ShowMessageBox(
      MessageBoxArgs{.text = "接続中のデバイスがあります。終了すると切断されますが、よろしいですか？",
                     .caption = caption,
                     .buttons = MessageButtons::YesNo,
                     .icon = MessageIcon::Warning,
                     .topmost = true});
  answer.join();
  EXPECT_EQ(result, MessageResult::No);
  EXPECT_EQ(seen_text, L"接続中のデバイスがあります。終了すると切断されますが、よろしいですか？");
  EXPECT_TRUE(topmost);
}

TEST(MessageBoxes, OkCancelAnsweredWithOk) {
  const std::string caption = "Vessix reboot question";
  std::thread answer([&] {
    if (HWND box = testing::FindTopLevel(L"#32770", caption)) PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  MessageResult result = ShowMessageBox(MessageBoxArgs{
      .text = "Please reboot your computer.\n\n", .caption = caption, .buttons = MessageButtons::OkCancel});
  answer.join();
  EXPECT_EQ(result, MessageResult::Ok);
}

}  // namespace
}  // namespace vx::winui
