// TMsgBox and the popup host under Wine: the popups rise on the real slide
// timer to the bottom right of the work area, stay on top without taking the
// focus, show their texts in the language's fonts, and their close button
// follows the pointer and closes them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "ui/win32/popup_host_win32.h"
#include "winui/kit.h"
#include "winui/main_thread_win32.h"
#include "winui/test_support.h"

namespace vx::ui::win32 {
namespace {

using namespace std::chrono_literals;
using winui::testing::WaitUntil;

// The visible TMsgBox windows of this thread, in the order of their tops
// (lowest first).
std::vector<HWND> VisiblePopups() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) -> BOOL {
        wchar_t name[32] = {};
        GetClassNameW(hwnd, name, 32);
        if (std::wstring(name) == L"TMsgBox" && IsWindowVisible(hwnd))
          reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top > rb.top;
  });
  return found;
}

Rect WindowRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return winui::FromRECT(r);
}

TMsgBox& Popup(HWND hwnd) { return *dynamic_cast<TMsgBox*>(winui::Window::FromHandle(hwnd)); }

class MsgBoxWindowTest : public ::testing::Test {
 protected:
  MsgBoxWindowTest() { winui::InitKit(); }

  std::unique_ptr<MsgBoxes> Make(bool japanese = true) {
    return std::make_unique<MsgBoxes>(
        MsgBoxesArgs{.lock = &lock_, .main_thread = &main_, .japanese = japanese, .caption = [] {
                       return std::string("Vessix");
                     }});
  }
  bool WaitSlideEnd(MsgBoxes& boxes) {
    return WaitUntil([&] { return !boxes.board().Sliding(); }, 10s);
  }

  winui::Win32MainThread main_;
  PopupLock lock_;
};

TEST_F(MsgBoxWindowTest, APopupRisesToTheBottomRightOfTheWorkAreaAndStaysOnTopUnfocused) {
  // The user's window keeps the focus.
  winui::testing::HostWindow user;
  user.Show(SW_SHOW);
  SetForegroundWindow(user.hwnd());
  auto boxes = Make();
  const Rect work = boxes->host().WorkArea();
  ASSERT_EQ(boxes->ShowMsgBox("USBデバイスの接続に失敗しました。", "＜印刷情報＞\nサーバ：Office", true), 0);
  std::vector<HWND> popups = VisiblePopups();
  ASSERT_EQ(popups.size(), 1u);
  HWND hwnd = popups[0];
  // It starts one height below its place, with its button disabled, and slides.
  EXPECT_EQ(WindowRect(hwnd).top, work.bottom());
  EXPECT_FALSE(Popup(hwnd).CloseEnabled());
  EXPECT_TRUE(boxes->host().SlideTimerRunning());

  ASSERT_TRUE(WaitSlideEnd(*boxes));
  EXPECT_EQ(WindowRect(hwnd), (Rect{work.right() - 254 - 16, work.bottom() - 204, 254, 204}));
  EXPECT_TRUE(Popup(hwnd).CloseEnabled());
  EXPECT_FALSE(boxes->host().SlideTimerRunning());
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_NE(GetForegroundWindow(), hwnd);
  EXPECT_NE(GetActiveWindow(), hwnd);
  EXPECT_EQ(Popup(hwnd).LabelText(kIdLabel1), "USBデバイスの接続に失敗しました。");
  EXPECT_EQ(Popup(hwnd).LabelText(kIdLabel2), "＜印刷情報＞\nサーバ：Office");
  EXPECT_EQ(Popup(hwnd).LabelText(kIdLabelCaption), "Vessix");
  EXPECT_EQ(Popup(hwnd).LabelText(kIdLabelTime), "");
  EXPECT_EQ(winui::WindowText(hwnd), "Vessix");
}

