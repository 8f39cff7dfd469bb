#include "platform/registry/reg_file.h"

#include <cstdint>
#include <optional>

namespace vx {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hexadecimal digits, nothing else.
std::optional<uint32_t> ParseHex32(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

// Splits into lines at "\n"; a "\r" before it belongs to the line break.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
    if (start == text.size()) break;  // a final line break ends the last line
  }
  return lines;
}

class Parser {
 public:
  explicit Parser(std::string_view bytes) : bytes_(bytes) {}

  RegParseResult Run() {
    if (bytes_.size() >= 2 && (static_cast<unsigned char>(bytes_[0]) == 0xFF ||
                               static_cast<unsigned char>(bytes_[0]) == 0xFE))
      return Fail(1, "UTF-16 text is not accepted; write REGEDIT4 text in UTF-8");
    if (bytes_.substr(0, kBom.size()) == kBom) bytes_.remove_prefix(kBom.size());
    lines_ = SplitLines(bytes_);
    if (lines_.empty() || TrimRight(lines_[0]) != kHeader) return Fail(1, "the first line must be REGEDIT4");
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      std::string_view line = TrimLeft(lines_[index_]);
      if (line.empty() || line[0] == ';') continue;
      bool ok = line[0] == '[' ? Section(line) : ValueLine(line);
      if (!ok) return Fail(error_line_, error_);
    }
    RegParseResult r;
    r.ok = true;
    r.file = std::move(file_);
    return r;
  }

 private:
  static RegParseResult Fail(size_t line, std::string message) {
    RegParseResult r;
    r.line = line;
    r.error = std::move(message);
    return r;
  }

  bool Error(std::string message) {
    error_line_ = index_ + 1;
    error_ = std::move(message);
    return false;
  }

  bool Section(std::string_view line) {
    line = TrimRight(line);
    if (line.size() < 2 || line.back() != ']') return Error("a key section must end with ']'");
    std::string_view inner = line.substr(1, line.size() - 2);
    RegFileKey key;
    if (!inner.empty() && inner[0] == '-') {
      key.remove = true;
      inner.remove_prefix(1);
    }
    size_t slash = inner.find('\\');
    std::string_view root = inner.substr(0, slash);
    if (EqualsNoCase(root, "HKEY_CURRENT_USER") || EqualsNoCase(root, "HKCU")) {
      key.root = RegRoot::kCurrentUser;
    } else if (EqualsNoCase(root, "HKEY_LOCAL_MACHINE") || EqualsNoCase(root, "HKLM")) {
      key.root = RegRoot::kLocalMachine;
    } else {
      return Error("unknown root key '" + std::string(root) + "' (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE)");
    }
    if (slash != std::string_view::npos) {
      std::string_view path = inner.substr(slash + 1);
      if (path.empty() || !IsValidRegPath(path)) return Error("malformed key path");
      key.path = std::string(path);
    }
    if (key.remove && key.path.empty()) return Error("a root key cannot be deleted");
    file_.keys.push_back(std::move(key));
    return true;
  }

  // A quoted text starting at s[*pos] == '"'; leaves *pos after the closing quote.
  bool Quoted(std::string_view s, size_t* pos, std::string* out) {
    size_t i = *pos + 1;
    while (i < s.size()) {
      char c = s[i];
      if (c == '"') {
        *pos = i + 1;
        return true;
      }
      if (c == '\\') {
        if (i + 1 >= s.size()) break;
        char e = s[i + 1];
        if (e == '\\' || e == '"') {
          out->push_back(e);
        } else if (e == 'n') {
          out->push_back('\n');
        } else if (e == 'r') {
          out->push_back('\r');
        } else {
          return Error(std::string("unknown escape '\\") + e + "' in a quoted text");
        }
        i += 2;
        continue;
      }
      out->push_back(c);
      ++i;
    }
    return Error("a quoted text has no closing '\"'");
  }

  // Only blanks or a comment may follow the data.
  bool RestIsEmpty(std::string_view rest) {
    rest = TrimLeft(rest);
    if (rest.empty() || rest[0] == ';') return true;
    return Error("unexpected text after the value: '" + std::string(rest.substr(0, 20)) + "'");
  }

  bool ValueLine(std::string_view line) {
    if (file_.keys.empty()) return Error("a value before the first key section");
    RegFileKey& key = file_.keys.back();
    if (key.remove) return Error("a value under a deleted key");
    RegFileValue v;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      if (!Quoted(line, &pos, &v.name)) return false;
      if (Utf8Chars(v.name) > kRegMaxValueNameChars) return Error("value name too long");
    } else {
      return Error("expected a key section, a value or a comment");
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest[0] != '=') return Error("expected '=' after the value name");
    rest = TrimLeft(rest.substr(1));
    if (!Data(rest, &v)) return false;
    key.values.push_back(std::move(v));
    return true;
  }

  bool Data(std::string_view rest, RegFileValue* v) {
    if (rest.empty()) return Error("missing value data");
    if (rest[0] == '-') {
      v->remove = true;
      return RestIsEmpty(rest.substr(1));
    }
    if (rest[0] == '"') {
      size_t pos = 0;
      v->value.type = kRegSz;
      if (!Quoted(rest, &pos, &v->value.data)) return false;
      return RestIsEmpty(rest.substr(pos));
    }
    if (StartsWithNoCase(rest, "dword:")) {
      std::string_view digits = TrimRight(rest.substr(6));
      size_t semi = digits.find(';');
      if (semi != std::string_view::npos) digits = TrimRight(digits.substr(0, semi));
      auto n = ParseHex32(digits);
      if (!n) return Error("dword: needs 1 to 8 hexadecimal digits");
      v->value.type = kRegDword;
      for (int i = 0; i < 4; ++i) v->value.data.push_back(static_cast<char>((*n >> (8 * i)) & 0xFF));
      return true;
    }
    if (StartsWithNoCase(rest, "hex")) {
      std::string_view after = rest.substr(3);
      uint32_t type = kRegBinary;
      if (!after.empty() && after[0] == '(') {
        size_t close = after.find(')');
        if (close == std::string_view::npos) return Error("hex( has no closing ')'");
        auto t = ParseHex32(after.substr(1, close - 1));
        if (!t) return Error("hex(T): needs a hexadecimal type number");
        type = *t;
        after.remove_prefix(close + 1);
      }
      if (after.empty() || after[0] != ':') return Error("expected ':' after hex");
      v->value.type = type;
      return HexList(after.substr(1), &v->value);
    }
    return Error("unknown value data (expected \"text\", dword:, hex: or -)");
  }

  // Comma-separated bytes; a trailing "\" continues the list on the next line.
  bool HexList(std::string_view first, RegValue* value) {
    std::string bytes;
    std::string_view part = first;
    for (;;) {
      part = Trim(part);
      bool more = !part.empty() && part.back() == '\\';
      if (more) part = TrimRight(part.substr(0, part.size() - 1));
      if (!HexBytes(part, &bytes)) return false;
      if (!more) break;
      if (index_ + 1 >= lines_.size()) return Error("the hex list continues past the end of the file");
      ++index_;
      part = lines_[index_];
    }
    // String data carries its terminating NUL; the text does not.
    if ((value->type == kRegSz || value->type == kRegExpandSz || value->type == kRegMultiSz) &&
        !bytes.empty() && bytes.back() == '\0')
      bytes.pop_back();
    value->data = std::move(bytes);
    return true;
  }

  // One line's part of a hex list: "aa,bb,cc", a trailing "," accepted.
  bool HexBytes(std::string_view part, std::string* out) {
    size_t i = 0;
    while (i < part.size()) {
      while (i < part.size() && IsBlank(part[i])) ++i;
      if (i >= part.size()) break;
      size_t start = i;
      while (i < part.size() && HexDigit(part[i]) >= 0) ++i;
      size_t len = i - start;
      if (len == 0 || len > 2) return Error("a hex list needs bytes of 1 or 2 hexadecimal digits");
      int v = HexDigit(part[start]);
      if (len == 2) v = v * 16 + HexDigit(part[start + 1]);
      out->push_back(static_cast<char>(v));
      while (i < part.size() && IsBlank(part[i])) ++i;
      if (i >= part.size()) break;
      if (part[i] != ',') return Error("a hex list needs ',' between bytes");
      ++i;
    }
    return true;
  }

  std::string_view bytes_;
  std::vector<std::string_view> lines_;
  size_t index_ = 0;
  RegFile file_;
  size_t error_line_ = 0;
  std::string error_;
};

