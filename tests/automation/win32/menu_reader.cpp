// vx-auto-menu.dll: loaded by vx-auto into the process whose menu it reads,
// because this system refuses menu requests for another process's menus.
// vx-auto runs VxAutoReadMenu on a thread of that process with a request
// block in that process's memory; the answer is the menu as JSON text.
#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>

#include "menu_request.h"

namespace {

std::string Narrow(const wchar_t* text, size_t length) {
  if (!length) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

bool ReadLevel(HMENU menu, int depth, nlohmann::json& items) {
  int count = GetMenuItemCount(menu);
  if (count < 0 || depth > 16) return false;
  for (int i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return false;
    items.push_back({{"depth", depth},
                     {"id", info.wID},
                     {"text", Narrow(text, wcsnlen(text, 511))},
                     {"state", info.fState},
                     {"type", info.fType},
                     {"popup", info.hSubMenu != nullptr}});
    if (info.hSubMenu && !ReadLevel(info.hSubMenu, depth + 1, items)) return false;
  }
  return true;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI VxAutoReadMenu(void* parameter) {
  auto* request = static_cast<vx::automation::MenuRequest*>(parameter);
  try {
    HMENU menu = GetMenu(reinterpret_cast<HWND>(static_cast<uintptr_t>(request->window)));
    if (!menu) return 2;
    nlohmann::json items = nlohmann::json::array();
    if (!ReadLevel(menu, 0, items)) return 3;
    std::string text = items.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (text.size() > request->capacity) return 4;
    std::memcpy(request->data, text.data(), text.size());
    request->used = static_cast<uint32_t>(text.size());
    return 0;
  } catch (...) {
    return 5;
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
