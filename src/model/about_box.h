// What the About box `TAboutBox` shows: its caption and the software version
// line ("Product Version" from the settings, "1.80" when that is empty).
#pragma once

#include <string>

namespace vx::model {

struct AboutTexts {
  std::string caption;
  std::string version_line;
};

inline constexpr const char* kDefaultProductVersion = "1.80";

// `title_text` is the title shown in English ("About " + title);
// `product_version` the HKLM "Product Version" setting (may be empty).
AboutTexts MakeAboutTexts(bool japanese, const std::string& title_text, const std::string& product_version);

}  // namespace vx::model