void AppendQuoted(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') {
      out->push_back('\\');
      out->push_back(c);
    } else if (c == '\n') {
      out->append("\\n");
    } else if (c == '\r') {
      out->append("\\r");
    } else {
      out->push_back(c);
    }
  }
  out->push_back('"');
}

void AppendHex(std::string* out, size_t prefix_len, std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  size_t column = prefix_len;
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    out->push_back(kDigits[b >> 4]);
    out->push_back(kDigits[b & 15]);
    column += 2;
    if (i + 1 < bytes.size()) {
      out->push_back(',');
      ++column;
      if (column > 76) {
        out->append("\\\n  ");
        column = 2;
      }
    }
  }
}

}  // namespace

RegParseResult ParseRegFile(std::string_view bytes) { return Parser(bytes).Run(); }

size_t Utf8Chars(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

bool IsValidRegPath(std::string_view path) {
  if (path.empty()) return true;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find('\\', start);
    std::string_view part = path.substr(start, slash == std::string_view::npos ? path.npos : slash - start);
    if (part.empty() || Utf8Chars(part) > kRegMaxKeyNameChars) return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

std::string RegRootName(RegRoot root) {
  return root == RegRoot::kCurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string FormatRegValueLine(std::string_view name, const RegValue& value) {
  std::string line;
  if (name.empty()) {
    line.push_back('@');
  } else {
    AppendQuoted(&line, name);
  }
  line.push_back('=');
  const std::string& d = value.data;
  if (value.type == kRegSz && d.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos) {
    AppendQuoted(&line, d);
  } else if (value.type == kRegDword && d.size() == 4) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[static_cast<size_t>(i)]);
    static const char kDigits[] = "0123456789abcdef";
    line += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) line.push_back(kDigits[(v >> shift) & 15]);
  } else {
    std::string bytes = d;
    if (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz) bytes.push_back('\0');
    if (value.type == kRegBinary) {
      line += "hex:";
    } else {
      static const char kDigits[] = "0123456789abcdef";
      std::string t;
      uint32_t type = value.type;
      do {
        t.insert(t.begin(), kDigits[type & 15]);
        type >>= 4;
      } while (type != 0);
      line += "hex(" + t + "):";
    }
    AppendHex(&line, line.size(), bytes);
  }
  return line;
}

}  // namespace vx
