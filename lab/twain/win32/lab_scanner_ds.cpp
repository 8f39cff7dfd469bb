// The lab scanner as a TWAIN data source DLL: exports DS_Entry over the
// portable LabSource. The configuration is read once, from the file named by
// the environment variable VX_LAB_SCANNER_CONFIG, else from the file beside
// the DLL with ".conf" appended to its name (sane.ds.conf), else the defaults.
// A configuration that does not parse makes every call fail (and says why on
// stderr), so a test never scans with settings it did not ask for.
#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "lab/twain/lab_source.h"

namespace {

using vx::lab::twain::LabScannerConfig;
using vx::lab::twain::LabSource;

HMODULE self_module = nullptr;

std::string ReadFileText(const std::wstring& path, bool& found) {
  found = false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  found = true;
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0 && text.size() < (1u << 20))
    text.append(buffer, got);
  CloseHandle(file);
  return text;
}

std::unique_ptr<LabSource> MakeSource() {
  std::wstring path;
  wchar_t value[MAX_PATH * 2];
  DWORD n = GetEnvironmentVariableW(L"VX_LAB_SCANNER_CONFIG", value, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) {
    path = value;
  } else {
    wchar_t module[MAX_PATH];
    DWORD m = GetModuleFileNameW(self_module, module, MAX_PATH);
    if (m > 0 && m < MAX_PATH) path = std::wstring(module) + L".conf";
  }
  LabScannerConfig config;
  bool found = false;
  const std::string text = path.empty() ? std::string() : ReadFileText(path, found);
  if (found) {
    std::string error;
    auto parsed = vx::lab::twain::ParseLabScannerConfig(text, &error);
    if (!parsed) {
      std::fprintf(stderr, "lab scanner: configuration %ls: %s\n", path.c_str(), error.c_str());
      return nullptr;
    }
    config = *parsed;
  }
  static const UINT event = RegisterWindowMessageW(L"VessixLabScannerEvent");
  return std::make_unique<LabSource>(
      config, vx::scan::twain::SystemGlobalMemory(),
      [](void* parent) {
        // To the parent window, or to this thread when there is none.
        if (!parent || !PostMessageW(static_cast<HWND>(parent), event, 0, 0))
          PostThreadMessageW(GetCurrentThreadId(), event, 0, 0);
      },
      [](void* message) { return message && static_cast<const MSG*>(message)->message == event; });
}

LabSource* Source() {
  static std::unique_ptr<LabSource> source = MakeSource();
  return source.get();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    self_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) uint16_t
    DS_Entry(vx::scan::twain::TW_IDENTITY* origin, uint32_t dg, uint16_t dat, uint16_t msg, void* data) {
  LabSource* source = Source();
  if (!source) return vx::scan::twain::TWRC_FAILURE;
  try {
    return source->Entry(origin, dg, dat, msg, data);
  } catch (...) {
    return vx::scan::twain::TWRC_FAILURE;  // nothing crosses into the manager
  }
}
