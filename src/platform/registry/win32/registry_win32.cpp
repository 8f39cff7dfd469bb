#include "platform/registry/win32/registry_win32.h"

#include <windows.h>

#include <utility>

#include "platform/registry/reg_file.h"
#include "platform/text_codec.h"

namespace vx {
namespace {

HKEY RootHandle(RegRoot root) {
  return root == RegRoot::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

REGSAM Sam(RegAccess access) {
  switch (access) {
    case RegAccess::kQuery: return KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
    case RegAccess::kSetValue: return KEY_SET_VALUE;
    case RegAccess::kAll: return KEY_ALL_ACCESS;
  }
  return KEY_QUERY_VALUE;
}

// An open HKEY, closed on destruction.
class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}
  ~Win32Key() override { RegCloseKey(key_); }
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  RegRead ReadString(std::string_view name, size_t max_bytes) override {
    std::wstring wname = Widen(name);
    // The value may change between the size query and the read: try again
    // a few times, as RegQueryValueExW then reports ERROR_MORE_DATA.
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = 0;
      DWORD size = 0;
      LONG rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size);
      if (rc != ERROR_SUCCESS) return {RegStatusFromWin32(rc), {}};
      if (type != REG_SZ && type != REG_EXPAND_SZ) return {RegStatus::kWrongType, {}};
      if (size > max_bytes) return {RegStatus::kMoreData, {}};
      std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
      DWORD got = size;
      rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
      if (rc == ERROR_MORE_DATA) continue;
      if (rc != ERROR_SUCCESS) return {RegStatusFromWin32(rc), {}};
      if (type != REG_SZ && type != REG_EXPAND_SZ) return {RegStatus::kWrongType, {}};
      // The stored data need not end with a NUL; the text ends at the first.
      std::wstring_view text(buffer.data(), got / sizeof(wchar_t));
      text = text.substr(0, text.find(L'\0'));
      return {RegStatus::kOk, Narrow(text)};
    }
    return {RegStatus::kMoreData, {}};
  }

  RegValueRead ReadValue(std::string_view name, size_t max_bytes) override {
    std::wstring wname = Widen(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = 0;
      DWORD size = 0;
      LONG rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size);
      if (rc != ERROR_SUCCESS) return {RegStatusFromWin32(rc), REG_NONE, {}};
      if (size > max_bytes) return {RegStatus::kMoreData, type, {}};
      std::string data(size, '\0');
      DWORD got = size;
      rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_MORE_DATA) continue;
      if (rc != ERROR_SUCCESS) return {RegStatusFromWin32(rc), REG_NONE, {}};
      data.resize(got < size ? got : size);
      return {RegStatus::kOk, type, std::move(data)};
    }
    return {RegStatus::kMoreData, REG_NONE, {}};
  }

  RegStatus WriteString(std::string_view name, std::string_view text, bool expandable) override {
    std::wstring wname = Widen(name);
    std::wstring wtext = Widen(text);
    auto bytes = static_cast<DWORD>((wtext.size() + 1) * sizeof(wchar_t));
    LONG rc = RegSetValueExW(key_, wname.c_str(), 0, expandable ? REG_EXPAND_SZ : REG_SZ,
                             reinterpret_cast<const BYTE*>(wtext.c_str()), bytes);
    return RegStatusFromWin32(rc);
  }

  RegStatus EnumSubKeys(std::vector<std::string>* names) override {
    names->clear();
    for (DWORD index = 0;; ++index) {
      wchar_t buffer[kRegMaxKeyNameChars + 1];
      DWORD len = kRegMaxKeyNameChars + 1;
      LONG rc = RegEnumKeyExW(key_, index, buffer, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) return RegStatus::kOk;
      if (rc != ERROR_SUCCESS) return RegStatusFromWin32(rc);
      names->push_back(Narrow(std::wstring_view(buffer, len)));
    }
  }

 private:
  HKEY key_;
};

class Win32RegistryImpl final : public Registry {
 public:
  RegOpen Open(RegRoot root, std::string_view path, RegAccess access) override {
    if (!IsValidRegPath(path)) return {RegStatus::kBadPath, nullptr};
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(RootHandle(root), Widen(path).c_str(), 0, Sam(access), &key);
    if (rc != ERROR_SUCCESS) return {RegStatusFromWin32(rc), nullptr};
    return {RegStatus::kOk, std::make_unique<Win32Key>(key)};
  }

  RegOpen Create(RegRoot root, std::string_view path, RegAccess access) override {
    if (!IsValidRegPath(path)) return {RegStatus::kBadPath, nullptr};
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(RootHandle(root), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              Sam(access), nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return {RegStatusFromWin32(rc), nullptr};
    return {RegStatus::kOk, std::make_unique<Win32Key>(key)};
  }
};

}  // namespace

RegStatus RegStatusFromWin32(long error) {
  switch (error) {
    case ERROR_SUCCESS: return RegStatus::kOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return RegStatus::kNotFound;
    case ERROR_ACCESS_DENIED: return RegStatus::kAccessDenied;
    case ERROR_MORE_DATA: return RegStatus::kMoreData;
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME: return RegStatus::kBadPath;
    default: return RegStatus::kFailed;
  }
}

Registry& Win32Registry() {
  static Win32RegistryImpl registry;
  return registry;
}

}  // namespace vx
