// Conversion between our UTF-8 strings and the 8-bit texts of the wire and of
// driver records, which are in the system's ANSI code page. On Windows the
// adapter uses the active code page; natively (the lab, tests) texts pass
// through unchanged, since the lab's peers speak UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vx {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  virtual std::string AnsiToUtf8(std::string_view ansi) const = 0;
  virtual std::string Utf8ToAnsi(std::string_view utf8) const = 0;
};

// Passes bytes through unchanged.
const TextCodec& IdentityTextCodec();
// The codec of this platform: the ANSI code page on Windows, identity elsewhere.
const TextCodec& SystemTextCodec();

// UTF-8 <-> UTF-16 at the Win32 boundary; only the Windows adapter defines
// them, so a native caller fails to link.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace vx
