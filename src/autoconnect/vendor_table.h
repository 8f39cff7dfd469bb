// `AFIniStr`, the vendor driver table: the file "ZARiraver.ini" beside the
// program, an INI file whose sections each list one vendor. Section names
// carry no meaning; within a section only the values count, in file order,
// and an entry with an empty value is dropped. The first value of a section
// is a USB vendor id as the device list writes it ("04B8"); every further
// value is a fragment of a driver or product name of that vendor.
//
// The reader is our own and takes any bytes:
//   - a UTF-8 byte-order mark is skipped; a UTF-16 file (byte-order mark
//     FF FE or FE FF) is decoded; other text that is not UTF-8 is taken as
//     the system's ANSI code page (through the text codec);
//   - lines end at CR, LF or CR LF, in any mix; a NUL ends the text of its
//     line (the rest of that line is ignored); lines may be of any length;
//   - blanks (space, tab) around a line, a key and a value are ignored; a
//     line starting with ";" is a comment;
//   - a line starting with "[" starts a new section, whatever its name, so a
//     repeated section name gives a section of its own;
//   - in a section, "key=value" is an entry (the value is everything after
//     the first "=", one pair of enclosing quotes removed); lines without
//     "=" and lines before the first section are ignored;
//   - a file larger than kMaxVendorTableBytes is not read (the table stays
//     empty): a vendor table is a few kilobytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_codec.h"

namespace vx::autoconnect {

inline constexpr std::string_view kVendorTableFile = "ZARiraver.ini";
inline constexpr size_t kMaxVendorTableBytes = 4u << 20;

struct VendorDriverTable {
  // One list of values per section, the sections in file order.
  std::vector<std::vector<std::string>> sections;

  bool empty() const { return sections.empty(); }
  void clear() { sections.clear(); }
  friend bool operator==(const VendorDriverTable&, const VendorDriverTable&) = default;
};

// Parses the bytes of an INI file (rules above).
VendorDriverTable ParseVendorDriverTable(std::string_view bytes, const TextCodec& codec);

enum class VendorTableRead {
  kRead,      // the file was read
  kMissing,   // there is no such file: the table is empty
  kTooLarge,  // larger than kMaxVendorTableBytes: the table is empty
  kFailed,    // it could not be read: the table is empty
};
const char* VendorTableReadText(VendorTableRead result);  // "read", "missing", ...

// `ReadZARiraverIni`: loads `table` from the file at `path` (UTF-8); any
// outcome but kRead leaves it empty.
VendorTableRead ReadZARiraverIni(const std::string& path, const TextCodec& codec, VendorDriverTable& table);

// The index of the first section whose first value is identical
// (case-sensitive) to the device's vendor id; -1 when none.
int VendorSection(const VendorDriverTable& table, std::string_view vid);

// True when `name` (a printer queue or TWAIN source name) contains, without
// regard to ASCII case, a name fragment of a section other than
// `own_section`. Nothing is marked when the device's vendor has no section
// (`own_section` < 0).
bool IsOtherVendorName(const VendorDriverTable& table, int own_section, std::string_view name);

// Whether `text` contains `part` without regard to ASCII case (an empty
// `part` matches nothing).
bool ContainsNoCase(std::string_view text, std::string_view part);

// Whether the bytes are well-formed UTF-8.
bool IsUtf8(std::string_view bytes);

}  // namespace vx::autoconnect
