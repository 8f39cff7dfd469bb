// The notification popups (`TMsgBox`, `ShowMsgBox`): small borderless windows
// that rise from the bottom right corner of the screen's work area to tell
// the user what the print watchers are doing. At most three are on screen,
// one per slot, stacked from the bottom up.
//
// PopupBoard makes every decision: which slot a popup takes, whether it is
// shown at all (the closed-texts list, a busy popup lock, three popups on
// screen), where it is during its slide and when its close button works.
// The windows are a port (PopupView, made by PopupHost); the slide follows
// the injected clock, driven by the host's slide timer (PopupBoard::Tick).
//
// Threads: ShowMsgBox and CloseMsgBox may be called on any thread; the work
// is handed to the main thread (MainThread::RunSync) and the caller waits
// for it. Everything else runs on the main thread.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/geometry.h"
#include "platform/main_thread.h"
#include "ui/popup_layout.h"
#include "ui/popup_lock.h"

namespace vx::ui {

// What a popup shows when it appears (the show step).
struct PopupShow {
  std::string caption;  // window caption and Label_Caption: the main window's caption
  PopupTexts texts;     // Label1, Label2; Label_Time stays empty
  PopupFonts fonts;
  Point position;  // top-left corner on the screen, below its final place
};

// One popup window. The board calls it on the main thread only.
class PopupView {
 public:
  virtual ~PopupView() = default;
  // Puts the caption, texts and fonts in, places the window at
  // `show.position` with its close button disabled and shows it on top of
  // other windows without taking the focus.
  virtual void Show(const PopupShow& show) = 0;
  // Moves the window and repaints it at once.
  virtual void MoveTo(Point position) = 0;
  virtual void SetCloseEnabled(bool enabled) = 0;
  // Picture 1 of CloseImageList and the mouse captured, or picture 0 and
  // the capture released; repaints the button.
  virtual void SetCloseHighlighted(bool highlighted) = 0;
  // Hides the window. The board destroys the view later, never from inside
  // one of its own events.
  virtual void Hide() = 0;
};

// What a popup window reports, with the id it was created with. Main thread.
class PopupEvents {
 public:
  virtual ~PopupEvents() = default;
  // The pointer moved, in the close button's coordinates.
  virtual void CloseButtonMouseMove(int id, Point in_button) = 0;
  // The window lost the mouse capture without the board asking.
  virtual void CloseButtonCaptureLost(int id) = 0;
  // A click on the close button (`Image_CloseClick`).
  virtual void CloseButtonClick(int id) = 0;
};

// The system side: the work area, new popup windows and the slide timer.
class PopupHost {
 public:
  virtual ~PopupHost() = default;
  // The screen's work area (the screen without the task bar).
  virtual Rect WorkArea() = 0;
  // A new, hidden popup window that reports to `events` as `id`; nullptr
  // when it cannot be made.
  virtual std::unique_ptr<PopupView> CreatePopup(int id, PopupEvents& events) = 0;
  // Runs or stops the timer that calls PopupBoard::Tick (every 5 ms or as
  // often as the system's timers allow).
  virtual void SetSlideTimer(bool running) = 0;
};

struct PopupBoardArgs {
  PopupHost* host = nullptr;
  PopupLock* lock = nullptr;  // the process-wide popup lock
  MainThread* main_thread = nullptr;
  Clock* clock = nullptr;
  bool japanese = true;                  // the interface language (fonts of the show step)
  std::function<std::string()> caption;  // the main window's caption, read at each show
};

class PopupBoard final : public PopupEvents {
 public:
  explicit PopupBoard(PopupBoardArgs args);
  ~PopupBoard() override;
  PopupBoard(const PopupBoard&) = delete;
  PopupBoard& operator=(const PopupBoard&) = delete;

  // Shows a popup with these texts and returns its slot (0..2), or -1 when
  // nothing is shown: the user closed a closable popup with the same texts
  // before, the popup lock is held by another thread, all three slots are
  // taken, or the window could not be made. A popup with the same texts on
  // screen gives its slot and no second popup. Never waits for the lock.
  // The slot is taken at once; the popup then slides up to its place
  // (Tick), and its close button works once it is there. Any thread.
  int ShowMsgBox(const std::string& message, const std::string& details, bool closable);

  // Closes the popup in `slot` (the program's close): waits for the popup
  // lock (pumping), hides the popup and frees the slot. Nothing happens for
  // -1 or an empty slot. Any thread; a thread that holds the popup lock
  // itself must not call it from another thread than the main thread.
  void CloseMsgBox(int slot);

  // Moves every sliding popup to where the clock says it is; a popup that
  // has arrived gets its close button enabled. Stops the slide timer when
  // no popup slides any more. Main thread (the host's timer).
  void Tick();

  // State, for the main thread and for tests.
  bool SlotUsed(int slot) const;
  std::optional<PopupTexts> SlotTexts(int slot) const;
  std::optional<Point> SlotPosition(int slot) const;
  bool Sliding() const;
  bool Sliding(int slot) const;
  const std::vector<PopupTexts>& ClosedTexts() const { return closed_; }

  // PopupEvents.
  void CloseButtonMouseMove(int id, Point in_button) override;
  void CloseButtonCaptureLost(int id) override;
  void CloseButtonClick(int id) override;

 private:
  struct Popup {
    int id = 0;
    std::unique_ptr<PopupView> view;
    PopupTexts texts;
    bool closable = false;
    SlotPlacement place;
    Clock::TimePoint slide_start{};
    int top = 0;
    bool sliding = true;
    bool closing = false;
    CloseButtonHover hover;
  };

  int ShowOnMainThread(const std::string& message, const std::string& details, bool closable);
  void CloseOnMainThread(int slot);
  int SlotOfId(int id) const;
  // Under the lock: frees the slot and hides its popup; the view is kept
  // until the next show (it may be running the event that closes it).
  void Retire(int slot);
  void StopTimerWhenIdle();

  PopupBoardArgs args_;
  std::array<std::unique_ptr<Popup>, kPopupSlots> slots_;
  std::vector<PopupTexts> closed_;
  std::vector<std::unique_ptr<PopupView>> retired_;
  int next_id_ = 1;
  int events_running_ = 0;  // popup events on the stack (their views must live)
  bool timer_running_ = false;
};

}  // namespace vx::ui
