#include "inspect.h"

#include <psapi.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "menu_request.h"

namespace vx::automation {

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

bool SendTimed(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &answer)) {
    return false;
  }
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

void Settle(HWND hwnd) { SendTimed(hwnd, WM_NULL, 0, 0); }

std::string WindowText(HWND hwnd) {
  LRESULT length = 0;
  if (!SendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) return {};
  // Text of another process's window is copied by the system (WM_GETTEXT is
  // marshalled), so a local buffer is right here.
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!SendTimed(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
    return {};
  buffer.resize(static_cast<size_t>(copied > 0 ? std::min<LRESULT>(copied, length) : 0));
  return Narrow(buffer);
}

std::string Caption(HWND hwnd) {
  // The system keeps the caption: no message reaches the window.
  wchar_t text[1024] = {};
  int n = GetWindowTextW(hwnd, text, 1024);
  return Narrow(std::wstring(text, static_cast<size_t>(n > 0 ? n : 0)));
}

std::string ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  int n = GetClassNameW(hwnd, name, 256);
  return Narrow(std::wstring(name, static_cast<size_t>(n > 0 ? n : 0)));
}

WindowInfo Describe(HWND hwnd) {
  WindowInfo info;
  info.hwnd = hwnd;
  info.class_name = ClassName(hwnd);
  bool child = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0;
  info.text = child ? WindowText(hwnd) : Caption(hwnd);
  GetWindowThreadProcessId(hwnd, &info.pid);
  info.id = child ? GetDlgCtrlID(hwnd) : 0;
  info.visible = IsWindowVisible(hwnd) != FALSE;
  info.enabled = IsWindowEnabled(hwnd) != FALSE;
  GetWindowRect(hwnd, &info.rect);
  return info;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

RemoteBuffer::RemoteBuffer(HWND owner, size_t size) : size_(size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(owner, &pid);
  if (!pid) return;
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                             PROCESS_QUERY_INFORMATION | PROCESS_CREATE_THREAD,
                         FALSE, pid);
  if (!process_) return;
  address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemoteBuffer::Write(size_t offset, const void* data, size_t size) {
  if (!address_ || offset > size_ || size > size_ - offset) return false;
  SIZE_T written = 0;
  return WriteProcessMemory(process_, address() + offset, data, size, &written) && written == size;
}

bool RemoteBuffer::Read(size_t offset, void* data, size_t size) const {
  if (!address_ || offset > size_ || size > size_ - offset) return false;
  SIZE_T read = 0;
  return ReadProcessMemory(process_, address() + offset, data, size, &read) && read == size;
}

namespace {

constexpr size_t kTextChars = 1024;   // longest item text read (characters)
constexpr size_t kMaxItems = 100000;  // guards against a tree that changes under us

HTREEITEM NextItem(HWND tree, UINT relation, HTREEITEM item) {
  LRESULT result = 0;
  if (!SendTimed(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item), &result)) return nullptr;
  return reinterpret_cast<HTREEITEM>(result);
}

bool ReadItem(HWND tree, RemoteBuffer& remote, TreeItem& item) {
  TVITEMEXW request{};
  request.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
  request.hItem = item.handle;
  request.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
  request.pszText = reinterpret_cast<wchar_t*>(remote.address() + sizeof(TVITEMEXW));
  request.cchTextMax = static_cast<int>(kTextChars);
  wchar_t nul = 0;
  if (!remote.Write(0, &request, sizeof request) || !remote.Write(sizeof request, &nul, sizeof nul))
    return false;
  LRESULT ok = 0;
  if (!SendTimed(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.address()), &ok) || !ok) return false;
  TVITEMEXW answer{};
  if (!remote.Read(0, &answer, sizeof answer)) return false;
  std::wstring text(kTextChars, L'\0');
  // The control may answer with a pointer of its own instead of our buffer.
  if (answer.pszText == request.pszText) {
    if (!remote.Read(sizeof request, text.data(), kTextChars * sizeof(wchar_t))) return false;
  } else {
    text.clear();
  }
  text.resize(wcsnlen(text.data(), text.size()));
  item.text = Narrow(text);
  item.expanded = (answer.state & TVIS_EXPANDED) != 0;
  item.selected = (answer.state & TVIS_SELECTED) != 0;
  return true;
}

}  // namespace

