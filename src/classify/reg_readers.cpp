#include "classify/reg_readers.h"

#include "platform/registry/reg_data.h"

namespace vx::classify {

std::vector<std::string> ParseMultiSz(std::string_view utf16le) {
  std::vector<std::string> list;
  const std::string text = Utf16LeToUtf8(utf16le);
  size_t start = 0;
  while (start < text.size()) {
    size_t nul = text.find('\0', start);
    size_t end = nul == std::string::npos ? text.size() : nul;
    if (end == start) break;  // the empty string ends the list
    list.emplace_back(text, start, end - start);
    if (nul == std::string::npos) break;
    start = nul + 1;
  }
  return list;
}

std::unique_ptr<RegistryKey> RegReaders::Open(std::string_view key) const {
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  if (key.empty()) return nullptr;  // a node that was not found: never the root
  return registry_.Open(RegRoot::kLocalMachine, key, RegAccess::kQuery).key;
}

std::string RegReaders::ReadRegSz(std::string_view key, std::string_view value) const {
  auto k = Open(key);
  if (!k) return {};
  RegRead r = k->ReadString(value, kRegSzBytes);
  return r.status == RegStatus::kOk ? r.text : std::string();
}

std::vector<std::string> RegReaders::ReadRegMultiSz(std::string_view key, std::string_view value) const {
  auto k = Open(key);
  if (!k) return {};
  RegValueRead r = k->ReadValue(value, kRegMultiSzBytes);
  if (r.status != RegStatus::kOk || r.type != kRegMultiSz) return {};
  return ParseMultiSz(r.data);
}

uint32_t RegReaders::ReadRegDword(std::string_view key, std::string_view value) const {
  auto k = Open(key);
  if (!k) return 0;
  RegValueRead r = k->ReadValue(value, 4);
  if (r.status != RegStatus::kOk || r.type != kRegDword || r.data.size() != 4) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(r.data[static_cast<size_t>(i)]);
  return v;
}

std::vector<std::string> RegReaders::EnumRegSubKeys(std::string_view key, size_t limit) const {
  std::vector<std::string> names;
  auto k = Open(key);
  if (!k || k->EnumSubKeys(&names) != RegStatus::kOk) return {};
  if (names.size() > limit) names.resize(limit);
  return names;
}

std::string RegReaders::EnumRegSubKey(std::string_view key, int index) const {
  if (index < 0) return {};
  auto names = EnumRegSubKeys(key, static_cast<size_t>(index) + 1);
  return static_cast<size_t>(index) < names.size() ? names[static_cast<size_t>(index)] : std::string();
}

}  // namespace vx::classify
