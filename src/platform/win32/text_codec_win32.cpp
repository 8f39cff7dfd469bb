#include <windows.h>

#include "platform/text_codec.h"

namespace vx {
namespace {

std::wstring ToWide(UINT cp, std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string FromWide(UINT cp, std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

class AnsiCodec final : public TextCodec {
 public:
  std::string AnsiToUtf8(std::string_view ansi) const override {
    return FromWide(CP_UTF8, ToWide(CP_ACP, ansi));
  }
  std::string Utf8ToAnsi(std::string_view utf8) const override {
    return FromWide(CP_ACP, ToWide(CP_UTF8, utf8));
  }
};

}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string Narrow(std::wstring_view wide) { return FromWide(CP_UTF8, wide); }

const TextCodec& SystemTextCodec() {
  static AnsiCodec codec;
  return codec;
}

}  // namespace vx
