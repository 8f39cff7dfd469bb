// The About box `TAboutBox` (modal, from its DIALOGEX template): caption,
// the picture "ABOUTBMP" and the software version line of AboutTexts.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include "model/about_box.h"
#include "winui/dialog.h"

namespace vx::model::win32 {

class AboutBox final : public winui::Dialog {
 public:
  AboutBox() : winui::Dialog("TAboutBox") {}
  // Puts the texts in (the dialog must have been created).
  void SetTexts(const AboutTexts& texts);
  // Puts the texts in and runs the box modally.
  int ShowModal(const AboutTexts& texts);
  using winui::Dialog::ShowModal;
};

}  // namespace vx::model::win32
