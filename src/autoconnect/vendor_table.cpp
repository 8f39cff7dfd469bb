#include "autoconnect/vendor_table.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/trace.h"

namespace vx::autoconnect {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// UTF-16 after its byte-order mark; an odd last byte is dropped and a lone
// surrogate becomes U+FFFD.
std::string DecodeUtf16(std::string_view bytes, bool little_endian) {
  std::string out;
  out.reserve(bytes.size());
  const size_t units = bytes.size() / 2;
  auto unit = [&](size_t k) -> uint32_t {
    const auto b0 = static_cast<unsigned char>(bytes[2 * k]);
    const auto b1 = static_cast<unsigned char>(bytes[2 * k + 1]);
    return little_endian ? (b0 | (b1 << 8)) : ((b0 << 8) | b1);
  };
  for (size_t k = 0; k < units; ++k) {
    uint32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
      const uint32_t low = unit(k + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++k;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

// The file's text as UTF-8.
std::string TextOf(std::string_view bytes, const TextCodec& codec) {
  auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
  if (starts("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), true);
  if (starts("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), false);
  if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (IsUtf8(bytes)) return std::string(bytes);
  return codec.AnsiToUtf8(bytes);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

char Fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

}  // namespace

bool IsUtf8(std::string_view bytes) {
  size_t k = 0;
  const size_t n = bytes.size();
  while (k < n) {
    const auto c = static_cast<unsigned char>(bytes[k]);
    if (c < 0x80) {
      ++k;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (n - k < len) return false;
    for (size_t j = 1; j < len; ++j) {
      const auto t = static_cast<unsigned char>(bytes[k + j]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    k += len;
  }
  return true;
}

VendorDriverTable ParseVendorDriverTable(std::string_view bytes, const TextCodec& codec) {
  VendorDriverTable table;
  const std::string text = TextOf(bytes, codec);
  const std::string_view all(text);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(pos, end - pos);
    pos = end + 1;  // CR LF gives an empty line in between, which is skipped
    if (size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      table.sections.emplace_back();
      continue;
    }
    if (table.sections.empty()) continue;  // before the first section
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view value = Unquote(Trim(line.substr(eq + 1)));
    if (value.empty()) continue;
    table.sections.back().emplace_back(value);
  }
  return table;
}

const char* VendorTableReadText(VendorTableRead result) {
  switch (result) {
    case VendorTableRead::kRead:
      return "read";
    case VendorTableRead::kMissing:
      return "missing";
    case VendorTableRead::kTooLarge:
      return "too-large";
    case VendorTableRead::kFailed:
      return "failed";
  }
  return "?";
}

VendorTableRead ReadZARiraverIni(const std::string& path, const TextCodec& codec, VendorDriverTable& table) {
  table.clear();
  const std::filesystem::path file(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  if (status.type() == std::filesystem::file_type::not_found) return VendorTableRead::kMissing;
  if (ec || !std::filesystem::is_regular_file(status)) {
    TraceLine("ReadZARiraverIni : cannot read " + path);
    return VendorTableRead::kFailed;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    TraceLine("ReadZARiraverIni : cannot open " + path);
    return VendorTableRead::kFailed;
  }
  // Read in pieces up to one byte past the limit, whatever size the file
  // claims (it may grow while it is read).
  std::string bytes;
  char chunk[16384];
  while (in && bytes.size() <= kMaxVendorTableBytes) {
    in.read(chunk, sizeof chunk);
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
  }
  if (bytes.size() > kMaxVendorTableBytes) {
    TraceLine("ReadZARiraverIni : file too large : " + path);
    return VendorTableRead::kTooLarge;
  }
  if (in.bad()) {
    TraceLine("ReadZARiraverIni : read failed : " + path);
    return VendorTableRead::kFailed;
  }
  table = ParseVendorDriverTable(bytes, codec);
  return VendorTableRead::kRead;
}

int VendorSection(const VendorDriverTable& table, std::string_view vid) {
  for (size_t k = 0; k < table.sections.size(); ++k)
    if (!table.sections[k].empty() && table.sections[k].front() == vid) return int(k);
  return -1;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  if (part.empty() || part.size() > text.size()) return false;
  for (size_t start = 0; start + part.size() <= text.size(); ++start) {
    size_t k = 0;
    while (k < part.size() && Fold(text[start + k]) == Fold(part[k])) ++k;
    if (k == part.size()) return true;
  }
  return false;
}

bool IsOtherVendorName(const VendorDriverTable& table, int own_section, std::string_view name) {
  if (own_section < 0) return false;
  for (size_t k = 0; k < table.sections.size(); ++k) {
    if (int(k) == own_section) continue;
    const auto& values = table.sections[k];
    for (size_t j = 1; j < values.size(); ++j)
      if (!values[j].empty() && ContainsNoCase(name, values[j])) return true;
  }
  return false;
}

}  // namespace vx::autoconnect
