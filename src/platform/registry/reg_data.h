// The data of string values as the system stores them (UTF-16LE) and our
// UTF-8 texts. Both directions are total: malformed input gives U+FFFD in
// place of what cannot be decoded, never an error and never a read beyond
// the input.
#pragma once

#include <string>
#include <string_view>

namespace vx {

// UTF-16LE bytes to UTF-8. NULs are kept (a REG_MULTI_SZ keeps its
// separators); an unpaired surrogate becomes U+FFFD; an odd last byte is
// dropped.
std::string Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to UTF-16LE bytes, NULs kept. A byte that does not start a valid
// sequence becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);

}  // namespace vx
