// The geometry of a notification popup (`TMsgBox`): its parts in pixels, its
// place in a slot of the screen's work area, the slide that brings it there,
// the fonts of the show step and the hover rule of its close button. Pure
// functions: the popup board (popup_board.h) and the Win32 window use them.
#pragma once

#include <string>
#include <vector>

#include "platform/geometry.h"

namespace vx::ui {

// A borderless window of 254 x 204 filled by a raised panel (bevel 2).
inline constexpr Size kPopupSize{254, 204};
inline constexpr int kPopupBevel = 2;
// Distance between the popup's right edge and the work area's right edge.
inline constexpr int kPopupRightMargin = 16;
// Popups on screen at once: slots 0, 1, 2 from the bottom up.
inline constexpr int kPopupSlots = 3;

// The parts, in the popup's client coordinates.
struct PopupParts {
  Rect bar{3, 2, 249, 22};         // Image_Bar, the title-bar picture (stretched)
  Rect icon{4, 4, 20, 20};         // MsgImage
  Rect caption{28, 8, 193, 13};    // Label_Caption
  Rect close{228, 6, 16, 16};      // Image_Close
  int separator_y = 27;            // the line below the title bar
  Rect frame{8, 32, 237, 164};     // raised frame, sky-blue outline
  Rect message{16, 40, 221, 57};   // Label1, word-wrapped
  Rect details{16, 100, 221, 80};  // Label2, word-wrapped
  Rect time{16, 180, 221, 13};     // Label_Time, right-aligned, always empty
};
inline constexpr PopupParts kPopupParts{};

// Where the popup of `slot` starts and ends its slide. It ends k popup
// heights above the bottom of the work area (slot k) and starts one height
// lower; its right edge keeps kPopupRightMargin from the work area's.
struct SlotPlacement {
  int left = 0;
  int start_top = 0;
  int final_top = 0;
};
SlotPlacement PlaceInSlot(const Rect& work_area, Size popup, int slot);

// The slide: 2 pixels every 5 ms.
inline constexpr int kSlideStepPixels = 2;
inline constexpr int kSlideStepMs = 5;

// The tops the popup takes after each step of its slide from `start_top` up
// to `final_top` (the last one is always `final_top`; empty when it starts
// there or above).
std::vector<int> SlideTops(int start_top, int final_top);
// The top after `steps` steps of that slide.
int SlideTopAfter(int start_top, int final_top, long long steps);

// Fonts of the show step, for Label_Caption and for Label1 and Label2.
struct PopupFont {
  int points = 0;   // 0: the window's own font size
  int charset = 1;  // DEFAULT_CHARSET; 128 is the Japanese (Shift JIS) set
};
struct PopupFonts {
  PopupFont caption;
  PopupFont labels;  // Label1 and Label2
};
// Japanese: character set 128 and 10 points for all three; other languages:
// 8 points for the two labels, the caption keeps the window's font.
PopupFonts FontsFor(bool japanese);
// The face the fonts ask for (the system links the Japanese glyphs to it).
inline constexpr const char* kPopupFontFace = "Tahoma";

// The close button's inner area, where the pointer highlights it: x from 3
// to width - 2 and y from 3 to height - 2 (in button coordinates, inclusive).
bool InCloseButtonHotArea(Point in_button, Size button);

// The hover state of one close button. Move() tells what to do with a
// pointer position in button coordinates: nothing, or show the highlighted
// picture (capture the mouse), or the normal one (release it).
class CloseButtonHover {
 public:
  enum class Change { kNone, kHighlight, kNormal };
  Change Move(Point in_button, Size button);
  // The pointer left for good (capture lost, popup closed): kNormal when it
  // was highlighted.
  Change Reset();
  bool highlighted() const { return highlighted_; }

 private:
  bool highlighted_ = false;
};

// The key of the closed-texts list and of the comparison of shown popups.
struct PopupTexts {
  std::string message;  // Label1
  std::string details;  // Label2
  bool operator==(const PopupTexts&) const = default;
};

}  // namespace vx::ui
