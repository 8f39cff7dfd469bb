// vx-popup-slide.exe: shows one notification popup with the program's own
// window and steps its slide by hand, so that a Wine test can take
// screenshots at chosen steps. The clock stands still unless this program
// moves it: every step moves it by 5 ms and lets the board tick once.
//
//   vx-popup-slide.exe [--message TEXT] [--details TEXT] [--english]
//                      [--pause-at N,N,...] [--second TEXT]
//
// Prints (UTF-8, one line each, flushed):
//   workarea LEFT TOP RIGHT BOTTOM
//   slot K
//   pause STEP LEFT TOP         at each step of --pause-at, and once more at
//                               the end; it then waits for one line on stdin
//   end STEPS LEFT TOP RIGHT BOTTOM    the window's rectangle once in place
//   hover LEFT TOP              the pointer is on the close button at LEFT,
//                               TOP (screen); waits for a line on stdin
//   second SLOT LEFT TOP        with --second: a second popup, once in place
// and waits for a last line on stdin before it closes its popups. Exit code
// 0, or 1 when the popup was not shown.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing/fake_clock.h"
#include "platform/text_codec.h"
#include "ui/win32/popup_host_win32.h"
#include "winui/kit.h"
#include "winui/main_thread_win32.h"
#include "winui/message_loop.h"

namespace {

using namespace std::chrono_literals;
using vx::ui::win32::MsgBoxes;

struct Options {
  std::string message = "USBデバイスを接続しています。";
  std::string details =
      "＜印刷情報＞\nサーバ：Office-1F - 10.77.0.21\nプリンタ：Marvex - LP-200\nファイル：report.pdf";
  bool japanese = true;
  std::set<int> pauses;
  std::string second;
};

Options Parse(const std::vector<std::string>& args) {
  Options o;
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    const bool has_value = k + 1 < args.size();
    if (a == "--message" && has_value) {
      o.message = args[++k];
    } else if (a == "--details" && has_value) {
      o.details = args[++k];
    } else if (a == "--second" && has_value) {
      o.second = args[++k];
    } else if (a == "--english") {
      o.japanese = false;
    } else if (a == "--pause-at" && has_value) {
      const std::string list = args[++k];
      size_t start = 0;
      while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!item.empty()) o.pauses.insert(std::stoi(item));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
  }
  return o;
}

void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// Lines from stdin, read on a thread of their own; the main thread waits for
// the next one while it keeps its windows painted.
class StdinLines {
 public:
  StdinLines() : lines_(CreateSemaphoreW(nullptr, 0, 1 << 20, nullptr)) {
    std::thread([lines = lines_] {
      HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
      char c = 0;
      DWORD got = 0;
      while (ReadFile(in, &c, 1, &got, nullptr) && got == 1) {
        if (c == '\n') ReleaseSemaphore(lines, 1, nullptr);
      }
      ReleaseSemaphore(lines, 1 << 16, nullptr);  // end of input: no wait waits any more
    }).detach();
  }
  // Waits for the next line (at most five minutes).
  void Wait() { vx::winui::WaitPumping(lines_, std::chrono::minutes(5)); }

 private:
  HANDLE lines_;
};

RECT WindowRectOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

HWND PopupWindow(const std::string& message) {
  HWND found = nullptr;
  while ((found = FindWindowExW(nullptr, found, L"TMsgBox", nullptr))) {
    HWND label = GetDlgItem(found, vx::ui::win32::kIdLabel1);
    if (IsWindowVisible(found) && label && vx::winui::WindowText(label) == message) return found;
  }
  return nullptr;
}

int Run(const Options& o) {
  vx::winui::InitKit();
  vx::winui::Win32MainThread main_thread;
  vx::ui::PopupLock lock;
  vx::testing::FakeClock clock(vx::testing::FakeClock::OnSleep::kStandStill);
  MsgBoxes boxes(
      {.lock = &lock, .main_thread = &main_thread, .clock = &clock, .japanese = o.japanese, .caption = [] {
         return std::string("Vessix");
       }});
  StdinLines input;

  const vx::Rect work = boxes.host().WorkArea();
  Say("workarea " + std::to_string(work.left) + " " + std::to_string(work.top) + " " +
      std::to_string(work.right()) + " " + std::to_string(work.bottom()));
  const int slot = boxes.ShowMsgBox(o.message, o.details, true);
  Say("slot " + std::to_string(slot));
  if (slot < 0) return 1;
  HWND hwnd = PopupWindow(o.message);
  if (!hwnd) return 1;

  auto pause = [&](int step) {
    vx::winui::ProcessMessages();
    UpdateWindow(hwnd);
    GdiFlush();
    const RECT r = WindowRectOf(hwnd);
    Say("pause " + std::to_string(step) + " " + std::to_string(r.left) + " " + std::to_string(r.top));
    input.Wait();
  };
  int step = 0;
  while (boxes.board().Sliding(slot)) {
    if (o.pauses.count(step)) pause(step);
    clock.Advance(std::chrono::milliseconds(vx::ui::kSlideStepMs));
    boxes.board().Tick();
    vx::winui::ProcessMessages();
    ++step;
  }
  const RECT r = WindowRectOf(hwnd);
  Say("end " + std::to_string(step) + " " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
      std::to_string(r.right) + " " + std::to_string(r.bottom));
  pause(step);

  // The pointer over the close button: the highlighted picture.
  const vx::Rect& close = vx::ui::kPopupParts.close;
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(close.left + 8, close.top + 8));
  vx::winui::ProcessMessages();
  GdiFlush();
  Say("hover " + std::to_string(r.left + close.left) + " " + std::to_string(r.top + close.top));
  input.Wait();
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
  vx::winui::ProcessMessages();

  if (!o.second.empty()) {
    const int second = boxes.ShowMsgBox(o.second, "", false);
    while (boxes.board().Sliding()) {
      clock.Advance(std::chrono::milliseconds(vx::ui::kSlideStepMs));
      boxes.board().Tick();
      vx::winui::ProcessMessages();
    }
    HWND other = PopupWindow(o.second);
    const RECT s = other ? WindowRectOf(other) : RECT{};
    Say("second " + std::to_string(second) + " " + std::to_string(s.left) + " " + std::to_string(s.top));
    pause(-1);
  }
  boxes.CloseMsgBox(slot);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int k = 1; k < argc; ++k) args.push_back(vx::Narrow(argv[k]));
  try {
    return Run(Parse(args));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vx-popup-slide: %s\n", e.what());
    return 1;
  }
}
