// vx-auto under Wine against a window of this test process: a second process
// (the helper) reads and drives the test's controls, as it will do with
// vessix.exe in the end-to-end tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "inspect.h"

namespace vx::automation {
namespace {

using nlohmann::json;

constexpr int kApply = 101, kLocked = 102, kHiddenLabel = 103, kNameEdit = 104;
constexpr int kTree = 200, kToolbar = 300;
constexpr int kConnect = 401, kDisconnect = 402, kSecret = 403, kToggle = 404;
constexpr int kOpen = 501, kExit = 502, kShowTree = 503;
constexpr UINT kAddItem = WM_APP + 1;
constexpr wchar_t kClass[] = L"VxAutoTestWindow";

// What the test window received, recorded on its own thread.
struct Received {
  std::mutex lock;
  std::vector<int> commands;     // WM_COMMAND ids
  std::vector<UINT> tree_notes;  // NM_CLICK, NM_DBLCLK, NM_RCLICK
  void Command(int id) {
    std::lock_guard<std::mutex> hold(lock);
    commands.push_back(id);
  }
  void Note(UINT code) {
    std::lock_guard<std::mutex> hold(lock);
    tree_notes.push_back(code);
  }
  bool HasCommand(int id) {
    std::lock_guard<std::mutex> hold(lock);
    return std::find(commands.begin(), commands.end(), id) != commands.end();
  }
  std::vector<UINT> Notes() {
    std::lock_guard<std::mutex> hold(lock);
    return tree_notes;
  }
};

Received* g_received = nullptr;

HTREEITEM AddItem(HWND tree, HTREEITEM parent, const wchar_t* text) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<wchar_t*>(text);
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      g_received->Command(LOWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->idFrom == kTree &&
          (header->code == NM_CLICK || header->code == NM_DBLCLK || header->code == NM_RCLICK)) {
        g_received->Note(header->code);
      }
      return 0;
    }
    case kAddItem:
      AddItem(GetDlgItem(hwnd, kTree), TVI_ROOT, reinterpret_cast<const wchar_t*>(lparam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HMENU BuildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kOpen, L"&Open\tCtrl+O");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING | MF_GRAYED, kExit, L"E&xit");
  HMENU view = CreatePopupMenu();
  AppendMenuW(view, MF_STRING | MF_CHECKED, kShowTree, L"ツリー (&T)");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
  return bar;
}

void BuildControls(HWND w, HINSTANCE instance) {
  auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int cx,
                   int cy) {
    return CreateWindowExW(0, cls, text, WS_CHILD | style, x, y, cx, cy, w,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  child(L"BUTTON", L"Apply", WS_VISIBLE | BS_PUSHBUTTON, kApply, 300, 60, 80, 24);
  child(L"BUTTON", L"Locked", WS_VISIBLE | WS_DISABLED | BS_PUSHBUTTON, kLocked, 300, 90, 80, 24);
  child(L"STATIC", L"Hidden label", 0, kHiddenLabel, 300, 120, 80, 24);
  child(L"EDIT", L"サーバ \"50%\" %s", WS_VISIBLE | WS_BORDER, kNameEdit, 300, 150, 160, 24);

  HWND bar =
      child(TOOLBARCLASSNAMEW, L"", WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_TOP, kToolbar, 0, 0, 0, 0);
  SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  const wchar_t* texts[] = {L"Connect", L"Disconnect", L"Secret", L"Auto-Connect\r\nPrinter"};
  TBBUTTON buttons[5] = {};
  int commands[] = {kConnect, kDisconnect, kSecret, 0, kToggle};
  BYTE states[] = {TBSTATE_ENABLED, 0, TBSTATE_ENABLED | TBSTATE_HIDDEN, 0,
                   TBSTATE_ENABLED | TBSTATE_CHECKED};
  for (int i = 0, t = 0; i < 5; ++i) {
    buttons[i].iBitmap = I_IMAGENONE;
    buttons[i].idCommand = commands[i];
    buttons[i].fsState = states[i];
    buttons[i].fsStyle = i == 3 ? BTNS_SEP : (i == 4 ? BTNS_CHECK : BTNS_BUTTON) | BTNS_AUTOSIZE;
    if (i != 3) buttons[i].iString = reinterpret_cast<INT_PTR>(texts[t++]);
  }
  SendMessageW(bar, TB_ADDBUTTONSW, 5, reinterpret_cast<LPARAM>(buttons));
  SendMessageW(bar, TB_AUTOSIZE, 0, 0);

  HWND tree = child(WC_TREEVIEWW, L"", WS_VISIBLE | WS_BORDER | TVS_SHOWSELALWAYS, kTree, 0, 60, 280, 300);
  HTREEITEM office = AddItem(tree, TVI_ROOT, L"Office-1F - 10.77.0.21");
  AddItem(tree, office, L"PRINTER - Acme - Laser 9");
  AddItem(tree, office, L"SCANNER - Acme - Flatbed 300 [ 手動接続： VXPC2 ]");
  HTREEITEM remote = AddItem(tree, TVI_ROOT, L"Remote - 10.9.0.5 [Online]");
  AddItem(tree, remote, L"MASS STORAGE - Kumo - Pocket Disk");
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(office));
}

// The test window on a thread of its own with its own message loop, so that
// the helper's synchronous requests are answered while the test waits.
class TestWindow {
 public:
  TestWindow() {
    g_received = &received;
    thread_ = std::thread([this] { Run(); });
    std::unique_lock<std::mutex> hold(lock_);
    ready_.wait(hold, [this] { return hwnd_ != nullptr || failed_; });
  }
  ~TestWindow() {
    if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
    g_received = nullptr;
  }
  HWND hwnd() const { return hwnd_; }
  Received received;

 private:
  void Run() {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&init);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, kClass, L"vx-auto test ☆ テスト", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                             640, 480, nullptr, BuildMenu(), instance, nullptr);
    if (w) BuildControls(w, instance);
    {
      std::lock_guard<std::mutex> hold(lock_);
      hwnd_ = w;
      failed_ = w == nullptr;
    }
    ready_.notify_all();
    MSG msg;
    while (w && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable ready_;
  HWND hwnd_ = nullptr;
  bool failed_ = false;
};

struct Result {
  int exit_code = -1;
  std::string out;
  json body;
};

std::wstring HelperPath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"vx-auto.exe";
}

std::wstring Quote(const std::string& arg) {
  std::wstring quoted = L"\"";
  for (wchar_t c : Widen(arg)) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

// Starts vx-auto with `args`; Finish() collects its output and exit code.
class Helper {
 public:
  explicit Helper(const std::vector<std::string>& args) {
    std::wstring line = L"\"" + HelperPath() + L"\"";
    for (const auto& a : args) line += L" " + Quote(a);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&read_, &write, &sa, 0)) return;
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
      process_ = pi.hProcess;
      CloseHandle(pi.hThread);
    }
    CloseHandle(write);
  }
  ~Helper() {
    if (read_) CloseHandle(read_);
    if (process_) CloseHandle(process_);
  }
  Result Finish() {
    Result r;
    if (!process_) return r;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(read_, buffer, sizeof buffer, &n, nullptr) && n > 0) r.out.append(buffer, n);
    WaitForSingleObject(process_, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    r.exit_code = static_cast<int>(code);
    r.body = json::parse(r.out, nullptr, false);
    return r;
  }

 private:
  HANDLE read_ = nullptr;
  HANDLE process_ = nullptr;
};

Result RunHelper(const std::vector<std::string>& args) { return Helper(args).Finish(); }

std::vector<std::string> At(std::vector<std::string> args) {
  args.insert(args.begin() + 1, {"--class", "VxAutoTestWindow", "--timeout", "5000"});
  return args;
}

class VxAutoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(window.hwnd(), nullptr) << "no test window (is the display up?)"; }
  TestWindow window;
};

TEST_F(VxAutoTest, FindsTheWindowByClassAndTitleAndListsControls) {
  Result r = RunHelper({"window", "--class", "VxAutoTestWindow", "--title", "vx-auto test*テスト"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.body["class"], "VxAutoTestWindow");
  EXPECT_EQ(r.body["text"], "vx-auto test ☆ テスト");
  EXPECT_EQ(r.body["pid"], GetCurrentProcessId());
  EXPECT_EQ(r.body["visible"], true);

  r = RunHelper(At({"controls"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  std::map<int, json> by_id;
  for (const auto& c : r.body["controls"]) by_id[c["id"].get<int>()] = c;
  EXPECT_EQ(by_id[kApply]["text"], "Apply");
  EXPECT_EQ(by_id[kApply]["enabled"], true);
  EXPECT_EQ(by_id[kLocked]["enabled"], false);
  EXPECT_EQ(by_id[kHiddenLabel]["visible"], false);
  // Quotes and percent signs arrive as text, Japanese intact.
  EXPECT_EQ(by_id[kNameEdit]["text"], "サーバ \"50%\" %s");
  EXPECT_EQ(by_id[kTree]["class"], "SysTreeView32");
}

TEST_F(VxAutoTest, AbsentWindowsAndControlsTimeOutWithExitCodeOne) {
  Result r = RunHelper({"window", "--class", "NoSuchClass", "--timeout", "200"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.body["error"], "timeout");
  r = RunHelper({"control", "--class", "VxAutoTestWindow", "--id", "999", "--timeout", "200"});
  EXPECT_EQ(r.exit_code, 1);
  r = RunHelper({"windows", "--class", "NoSuchClass"});  // listing never fails
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(r.body["windows"].empty());
  EXPECT_EQ(RunHelper({"tree"}).exit_code, 2);
}

TEST_F(VxAutoTest, ReadsTheTreeOfAnotherProcessWithDepthsAndStates) {
  HWND tree = GetDlgItem(window.hwnd(), kTree);
  HTREEITEM remote = TreeView_GetNextSibling(tree, TreeView_GetRoot(tree));
  TreeView_SelectItem(tree, remote);
  Result r = RunHelper(At({"tree"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  ASSERT_EQ(r.body["count"], 5);
  const json& items = r.body["items"];
  EXPECT_EQ(items[0]["text"], "Office-1F - 10.77.0.21");
  EXPECT_EQ(items[0]["depth"], 0);
  EXPECT_EQ(items[0]["expanded"], true);
  EXPECT_EQ(items[0]["children"], true);
  EXPECT_EQ(items[2]["text"], "SCANNER - Acme - Flatbed 300 [ 手動接続： VXPC2 ]");
  EXPECT_EQ(items[2]["depth"], 1);
  EXPECT_EQ(items[2]["path"][0], "Office-1F - 10.77.0.21");
  EXPECT_EQ(items[3]["text"], "Remote - 10.9.0.5 [Online]");
  EXPECT_EQ(items[3]["selected"], true);
  EXPECT_EQ(items[3]["expanded"], false);
  EXPECT_EQ(items[4]["depth"], 1);  // children of a collapsed node are listed too
  EXPECT_EQ(items[1]["selected"], false);
}

TEST_F(VxAutoTest, SelectsAndClicksTreeItemsByPath) {
  HWND tree = GetDlgItem(window.hwnd(), kTree);
  Result r = RunHelper(At({"tree-select", "--node", "Remote*", "--node", "MASS STORAGE*"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.body["item"]["text"], "MASS STORAGE - Kumo - Pocket Disk");
  wchar_t text[64] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = TreeView_GetSelection(tree);
  item.pszText = text;
  item.cchTextMax = 64;
  TreeView_GetItem(tree, &item);
  EXPECT_STREQ(text, L"MASS STORAGE - Kumo - Pocket Disk");

  r = RunHelper(At({"tree-click", "--node", "Office-1F*", "--node", "PRINTER*"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  r = RunHelper(At({"tree"}));
  EXPECT_EQ(r.body["items"][1]["selected"], true) << r.out;
  r = RunHelper(At({"tree-dblclick", "--node", "Office-1F*"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  r = RunHelper(At({"tree-rclick", "--node", "Office-1F*", "--node", "SCANNER*"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  auto notes = window.received.Notes();
  EXPECT_NE(std::find(notes.begin(), notes.end(), static_cast<UINT>(NM_CLICK)), notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(), static_cast<UINT>(NM_DBLCLK)), notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(), static_cast<UINT>(NM_RCLICK)), notes.end());

  // A path that is not there times out; a device pattern alone is no server.
  r = RunHelper({"tree-select", "--class", "VxAutoTestWindow", "--node", "PRINTER*", "--timeout", "200"});
  EXPECT_EQ(r.exit_code, 1);
}

TEST_F(VxAutoTest, WaitsUntilATreeItemAppears) {
  Helper waiting({"wait", "--class", "VxAutoTestWindow", "--tree-text", "Added - *", "--tree-count", "6",
                  "--timeout", "10000", "--interval", "20"});
  static const wchar_t added[] = L"Added - 10.77.0.99";
  PostMessageW(window.hwnd(), kAddItem, 0, reinterpret_cast<LPARAM>(added));
  Result r = waiting.Finish();
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.body["count"], 6);
  EXPECT_EQ(r.body["items"][5]["text"], "Added - 10.77.0.99");

  r = RunHelper({"wait", "--class", "VxAutoTestWindow", "--tree-text", "Never*", "--timeout", "300"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.body["error"], "timeout");
  r = RunHelper(At({"wait", "--id", "102", "--disabled", "--visible"}));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  r = RunHelper({"wait", "--class", "NoSuchClass", "--gone", "--timeout", "200"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
}

TEST_F(VxAutoTest, ListsAndPressesToolBarButtons) {
  Result r = RunHelper(At({"toolbar"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  ASSERT_EQ(r.body["toolbars"].size(), 1u);
  const json& buttons = r.body["toolbars"][0]["buttons"];
  ASSERT_EQ(buttons.size(), 5u);
  EXPECT_EQ(buttons[0]["command"], kConnect);
  EXPECT_EQ(buttons[0]["text"], "Connect");
  EXPECT_EQ(buttons[0]["enabled"], true);
  EXPECT_EQ(buttons[1]["enabled"], false);
  EXPECT_EQ(buttons[2]["hidden"], true);
  EXPECT_EQ(buttons[3]["separator"], true);
  EXPECT_EQ(buttons[4]["text"], "Auto-Connect\r\nPrinter");
  EXPECT_EQ(buttons[4]["checked"], true);

  r = RunHelper(At({"press", "--button", "Connect"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(window.received.HasCommand(kConnect));
  r = RunHelper(At({"press", "--command", "402"}));
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.body["error"], "disabled");
  r = RunHelper(At({"press", "--command", "403"}));
  EXPECT_EQ(r.body["error"], "hidden");
  EXPECT_FALSE(window.received.HasCommand(kDisconnect));
  EXPECT_FALSE(window.received.HasCommand(kSecret));
}

TEST_F(VxAutoTest, ClicksButtonsButNotDisabledOnes) {
  Result r = RunHelper(At({"click", "--id", "101"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(window.received.HasCommand(kApply));
  r = RunHelper(At({"click", "--text", "Locked"}));
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_FALSE(window.received.HasCommand(kLocked));
}

TEST_F(VxAutoTest, ReadsAndChoosesMenuItems) {
  Result r = RunHelper(At({"menu"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  const json& items = r.body["items"];
  ASSERT_EQ(items.size(), 6u) << r.out;
  EXPECT_EQ(items[0]["label"], "File");
  EXPECT_EQ(items[0]["popup"], true);
  EXPECT_EQ(items[1]["text"], "&Open\tCtrl+O");
  EXPECT_EQ(items[1]["label"], "Open");
  EXPECT_EQ(items[1]["id"], kOpen);
  EXPECT_EQ(items[2]["separator"], true);
  EXPECT_EQ(items[3]["enabled"], false);
  EXPECT_EQ(items[5]["label"], "ツリー (T)");
  EXPECT_EQ(items[5]["checked"], true);
  EXPECT_EQ(items[5]["path"][0], "View");

  r = RunHelper(At({"menu-click", "--item", "File", "--item", "Open"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(window.received.HasCommand(kOpen));
  r = RunHelper(At({"menu-click", "--item", "File", "--item", "Exit"}));
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_FALSE(window.received.HasCommand(kExit));
}

}  // namespace
}  // namespace vx::automation
