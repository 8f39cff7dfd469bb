// Registry templates of the lab's Plug and Play: REGEDIT4 text with
// placeholders, rendered into the keys Windows would create for a device.
//
// Template text is REGEDIT4 (see platform/registry/reg_file.h) with two
// additions:
//   - {{name}} is replaced by the value of `name` (letters, digits, "_");
//   - a value written as "Name"=multi:"first","second" becomes a REG_MULTI_SZ
//     value in regedit's hex(7) form.
// A value is escaped for the place it lands in: inside a quoted string "\"
// and '"' get a backslash; in a key name ([...] line) it must be one key name
// (no "\", "[", "]", no blanks at either end); outside quotes on a value line
// (a dword, hex bytes) it may hold letters and digits only. Every value is
// printable ASCII: regedit reads REGEDIT4 files in the system's 8-bit code
// page. A placeholder without a value, or a value that does not fit its
// place, refuses the whole template with the line and the reason; so does
// rendered text that is not valid REGEDIT4.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vx::lab::pnp {

using Values = std::map<std::string, std::string, std::less<>>;

struct RenderResult {
  bool ok = false;
  std::string text;   // the REGEDIT4 text when ok
  std::string error;  // "line N: reason" otherwise
};

RenderResult RenderTemplate(std::string_view tmpl, const Values& values);

// Templates larger than this are refused (they are small files of ours).
inline constexpr size_t kMaxTemplateBytes = 64 * 1024;

// Reads DIR/PROFILE.reg. Profile names are 1-31 characters of lower-case
// letters, digits and "-" (so a name never leaves the folder).
bool LoadTemplate(const std::string& dir, std::string_view profile, std::string* text, std::string* error);

}  // namespace vx::lab::pnp
