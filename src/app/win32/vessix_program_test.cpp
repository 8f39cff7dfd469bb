// vessix.exe as a whole, driven from outside by window messages and read
// back through the registry. A small driver emulator in this process answers
// the lab channel (open the master bus, version 1.0.35, held reads that end
// on Abort), so the program starts without a kernel driver.
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h:
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "busdriver/labchannel/frame.h"
#include "busdriver/records.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kKey[] = L"Software\\Marvex\\VUV Eruruz Odozid";
constexpr UINT kAppMessage = 1125;

// Waits for `done` with a bound; polls because the program runs in another process.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(10);
  }
  return true;
}

std::wstring ReadValue(const wchar_t* name) {
  wchar_t data[512] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return L"<absent>";
  return data;
}

void WriteValue(const wchar_t* name, const wchar_t* text) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, text,
                  static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

void DeleteValue(const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name); }

// The driver emulator: one connection per handle, replies by request id.
class FakeDriver {
 public:
  FakeDriver() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener_, 8);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    accept_thread_ = std::thread([this] { AcceptLoop(); });
  }
  ~FakeDriver() {
    closesocket(listener_);
    accept_thread_.join();
    std::lock_guard lock(mutex_);
    for (SOCKET s : connections_) closesocket(s);
    for (auto& t : threads_) t.detach();
  }
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
  int Aborts() const { return aborts_; }
  int MasterOpens() const { return opens_; }

 private:
  void AcceptLoop() {
    for (;;) {
      SOCKET s = accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      std::lock_guard lock(mutex_);
      connections_.push_back(s);
      threads_.emplace_back([this, s] { Serve(s); });
    }
  }

  static void Send(SOCKET s, std::mutex& m, const vx::lab::Frame& f) {
    std::vector<uint8_t> bytes = vx::lab::EncodeFrame(f);
    std::lock_guard lock(m);
    send(s, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
  }

  // Ends the connection when the program closes its handle (or sends garbage).
  void Serve(SOCKET s) {
    ServeUntilClosed(s);
    shutdown(s, SD_BOTH);
  }

  void ServeUntilClosed(SOCKET s) {
    vx::lab::FrameDecoder decoder;
    std::mutex send_mutex;
    std::vector<uint32_t> held_reads;
    char buf[4096];
    for (;;) {
      int n = recv(s, buf, sizeof buf, 0);
      if (n <= 0) return;
      decoder.Feed({reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(n)});
      while (auto f = decoder.Next()) {
        vx::lab::Frame reply;
        reply.type = vx::lab::FrameType::kReply;
        reply.id = f->id;
        reply.handle = f->handle;
        reply.op = f->op;
        if (f->op == vx::lab::kOpOpenMaster) {
          ++opens_;
          reply.handle = 7;
        } else if (f->op == vx::lab::kOpRead) {
          held_reads.push_back(f->id);  // completed by Abort
          continue;
        } else if (f->op == vx::bus::kIoctlGetDriverVersion) {
          reply.payload = vx::bus::EncodeVersion({1, 0, 35});
        } else if (f->op == vx::bus::kIoctlAbort) {
          ++aborts_;
          for (uint32_t id : held_reads) {
            vx::lab::Frame aborted{vx::lab::FrameType::kReply, id, f->handle, vx::lab::kOpRead, 995, {}};
            Send(s, send_mutex, aborted);
          }
          held_reads.clear();
        } else {
          reply.status = 1;  // ERROR_INVALID_FUNCTION: nothing else is emulated
        }
        Send(s, send_mutex, reply);
      }
      if (decoder.Broken()) return;
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::thread accept_thread_;
  std::mutex mutex_;
  std::vector<SOCKET> connections_;
  std::vector<std::thread> threads_;
  std::atomic<int> aborts_{0}, opens_{0};
};

std::wstring ProgramPath() {
  std::string unix_path = VX_VESSIX_EXE;
  std::wstring path = L"Z:";
  for (char c : unix_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

class Program {
 public:
  explicit Program(const std::wstring& args = L"") {
    std::wstring command = L"\"" + ProgramPath() + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 10000);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool started() const { return started_ != FALSE; }
  DWORD id() const { return pi_.dwProcessId; }
  // The exit code once it has ended within the bound; STILL_ACTIVE otherwise.
  DWORD ExitCode(DWORD wait_ms = 20000) const {
    WaitForSingleObject(pi_.hProcess, wait_ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION pi_{};
  BOOL started_ = FALSE;
};

struct Found {
  DWORD process;
  const wchar_t* class_name;
  HWND hwnd = nullptr;
};

// The top-level window of `class_name` that belongs to `process`.
HWND FindTopLevel(DWORD process, const wchar_t* class_name) {
  Found found{process, class_name};
  EnumWindows(
      [](HWND h, LPARAM l) -> BOOL {
        auto* f = reinterpret_cast<Found*>(l);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        wchar_t name[64] = {};
        GetClassNameW(h, name, 64);
        if (pid == f->process && wcscmp(name, f->class_name) == 0) {
          f->hwnd = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

HWND FindChild(HWND parent, int id) {
  struct Search {
    int id;
    HWND hwnd = nullptr;
  } search{id};
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM l) -> BOOL {
        auto* s = reinterpret_cast<Search*>(l);
        if (GetDlgCtrlID(h) == s->id) {
          s->hwnd = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.hwnd;
}

// The text of a window of the other process (controls keep theirs to themselves).
std::wstring TextOf(HWND h) {
  wchar_t text[512] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &ignored);
  return text;
}

RECT ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Both "Exit" commands end in WM_CLOSE (menus are private to their process
// under Wine, so the test cannot pick the menu item itself).
void Exit(HWND main) { PostMessageW(main, WM_CLOSE, 0, 0); }

// For a look at the window: with VX_HOLD_WINDOW=<file> the test waits until
// that file exists (at most a minute) before it closes the program.
void HoldForALook() {
  wchar_t file[MAX_PATH];
  if (!GetEnvironmentVariableW(L"VX_HOLD_WINDOW", file, MAX_PATH)) return;
  WaitFor([&] { return GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES; }, 60s);
}

class VessixProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"MainForm Width", L"MainForm Height", L"MainForm Top", L"MainForm Left",
                                L"MainForm WindowState", L"UDSTreeView Height", L"AutoRun Check"})
      DeleteValue(name);
    WriteValue(L"ToolBar Order", L"213");
    // The program must never reach this machine's interfaces: no adapters.
    SetEnvironmentVariableW(L"VESSIX_NO_ADAPTERS", L"1");
    SetEnvironmentVariableW(L"VESSIX_BUS_EMULATOR",
                            std::wstring(driver_.Endpoint().begin(), driver_.Endpoint().end()).c_str());
  }
  void TearDown() override { SetEnvironmentVariableW(L"VESSIX_BUS_EMULATOR", nullptr); }

  // Starts the program and waits until its main window is visible.
  HWND StartAndWaitVisible(Program& program) {
    EXPECT_TRUE(program.started());
    HWND main = nullptr;
    EXPECT_TRUE(WaitFor([&] {
      main = FindTopLevel(program.id(), L"TMainFm");
      return main && IsWindowVisible(main);
    })) << "no visible main window";
    return main;
  }

  FakeDriver driver_;
};

TEST_F(VessixProgramTest, MainWindowLaysOutHidesToTrayAndSavesPlacementOnExit) {
  WriteValue(L"MainForm Top", L"99999");  // beyond the work area: replaced by the centred top
  Program program;
  HWND main = StartAndWaitVisible(program);
  ASSERT_NE(main, nullptr);
  // While the first refresh waits for a quiet bus list the caption alternates
  // with the searching text; it settles on the title afterwards.
  EXPECT_TRUE(WaitFor([&] { return TextOf(main) == L"Vessix"; }))
      << "the caption did not settle on the title";
  EXPECT_EQ(driver_.MasterOpens(), 1);

  // "213": ToolBar2 first at 11, then ToolBar1, then ToolBar3, each at the
  // previous bar's left + width (widths from the visible 85-pixel buttons).
  HWND bar1 = FindChild(main, 111), bar2 = FindChild(main, 112), bar3 = FindChild(main, 113);
  ASSERT_TRUE(bar1 && bar2 && bar3);
  RECT r1 = ChildRect(bar1), r2 = ChildRect(bar2), r3 = ChildRect(bar3);
  EXPECT_EQ(r2.left, 11);
  EXPECT_EQ(r2.right - r2.left, 255);
  EXPECT_EQ(r1.left, 266);
  EXPECT_EQ(r1.right - r1.left, 170);
  EXPECT_EQ(r3.left, 436);
  EXPECT_EQ(r3.right - r3.left, 85);

  // No adapter in this network namespace: the no-network message covers the tree.
  HWND memo = FindChild(main, 121);
  ASSERT_NE(memo, nullptr);
  const std::wstring no_network =
      L"お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。";
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(memo) && TextOf(memo) == no_network; }))
      << "MsgMemo: " << IsWindowVisible(memo);

  RECT placed{};
  GetWindowRect(main, &placed);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(placed.right - placed.left, 680);  // the minimum width wins over the bars' sum
  EXPECT_EQ(placed.top, (work.bottom - work.top - (placed.bottom - placed.top)) / 2);

  // The close box only hides the window; the tray icon's double click brings it back.
  SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(program.ExitCode(0), STILL_ACTIVE);
  PostMessageW(main, kAppMessage, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));

  EXPECT_NE(GetMenu(main), nullptr);
  HoldForALook();
  Exit(main);
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_EQ(driver_.Aborts(), 1) << "the event reader is stopped with the driver's abort";
  EXPECT_EQ(ReadValue(L"MainForm Width"), std::to_wstring(placed.right - placed.left));
  EXPECT_EQ(ReadValue(L"MainForm Height"), std::to_wstring(placed.bottom - placed.top));
  EXPECT_EQ(ReadValue(L"MainForm Top"), std::to_wstring(placed.top));
  EXPECT_EQ(ReadValue(L"MainForm Left"), std::to_wstring(placed.left));
  EXPECT_EQ(ReadValue(L"MainForm WindowState"), L"0");
  EXPECT_EQ(ReadValue(L"ToolBar Order"), L"213");
  EXPECT_EQ(ReadValue(L"VessixTitle"), L"Vessix");
}

TEST_F(VessixProgramTest, SecondStartShowsTheFirstFromTheTrayAndEndsWithoutWindow) {
  Program first;
  HWND main = StartAndWaitVisible(first);
  ASSERT_NE(main, nullptr);
  SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_FALSE(IsWindowVisible(main));

  Program second;
  ASSERT_TRUE(second.started());
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_EQ(FindTopLevel(second.id(), L"TMainFm"), nullptr);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; })) << "the first instance stayed hidden";
  EXPECT_EQ(driver_.MasterOpens(), 1) << "the second instance must not open the driver";

  Exit(main);
  EXPECT_EQ(first.ExitCode(), 0u);
}

