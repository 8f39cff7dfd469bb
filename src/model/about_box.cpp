#include "model/about_box.h"

namespace vx::model {

AboutTexts MakeAboutTexts(bool japanese, const std::string& title_text, const std::string& product_version) {
  AboutTexts t;
  t.caption = japanese ? "Vessixについて" : "About " + title_text;
  const std::string version = product_version.empty() ? kDefaultProductVersion : product_version;
  t.version_line = (japanese ? "ソフトウェアバージョン : " : "Software Version : ") + version;
  return t;
}

}  // namespace vx::model
