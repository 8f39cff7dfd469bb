#include "model/win32/about_box_win32.h"

#include "vessix_ids.h"
#include "winui/controls.h"

namespace vx::model::win32 {

void AboutBox::SetTexts(const AboutTexts& texts) {
  SetCaption(texts.caption);
  winui::Control(Item(IDC_ABOUT_VERSION)).SetText(texts.version_line);
}

int AboutBox::ShowModal(const AboutTexts& texts) {
  SetTexts(texts);
  return winui::Dialog::ShowModal();
}

}  // namespace vx::model::win32