TEST_F(VessixProgramTest, MiniHidesInTheTrayAndShowsAtTheSavedTopLater) {
  Program program(L"-mini");
  ASSERT_TRUE(program.started());
  HWND main = nullptr;
  RECT r{};
  // Shown off-screen first, then hidden with its top marked 3001.
  ASSERT_TRUE(WaitFor([&] {
    main = FindTopLevel(program.id(), L"TMainFm");
    return main && !IsWindowVisible(main) && GetWindowRect(main, &r) && r.top == 3001;
  })) << "the window did not go to the tray";
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int centred = (work.bottom - work.top - (r.bottom - r.top)) / 2;
  PostMessageW(main, kAppMessage, 0, WM_LBUTTONDBLCLK);
  // The show handler runs right after the window became visible.
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && GetWindowRect(main, &r) && r.top == centred; }))
      << "shown at top " << r.top << ", the saved top is " << centred;
  Exit(main);
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_EQ(ReadValue(L"MainForm Top"), std::to_wstring(r.top));
}

TEST_F(VessixProgramTest, SecondStartShowsTheFirstThatStartedWithMini) {
  Program first(L"-mini");
  ASSERT_TRUE(first.started());
  HWND main = nullptr;
  RECT r{};
  ASSERT_TRUE(WaitFor([&] {
    main = FindTopLevel(first.id(), L"TMainFm");
    return main && !IsWindowVisible(main) && GetWindowRect(main, &r) && r.top == 3001;
  })) << "the window did not go to the tray";
  // Only the tray icon remains: the application window is hidden too.
  HWND application = FindTopLevel(first.id(), L"TApplication");
  ASSERT_NE(application, nullptr);
  EXPECT_FALSE(IsWindowVisible(application));

  Program second;
  ASSERT_TRUE(second.started());
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }))
      << "the first instance stayed in the tray";
  Exit(main);
  EXPECT_EQ(first.ExitCode(), 0u);
}

TEST_F(VessixProgramTest, MiniWithAutoRunOffEndsBeforeAnyWindow) {
  WriteValue(L"AutoRun Check", L"0");
  Program program(L"-mini");
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_EQ(driver_.MasterOpens(), 0);
  DeleteValue(L"AutoRun Check");
}

TEST_F(VessixProgramTest, WithoutDriverShowsInstallationFailedAndEndsWithZero) {
  SetEnvironmentVariableW(L"VESSIX_BUS_EMULATOR", nullptr);
  Program program;
  ASSERT_TRUE(program.started());
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    box = FindTopLevel(program.id(), L"#32770");
    return box && IsWindowVisible(box);
  })) << "no message box";
  EXPECT_EQ(TextOf(box), L"Vessix");
  EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)),
            L"「Vessix」のインストールに失敗しました。もう一度インストールしてください。");
  HWND main = FindTopLevel(program.id(), L"TMainFm");
  EXPECT_TRUE(main == nullptr || !IsWindowVisible(main));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace
