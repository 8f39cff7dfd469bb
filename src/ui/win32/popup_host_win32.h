// The notification popups of the Windows program: the popup host on Win32
// (the work area from SystemParametersInfo, TMsgBox windows, the slide timer)
// and MsgBoxes, which puts the host and the board together. Made on the
// main thread; ShowMsgBox and CloseMsgBox may then be called from any thread.
#pragma once
#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/main_thread.h"
#include "ui/popup_board.h"
#include "ui/popup_lock.h"
#include "ui/win32/msgbox_window.h"
#include "winui/timer.h"

namespace vx::ui::win32 {

class Win32PopupHost final : public PopupHost {
 public:
  // Pictures and templates come from `module` (the program when nullptr).
  explicit Win32PopupHost(HMODULE module = nullptr);
  // What the slide timer runs (PopupBoard::Tick).
  void SetTickHandler(std::function<void()> tick) { timer_.SetHandler(std::move(tick)); }

  // SPI_GETWORKAREA; the whole primary screen when the system does not say.
  Rect WorkArea() override;
  std::unique_ptr<PopupView> CreatePopup(int id, PopupEvents& events) override;
  void SetSlideTimer(bool running) override { timer_.SetEnabled(running); }

  const PopupPictures& Pictures() const { return pictures_; }
  bool SlideTimerRunning() const { return timer_.Enabled(); }

 private:
  HMODULE module_;
  PopupPictures pictures_;
  winui::Timer timer_;
};

struct MsgBoxesArgs {
  PopupLock* lock = nullptr;  // the process-wide popup lock
  MainThread* main_thread = nullptr;
  Clock* clock = nullptr;  // the system clock when nullptr
  bool japanese = true;
  std::function<std::string()> caption;  // the main window's caption
  HMODULE module = nullptr;
};

class MsgBoxes {
 public:
  explicit MsgBoxes(const MsgBoxesArgs& args);

  int ShowMsgBox(const std::string& message, const std::string& details, bool closable) {
    return board_.ShowMsgBox(message, details, closable);
  }
  void CloseMsgBox(int slot) { board_.CloseMsgBox(slot); }

  PopupBoard& board() { return board_; }
  Win32PopupHost& host() { return host_; }

 private:
  Win32PopupHost host_;
  PopupBoard board_;
};

}  // namespace vx::ui::win32
