#include "ui/win32/popup_host_win32.h"

#include "winui/geometry.h"

namespace vx::ui::win32 {

Win32PopupHost::Win32PopupHost(HMODULE module)
    : module_(module),
      pictures_(PopupPictures::Load(module)),
      // Windows fires timers at 10 to 16 ms at best; the board moves each
      // popup by the clock, so the slide keeps its speed.
      timer_({.handler = {}, .interval_ms = static_cast<unsigned>(kSlideStepMs), .enabled = false}) {}

Rect Win32PopupHost::WorkArea() {
  RECT area{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) && area.right > area.left && area.bottom > area.top)
    return winui::FromRECT(area);
  return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::unique_ptr<PopupView> Win32PopupHost::CreatePopup(int id, PopupEvents& events) {
  auto popup = std::make_unique<TMsgBox>(id, events, pictures_);
  if (!popup->Create(module_)) return nullptr;
  return popup;
}

MsgBoxes::MsgBoxes(const MsgBoxesArgs& args)
    : host_(args.module),
      board_(PopupBoardArgs{.host = &host_,
                            .lock = args.lock,
                            .main_thread = args.main_thread,
                            .clock = args.clock ? args.clock : &SystemClock(),
                            .japanese = args.japanese,
                            .caption = args.caption}) {
  host_.SetTickHandler([this] { board_.Tick(); });
}

}  // namespace vx::ui::win32
