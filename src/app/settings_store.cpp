#include "app/settings_store.h"

#include <limits>

#include "platform/trace.h"

namespace vx::app {
namespace {

std::string Where(std::string_view key, std::string_view name) {
  std::string s(key);
  s += " - ";
  s += name;
  return s;
}

}  // namespace

void ReadRegString(Registry& registry, RegRoot root, std::string_view key, std::string_view name,
                   std::string& value) {
  RegOpen full = registry.Open(root, key, RegAccess::kAll);
  if (full.status == RegStatus::kOk) {
    RegRead r = full.key->ReadString(name);
    if (r.status == RegStatus::kOk) value = std::move(r.text);
    return;
  }
  // Without the right to change the key (HKLM for a normal user) it can
  // still be read.
  RegOpen query = registry.Open(root, key, RegAccess::kQuery);
  if (query.status != RegStatus::kOk) {
    TraceLine("OpenKey Fail in ReadString 2 : " + Where(key, name));
    return;
  }
  RegRead r = query.key->ReadString(name, kFallbackReadBytes);
  if (r.status == RegStatus::kOk) value = std::move(r.text);
}

std::string ReadRegString(Registry& registry, RegRoot root, std::string_view key, std::string_view name) {
  std::string value;
  ReadRegString(registry, root, key, name, value);
  return value;
}

void WriteRegString(Registry& registry, RegRoot root, std::string_view key, std::string_view name,
                    bool expandable, bool may_create, std::string_view text) {
  RegOpen full =
      may_create ? registry.Create(root, key, RegAccess::kAll) : registry.Open(root, key, RegAccess::kAll);
  if (full.status == RegStatus::kOk) {
    full.key->WriteString(name, text, expandable);  // errors here are swallowed
    return;
  }
  RegOpen set = registry.Open(root, key, RegAccess::kSetValue);
  if (set.status != RegStatus::kOk) {
    TraceLine("OpenKey Fail in WriteString 2 : " + Where(key, name));
    return;
  }
  if (set.key->WriteString(name, text, expandable) != RegStatus::kOk)
    TraceLine("RegSetValueEx Fail in WriteString : " + Where(key, name));
}

std::string Settings::Read(RegRoot root, std::string_view name) const {
  return ReadRegString(registry_, root, kSettingsKey, name);
}

void Settings::Write(RegRoot root, std::string_view name, std::string_view text) {
  WriteRegString(registry_, root, kSettingsKey, name, false, true, text);
}

std::optional<int> ParseSettingInt(std::string_view text) {
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return std::nullopt;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(v);
}

}  // namespace vx::app