TEST_F(MsgBoxWindowTest, ThreePopupsStackAndAFourthIsNotShown) {
  auto boxes = Make();
  const Rect work = boxes->host().WorkArea();
  EXPECT_EQ(boxes->ShowMsgBox("one", "", false), 0);
  EXPECT_EQ(boxes->ShowMsgBox("two", "", false), 1);
  EXPECT_EQ(boxes->ShowMsgBox("three", "", false), 2);
  EXPECT_EQ(boxes->ShowMsgBox("four", "", false), -1);
  ASSERT_TRUE(WaitSlideEnd(*boxes));
  std::vector<HWND> popups = VisiblePopups();
  ASSERT_EQ(popups.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(WindowRect(popups[k]).top, work.bottom() - 204 * (k + 1)) << k;
    EXPECT_EQ(WindowRect(popups[k]).left, work.right() - 270) << k;
  }
  boxes->CloseMsgBox(1);
  EXPECT_EQ(VisiblePopups().size(), 2u);
  EXPECT_FALSE(boxes->board().SlotUsed(1));
}

TEST_F(MsgBoxWindowTest, TheCloseButtonHighlightsUnderThePointerAndClosesOnAClick) {
  auto boxes = Make();
  ASSERT_EQ(boxes->ShowMsgBox("Server not found", "details", true), 0);
  ASSERT_TRUE(WaitSlideEnd(*boxes));
  HWND hwnd = VisiblePopups().at(0);
  TMsgBox& popup = Popup(hwnd);
  ASSERT_TRUE(boxes->host().Pictures().close);
  EXPECT_EQ(ImageList_GetImageCount(boxes->host().Pictures().close.get()), 2);

  // Inside the button's inner area: picture 1 and the mouse captured.
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(228 + 8, 6 + 8));
  EXPECT_TRUE(popup.CloseHighlighted());
  EXPECT_EQ(GetCapture(), hwnd);
  // On its border: picture 0, capture released.
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(228 + 1, 6 + 8));
  EXPECT_FALSE(popup.CloseHighlighted());
  EXPECT_NE(GetCapture(), hwnd);
  // A press outside the button and a release on it is no click.
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(236, 14));
  EXPECT_TRUE(IsWindowVisible(hwnd));

  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(236, 14));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(236, 14));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(236, 14));
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_NE(GetCapture(), hwnd);
  EXPECT_FALSE(boxes->board().SlotUsed(0));
  EXPECT_EQ(boxes->ShowMsgBox("Server not found", "details", true), -1);
  EXPECT_EQ(boxes->ShowMsgBox("Server not found", "details", false), 0);
}

TEST_F(MsgBoxWindowTest, JapaneseLabelsUseTheJapaneseCharacterSetAtTenPoints) {
  for (bool japanese : {true, false}) {
    auto boxes = Make(japanese);
    ASSERT_EQ(boxes->ShowMsgBox("印刷中…", "", false), 0);
    HWND hwnd = VisiblePopups().at(0);
    LOGFONTW font{};
    ASSERT_TRUE(GetObjectW(Popup(hwnd).LabelFont(kIdLabel1), sizeof(font), &font));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(font.lfHeight, -MulDiv(japanese ? 10 : 8, dpi, 72)) << japanese;
    EXPECT_EQ(font.lfCharSet == SHIFTJIS_CHARSET, japanese);
    LOGFONTW caption{};
    ASSERT_TRUE(GetObjectW(Popup(hwnd).LabelFont(kIdLabelCaption), sizeof(caption), &caption));
    EXPECT_EQ(caption.lfCharSet == SHIFTJIS_CHARSET, japanese);
    boxes->CloseMsgBox(0);
  }
}

TEST_F(MsgBoxWindowTest, AWorkerThreadsPopupIsMadeOnTheMainThread) {
  auto boxes = Make();
  auto shown = std::async(std::launch::async, [&] { return boxes->ShowMsgBox("from a watcher", "", false); });
  ASSERT_TRUE(WaitUntil([&] { return shown.wait_for(0ms) == std::future_status::ready; }));
  EXPECT_EQ(shown.get(), 0);
  HWND hwnd = VisiblePopups().at(0);
  EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
  auto closed = std::async(std::launch::async, [&] { boxes->CloseMsgBox(0); });
  ASSERT_TRUE(WaitUntil([&] { return closed.wait_for(0ms) == std::future_status::ready; }));
  EXPECT_FALSE(IsWindowVisible(hwnd));
}

}  // namespace
}  // namespace vx::ui::win32
