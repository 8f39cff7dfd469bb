#include "winui/window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "winui/test_support.h"

namespace vx::winui {
namespace {

using testing::ReportedExceptions;
using testing::WaitUntil;

constexpr UINT kPing = WM_APP + 7;

class RecordingWindow : public Window {
 public:
  std::vector<std::pair<WPARAM, LPARAM>> pings;
  bool throw_next = false;
  int destroyed = 0;

 protected:
  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == kPing) {
      if (std::exchange(throw_next, false)) throw std::runtime_error("handler failed");
      pings.emplace_back(wparam, lparam);
      return 42;
    }
    return Window::HandleMessage(message, wparam, lparam);
  }
  void OnDestroyed() override { ++destroyed; }
};

TEST(Window, ReceivesSentAndPostedMessages) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(WindowArgs{.class_name = "VxRecordingWindow", .caption = "受信テスト"}));
  EXPECT_EQ(Window::FromHandle(window.hwnd()), &window);
  EXPECT_EQ(window.Caption(), "受信テスト");

  EXPECT_EQ(SendMessageW(window.hwnd(), kPing, 1, 2), 42);
  ASSERT_TRUE(PostMessageW(window.hwnd(), kPing, 3, 4));
  ASSERT_TRUE(WaitUntil([&] { return window.pings.size() == 2; }));
  EXPECT_EQ(window.pings[0], (std::pair<WPARAM, LPARAM>{1, 2}));
  EXPECT_EQ(window.pings[1], (std::pair<WPARAM, LPARAM>{3, 4}));
}

TEST(Window, ExceptionInHandlerStaysInsideAndTheWindowGoesOn) {
  ReportedExceptions reported;
  RecordingWindow window;
  ASSERT_TRUE(window.Create(WindowArgs{.class_name = "VxRecordingWindow", .message_only = true}));

  window.throw_next = true;
  // The message gets default processing; nothing escapes into the caller.
  EXPECT_EQ(SendMessageW(window.hwnd(), kPing, 0, 0), 0);
  ASSERT_EQ(reported.messages, std::vector<std::string>{"handler failed"});

  window.throw_next = true;
  PostMessageW(window.hwnd(), kPing, 0, 0);
  PostMessageW(window.hwnd(), kPing, 5, 6);
  ASSERT_TRUE(WaitUntil([&] { return window.pings.size() == 1; }));
  EXPECT_EQ(window.pings[0].first, 5u);
  EXPECT_EQ(reported.messages.size(), 2u);
}

TEST(Window, DefaultReporterShowsTheExceptionBoxAndReturns) {
  SetApplicationTitle("Vessix kit boundary");
  RecordingWindow window;
  ASSERT_TRUE(window.Create(WindowArgs{.class_name = "VxRecordingWindow", .message_only = true}));

  std::wstring text;
  std::thread closer([&] {
    HWND box = testing::FindTopLevel(L"#32770", "Vessix kit boundary");
    if (!box) return;
    wchar_t buffer[256] = {};
    GetDlgItemTextW(box, 0xFFFF, buffer, 256);
    text = buffer;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  window.throw_next = true;
  SendMessageW(window.hwnd(), kPing, 0, 0);  // returns once the box is closed
  closer.join();
  SetApplicationTitle("");

  EXPECT_EQ(text, L"handler failed.");
  EXPECT_EQ(SendMessageW(window.hwnd(), kPing, 0, 0), 42);
}

TEST(Window, DestroyingTheWindowOrTheObjectLetsGo) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(WindowArgs{.class_name = "VxRecordingWindow", .message_only = true}));
  HWND hwnd = window.hwnd();
  window.Destroy();
  EXPECT_EQ(window.hwnd(), nullptr);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(window.destroyed, 1);

  HWND second = nullptr;
  {
    RecordingWindow scoped;
    ASSERT_TRUE(scoped.Create(WindowArgs{.class_name = "VxRecordingWindow", .message_only = true}));
    second = scoped.hwnd();
  }
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(Window::FromHandle(second), nullptr);
}

TEST(Window, RoutesControlCommandsAndNotificationsById) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(WindowArgs{.class_name = "VxRecordingWindow", .message_only = true}));
  int clicked_code = -1;
  window.OnCommand(1001, [&](int code) { clicked_code = code; });
  window.OnNotify(1002,
                  [&](NMHDR& header) -> std::optional<LRESULT> { return header.code == NM_DBLCLK ? 7 : 0; });

  SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(1001, EN_CHANGE),
               reinterpret_cast<LPARAM>(window.hwnd()));
  EXPECT_EQ(clicked_code, EN_CHANGE);
  NMHDR header{window.hwnd(), 1002, static_cast<UINT>(NM_DBLCLK)};
  EXPECT_EQ(SendMessageW(window.hwnd(), WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&header)), 7);
}

TEST(WindowClass, RegistersOnceAndUnregistersWhenDropped) {
  DWORD error = 0;
  {
    WindowClass first = WindowClass::Register(WindowClassArgs{.name = "VxScopedClass"}, &error);
    ASSERT_TRUE(first.valid());
    WindowClass twice = WindowClass::Register(WindowClassArgs{.name = "VxScopedClass"}, &error);
    EXPECT_FALSE(twice.valid());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    WindowClass moved = std::move(first);
    EXPECT_TRUE(moved.valid());
  }
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  EXPECT_FALSE(GetClassInfoExW(Instance(), L"VxScopedClass", &info));
}

}  // namespace
}  // namespace vx::winui
