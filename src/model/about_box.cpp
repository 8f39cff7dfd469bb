#include "model/about_box.h"

#include "ui/texts.h"

namespace vx::model {

AboutTexts MakeAboutTexts(bool japanese, const std::string& title_text, const std::string& product_version) {
  const std::string_view language = japanese ? "Japanese" : "English";
  AboutTexts t;
  t.caption = std::string(ui::Text(language, ui::TextId::AboutBox_Caption));
  if (!japanese) t.caption += title_text;  // "About " + title; the Japanese caption is whole
  const std::string version = product_version.empty() ? kDefaultProductVersion : product_version;
  t.version_line = std::string(ui::Text(language, ui::TextId::AboutBox_Version)) + version;
  return t;
}

}  // namespace vx::model
