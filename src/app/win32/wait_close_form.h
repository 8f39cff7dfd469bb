// TWaitCloseFm, the window shown while the program closes: a dialog of its
// own on the kit. The main window's presenter decides what it shows and when
// (MainView's wait-window calls); this class only puts that on the screen.
#pragma once

#include <string>

#include "winui/dialog.h"

namespace vx::app::win32 {

class WaitCloseForm final : public winui::Dialog {
 public:
  WaitCloseForm() : Dialog("TWaitCloseFm") {}

  // Shows the window with this caption and text and paints it at once (the
  // close sequence keeps the thread busy afterwards).
  void ShowTexts(const std::string& caption, const std::string& text);
  void Repaint();
  std::string Text() const;  // the text shown (for tests)

 protected:
  // Neither Esc nor Enter hides it: the close sequence does.
  void OnOkCancel(int) override {}
};

}  // namespace vx::app::win32