std::optional<std::vector<TreeItem>> ReadTree(HWND tree) {
  RemoteBuffer remote(tree, sizeof(TVITEMEXW) + (kTextChars + 1) * sizeof(wchar_t));
  if (!remote.ok()) return std::nullopt;
  std::vector<TreeItem> items;
  HTREEITEM caret = NextItem(tree, TVGN_CARET, nullptr);
  // Depth-first walk with an explicit stack of the next siblings to visit.
  std::vector<std::pair<HTREEITEM, int>> pending;
  if (HTREEITEM root = NextItem(tree, TVGN_ROOT, nullptr)) pending.emplace_back(root, 0);
  while (!pending.empty() && items.size() < kMaxItems) {
    auto [handle, depth] = pending.back();
    pending.pop_back();
    TreeItem item;
    item.handle = handle;
    item.depth = depth;
    if (!ReadItem(tree, remote, item)) return std::nullopt;
    if (caret) item.selected = handle == caret;
    HTREEITEM next = NextItem(tree, TVGN_NEXT, handle);
    HTREEITEM child = NextItem(tree, TVGN_CHILD, handle);
    item.has_children = child != nullptr;
    items.push_back(std::move(item));
    if (next) pending.emplace_back(next, depth);
    if (child) pending.emplace_back(child, depth + 1);
  }
  return items;
}

std::optional<RECT> TreeItemRect(HWND tree, HTREEITEM item) {
  RemoteBuffer remote(tree, sizeof(RECT));
  if (!remote.ok()) return std::nullopt;
  // The request carries the item handle in the rectangle's first bytes.
  RECT request{};
  std::memcpy(&request, &item, sizeof item);
  if (!remote.Write(0, &request, sizeof request)) return std::nullopt;
  LRESULT ok = 0;
  if (!SendTimed(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote.address()), &ok) || !ok) {
    return std::nullopt;
  }
  RECT answer{};
  if (!remote.Read(0, &answer, sizeof answer)) return std::nullopt;
  return answer;
}

std::optional<std::vector<ToolButton>> ReadToolbar(HWND toolbar) {
  LRESULT count = 0;
  if (!SendTimed(toolbar, TB_BUTTONCOUNT, 0, 0, &count) || count < 0) return std::nullopt;
  constexpr size_t kButton = 64;  // room for TBBUTTON and RECT
  RemoteBuffer remote(toolbar, kButton + (kTextChars + 1) * sizeof(wchar_t));
  if (!remote.ok()) return std::nullopt;
  std::vector<ToolButton> buttons;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT ok = 0;
    if (!SendTimed(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.address()),
                   &ok) ||
        !ok) {
      return std::nullopt;
    }
    TBBUTTON raw{};
    if (!remote.Read(0, &raw, sizeof raw)) return std::nullopt;
    ToolButton b;
    b.index = static_cast<int>(i);
    b.command = raw.idCommand;
    b.enabled = (raw.fsState & TBSTATE_ENABLED) != 0;
    b.checked = (raw.fsState & TBSTATE_CHECKED) != 0;
    b.pressed = (raw.fsState & TBSTATE_PRESSED) != 0;
    b.hidden = (raw.fsState & TBSTATE_HIDDEN) != 0;
    b.separator = (raw.fsStyle & BTNS_SEP) != 0;
    if (!b.separator) {
      LRESULT length = 0;
      SendTimed(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(raw.idCommand), 0, &length);
      if (length > 0 && static_cast<size_t>(length) <= kTextChars &&
          SendTimed(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(raw.idCommand),
                    reinterpret_cast<LPARAM>(remote.address() + kButton), &length) &&
          length > 0 && static_cast<size_t>(length) <= kTextChars) {
        std::wstring text(static_cast<size_t>(length), L'\0');
        if (remote.Read(kButton, text.data(), text.size() * sizeof(wchar_t))) b.text = Narrow(text);
      }
    }
    if (SendTimed(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.address()),
                  &ok) &&
        ok) {
      remote.Read(0, &b.rect, sizeof b.rect);
    }
    buttons.push_back(std::move(b));
  }
  return buttons;
}

namespace {

bool ReadMenuLevel(HMENU menu, int depth, std::vector<MenuItem>& items) {
  int count = GetMenuItemCount(menu);
  if (count < 0) return false;
  for (int i = 0; i < count && items.size() < kMaxItems; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return false;
    MenuItem item;
    item.depth = depth;
    item.id = info.wID;
    item.text = Narrow(std::wstring(text, wcsnlen(text, 511)));
    item.enabled = (info.fState & (MFS_DISABLED | MFS_GRAYED)) == 0;
    item.checked = (info.fState & MFS_CHECKED) != 0;
    item.separator = (info.fType & MFT_SEPARATOR) != 0;
    item.popup = info.hSubMenu != nullptr;
    items.push_back(std::move(item));
    if (info.hSubMenu && !ReadMenuLevel(info.hSubMenu, depth + 1, items)) return false;
  }
  return true;
}

// Runs `start(parameter)` on a new thread of the remote process and returns
// the thread's exit code; nullopt when it could not run or did not end in time.
std::optional<DWORD> RunRemote(HANDLE process, const void* start, const void* parameter) {
  HANDLE thread = CreateRemoteThread(process, nullptr, 0,
                                     reinterpret_cast<LPTHREAD_START_ROUTINE>(const_cast<void*>(start)),
                                     const_cast<void*>(parameter), 0, nullptr);
  if (!thread) return std::nullopt;
  std::optional<DWORD> code;
  DWORD value = 0;
  if (WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &value)) code = value;
  CloseHandle(thread);
  return code;
}

std::wstring BaseName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

HMODULE FindRemoteModule(HANDLE process, const std::wstring& name) {
  HMODULE modules[1024];
  DWORD needed = 0;
  if (!EnumProcessModulesEx(process, modules, sizeof modules, &needed, LIST_MODULES_ALL)) return nullptr;
  for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameExW(process, modules[i], path, MAX_PATH) &&
        _wcsicmp(BaseName(path).c_str(), name.c_str()) == 0) {
      return modules[i];
    }
  }
  return nullptr;
}

// Items from the reader's JSON answer; nullopt for anything malformed.
std::optional<std::vector<MenuItem>> ParseMenuAnswer(const std::string& text) {
  auto answer = nlohmann::json::parse(text, nullptr, false);
  if (answer.is_discarded() || !answer.is_array()) return std::nullopt;
  std::vector<MenuItem> items;
  for (const auto& e : answer) {
    if (!e.is_object() || !e.contains("depth") || !e["depth"].is_number_integer() || !e.contains("id") ||
        !e["id"].is_number_unsigned() || !e.contains("text") || !e["text"].is_string() ||
        !e.contains("state") || !e["state"].is_number_unsigned() || !e.contains("type") ||
        !e["type"].is_number_unsigned() || !e.contains("popup") || !e["popup"].is_boolean()) {
      return std::nullopt;
    }
    MenuItem item;
    item.depth = e["depth"].get<int>();
    item.id = e["id"].get<UINT>();
    item.text = e["text"].get<std::string>();
    UINT state = e["state"].get<UINT>(), type = e["type"].get<UINT>();
    item.enabled = (state & (MFS_DISABLED | MFS_GRAYED)) == 0;
    item.checked = (state & MFS_CHECKED) != 0;
    item.separator = (type & MFT_SEPARATOR) != 0;
    item.popup = e["popup"].get<bool>();
    items.push_back(std::move(item));
  }
  return items;
}

std::optional<std::vector<MenuItem>> ReadMenuInTarget(HWND window) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring own = self;
  const std::wstring name = L"vx-auto-menu.dll";
  std::wstring dll = own.substr(0, own.size() - BaseName(own).size()) + name;
  HMODULE local = LoadLibraryW(dll.c_str());
  if (!local) return std::nullopt;
  auto* local_entry = reinterpret_cast<char*>(GetProcAddress(local, "VxAutoReadMenu"));
  if (!local_entry) return std::nullopt;
  ptrdiff_t entry_offset = local_entry - reinterpret_cast<char*>(local);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto* load = reinterpret_cast<void*>(GetProcAddress(kernel, "LoadLibraryW"));
  auto* unload = reinterpret_cast<void*>(GetProcAddress(kernel, "FreeLibrary"));

  RemoteBuffer remote(window, sizeof(MenuRequest) + kMenuAnswerBytes);
  if (!remote.ok()) return std::nullopt;
  if (!remote.Write(0, dll.c_str(), (dll.size() + 1) * sizeof(wchar_t))) return std::nullopt;
  if (!RunRemote(remote.process(), load, remote.address())) return std::nullopt;
  HMODULE module = FindRemoteModule(remote.process(), name);
  if (!module) return std::nullopt;

  MenuRequest request{};
  request.window = reinterpret_cast<uintptr_t>(window);
  request.capacity = static_cast<uint32_t>(kMenuAnswerBytes);
  std::optional<std::vector<MenuItem>> items;
  if (remote.Write(0, &request, sizeof request) &&
      RunRemote(remote.process(), reinterpret_cast<char*>(module) + entry_offset, remote.address()) == 0u) {
    MenuRequest answer{};
    if (remote.Read(0, &answer, sizeof answer) && answer.used <= kMenuAnswerBytes) {
      std::string text(answer.used, '\0');
      if (remote.Read(offsetof(MenuRequest, data), text.data(), text.size())) items = ParseMenuAnswer(text);
    }
  }
  RunRemote(remote.process(), unload, module);
  return items;
}

}  // namespace

std::optional<std::vector<MenuItem>> ReadMenu(HWND window) {
  HMENU menu = GetMenu(window);
  if (!menu) return std::nullopt;
  std::vector<MenuItem> items;
  if (ReadMenuLevel(menu, 0, items)) return items;
  return ReadMenuInTarget(window);
}

}  // namespace vx::automation
