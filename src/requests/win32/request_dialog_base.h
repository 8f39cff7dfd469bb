// What the two request dialogs share on the kit: shown not modal, on top and
// centred on the main window (their owner); the Japanese font rule (Shift-JIS
// labels and buttons of size 10, title and name labels 25 pixels high);
// coloured labels.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "winui/dialog.h"
#include "winui/handle.h"

namespace vx::requests::win32 {

class RequestDialogBase : public winui::Dialog {
 public:
  using winui::Dialog::Dialog;

 protected:
  // Shows the dialog on top of every window, centred on its owner.
  void ShowOnTopCentred();
  // Labels and buttons get the fonts of the language: Shift-JIS (128) size
  // 10 in Japanese (and `tall` controls 25 pixels high), the template's
  // otherwise; `bold` controls in bold.
  void ApplyFonts(bool japanese, const std::vector<int>& controls, const std::vector<int>& bold,
                  const std::vector<int>& tall);
  // Text colours of static controls.
  void SetLabelColour(int id, COLORREF colour) { colours_[id] = colour; }
  void SetText(int id, const std::string& text);
  std::string TextOf(int id) const;
  void SetVisible(int id, bool visible);

  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  std::map<int, COLORREF> colours_;
  std::map<int, int> template_heights_;  // heights before a Japanese layout
  winui::OwnedFont plain_, bold_;
};

inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kGreen = RGB(0, 128, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);

}  // namespace vx::requests::win32
