// REGEDIT4 text: the plain registry export format that regedit (and Wine's
// regedit with /S) imports. Test fixtures are written in it so that the same
// file fills the in-memory registry of native tests and a Wine prefix.
//
// Accepted input (a parser of file bytes: every read is bounds-checked, and a
// malformed file is refused as a whole with the line of its first error):
//   - an optional UTF-8 byte-order mark, then the header line "REGEDIT4";
//   - blank lines and comment lines starting with ";";
//   - key sections "[ROOT\path]" and deletions "[-ROOT\path]", ROOT being
//     HKEY_CURRENT_USER / HKCU or HKEY_LOCAL_MACHINE / HKLM;
//   - values "name"=... or @=... (the default value) with the data
//     "text" (REG_SZ; escapes \\ \" \n \r), dword:XXXXXXXX, hex:bytes
//     (REG_BINARY), hex(T):bytes (type T in hexadecimal), or - (delete);
//     hex lists continue on the next line after a trailing "\".
// Texts are UTF-8 (ASCII files are valid as they are). The bytes of hex(1),
// hex(2) and hex(7) data are taken as UTF-8 too, where regedit takes them in
// the system's 8-bit code page. regedit reads the whole file in that code
// page, so a fixture that is also imported into a Wine prefix keeps to ASCII.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace vx {

// One value of a registry key. For REG_SZ and REG_EXPAND_SZ `data` is the
// UTF-8 text without a terminating NUL; for REG_MULTI_SZ each string followed
// by a NUL; for other types the raw bytes (REG_DWORD little-endian).
struct RegValue {
  uint32_t type = kRegSz;
  std::string data;

  static RegValue String(std::string_view text) { return {kRegSz, std::string(text)}; }
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegFileValue {
  std::string name;     // empty: the default value ("@")
  bool remove = false;  // "name"=-
  RegValue value;       // meaningful unless `remove`
};

struct RegFileKey {
  RegRoot root = RegRoot::kCurrentUser;
  std::string path;     // without the root; empty for the root itself
  bool remove = false;  // [-ROOT\path]: delete the key with all its subkeys
  std::vector<RegFileValue> values;
};

struct RegFile {
  std::vector<RegFileKey> keys;  // in file order
};

struct RegParseResult {
  bool ok = false;
  RegFile file;        // complete only when ok
  size_t line = 0;     // 1-based line of the first error
  std::string error;   // what was wrong there
};

RegParseResult ParseRegFile(std::string_view bytes);

// Limits the parser enforces, as the system does.
inline constexpr size_t kRegMaxKeyNameChars = 255;     // one path component
inline constexpr size_t kRegMaxValueNameChars = 16383;

// Writes one section header or value line in REGEDIT4 form.
std::string RegRootName(RegRoot root);  // "HKEY_CURRENT_USER", ...
std::string FormatRegValueLine(std::string_view name, const RegValue& value);

// Checks a key path: no leading or trailing "\", no empty component, each
// component at most kRegMaxKeyNameChars characters. An empty path is valid.
bool IsValidRegPath(std::string_view path);

// Number of Unicode characters in UTF-8 text (bytes that do not continue a
// sequence).
size_t Utf8Chars(std::string_view text);

}  // namespace vx
