#include "pnp_template.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/registry/reg_file.h"

namespace vx::lab::pnp {
namespace {

enum class Place { kKeyName, kQuoted, kBare };

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

std::string LineError(size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

// The value as it is written at `place`, or an error text.
bool Fit(std::string_view name, std::string_view value, Place place, std::string* out, std::string* why) {
  for (unsigned char c : value) {
    if (c < 0x20 || c > 0x7E) {
      *why = "the value of \"" + std::string(name) +
             "\" has a byte outside printable ASCII (regedit reads the file in the system's code page)";
      return false;
    }
  }
  switch (place) {
    case Place::kKeyName:
      if (value.empty() || value.find_first_of("\\[]") != std::string_view::npos || value.front() == ' ' ||
          value.back() == ' ') {
        *why = "the value of \"" + std::string(name) + "\" (\"" + std::string(value) +
               "\") is not one key name: empty, blanks at an end, or \\ [ ]";
        return false;
      }
      out->append(value);
      return true;
    case Place::kQuoted:
      for (char c : value) {
        if (c == '\\' || c == '"') out->push_back('\\');
        out->push_back(c);
      }
      return true;
    case Place::kBare:
      for (char c : value) {
        if (!IsAlnum(c)) {
          *why = "the value of \"" + std::string(name) +
                 "\" is outside quotes and may hold letters and digits only";
          return false;
        }
      }
      out->append(value);
      return true;
  }
  return false;
}

// Substitutes the placeholders of one line.
bool SubstituteLine(std::string_view line, size_t number, const Values& values, std::string* out,
                    std::string* error) {
  size_t first = line.find_first_not_of(" \t");
  bool key_line = first != std::string_view::npos && (line[first] == '[');
  bool in_quotes = false;
  for (size_t i = 0; i < line.size();) {
    char c = line[i];
    if (c == '{' && i + 1 < line.size() && line[i + 1] == '{') {
      size_t end = line.find("}}", i + 2);
      if (end == std::string_view::npos) {
        *error = LineError(number, "\"{{\" without \"}}\"");
        return false;
      }
      std::string_view name = line.substr(i + 2, end - i - 2);
      bool valid = !name.empty() && name.size() <= 64;
      for (char n : name) valid = valid && IsNameChar(n);
      if (!valid) {
        *error = LineError(number, "bad placeholder \"{{" + std::string(name.substr(0, 64)) + "}}\"");
        return false;
      }
      auto it = values.find(name);
      if (it == values.end()) {
        *error = LineError(number, "no value for placeholder \"" + std::string(name) + "\"");
        return false;
      }
      Place place = key_line ? Place::kKeyName : in_quotes ? Place::kQuoted : Place::kBare;
      std::string why;
      if (!Fit(name, it->second, place, out, &why)) {
        *error = LineError(number, why);
        return false;
      }
      i = end + 2;
      continue;
    }
    if (!key_line) {
      if (in_quotes && c == '\\' && i + 1 < line.size()) {
        out->push_back(c);
        out->push_back(line[i + 1]);
        i += 2;
        continue;
      }
      if (c == '"') in_quotes = !in_quotes;
    }
    out->push_back(c);
    ++i;
  }
  return true;
}

// Reads one quoted REGEDIT4 text at s[*at] (the opening quote), unescaping.
bool ReadQuoted(std::string_view s, size_t* at, std::string* text) {
  if (*at >= s.size() || s[*at] != '"') return false;
  for (size_t i = *at + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *at = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
      c = s[++i];
    }
    text->push_back(c);
  }
  return false;
}

// "Name"=multi:"a","b" as "Name"=hex(7):...; other lines unchanged.
bool ExpandMulti(const std::string& line, size_t number, std::string* out, std::string* error) {
  size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line[at] != '"') {
    *out = line;
    return true;
  }
  std::string name;
  size_t pos = at;
  if (!ReadQuoted(line, &pos, &name) || line.compare(pos, 7, "=multi:") != 0) {
    *out = line;
    return true;
  }
  pos += 7;
  std::string joined;
  for (;;) {
    std::string item;
    if (!ReadQuoted(line, &pos, &item) || item.empty()) {
      *error = LineError(number, "a multi: list is \"text\",\"text\",... with no empty text");
      return false;
    }
    joined += item;
    joined.push_back('\0');
    if (pos == line.size()) break;
    if (line[pos] != ',') {
      *error = LineError(number, "a multi: list is \"text\",\"text\",... with no empty text");
      return false;
    }
    ++pos;
  }
  *out = FormatRegValueLine(name, RegValue{kRegMultiSz, joined});
  return true;
}

}  // namespace

RenderResult RenderTemplate(std::string_view tmpl, const Values& values) {
  RenderResult r;
  if (tmpl.size() > kMaxTemplateBytes) {
    r.error = "the template is larger than " + std::to_string(kMaxTemplateBytes) + " bytes";
    return r;
  }
  std::string text;
  size_t number = 0;
  for (size_t start = 0; start < tmpl.size();) {
    size_t end = tmpl.find('\n', start);
    if (end == std::string_view::npos) end = tmpl.size();
    std::string_view line = tmpl.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    ++number;
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line[first] == ';') continue;  // template comments stay behind
    std::string substituted;
    if (!SubstituteLine(line, number, values, &substituted, &r.error)) return r;
    std::string expanded;
    if (!ExpandMulti(substituted, number, &expanded, &r.error)) return r;
    text += expanded;
    text.push_back('\n');
  }
  auto parsed = ParseRegFile(text);
  if (!parsed.ok) {
    r.error =
        "the rendered text is not valid REGEDIT4: line " + std::to_string(parsed.line) + ": " + parsed.error;
    return r;
  }
  r.ok = true;
  r.text = std::move(text);
  return r;
}

bool LoadTemplate(const std::string& dir, std::string_view profile, std::string* text, std::string* error) {
  bool valid = !profile.empty() && profile.size() <= 31;
  for (char c : profile) valid = valid && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-');
  if (!valid) {
    *error = "bad profile name \"" + std::string(profile.substr(0, 40)) + "\"";
    return false;
  }
  std::string path = dir + "/" + std::string(profile) + ".reg";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "no template for profile \"" + std::string(profile) + "\" (" + path + ")";
    return false;
  }
  std::string data;
  char buf[4096];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    data.append(buf, size_t(in.gcount()));
    if (data.size() > kMaxTemplateBytes) {
      *error = path + " is larger than " + std::to_string(kMaxTemplateBytes) + " bytes";
      return false;
    }
  }
  *text = std::move(data);
  return true;
}

}  // namespace vx::lab::pnp
