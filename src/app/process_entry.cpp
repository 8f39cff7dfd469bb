#include "app/process_entry.h"

#include <algorithm>

namespace vx::app {

// Windows come and go while the list is walked; a bound keeps a changing
// Z order from turning the walk into an endless loop.
constexpr int kMaxZOrderSteps = 10000;

void ActivateOtherInstance(InstanceWindows& windows, const std::string& app_title) {
  WindowHandle app = windows.FindApplicationWindow(app_title);
  if (app == 0) return;
  if (windows.IsMinimised(app)) {
    windows.Restore(app);
  } else if (windows.IsVisible(app)) {
    windows.BringToTop(app);
  } else {
    WindowHandle popup = windows.LastActivePopup(app);
    if (popup != 0 && windows.ClassName(popup) == "TMainFm") {
      windows.PostActivate(popup);
    } else {
      WindowHandle w = windows.WindowAbove(app);
      for (int step = 0; w != 0 && step < kMaxZOrderSteps; ++step, w = windows.WindowAbove(w)) {
        if (windows.ClassName(w) == "TMainFm" && windows.Caption(w).find(app_title) != std::string::npos)
          windows.PostActivate(w);
      }
    }
  }
  windows.SetForeground(app);
}

bool HasMiniArgument(std::span<const std::string> args) {
  return std::find(args.begin(), args.end(), kMiniArgument) != args.end();
}

EntryDecision RunProcessEntry(Settings& settings, SingleInstance& instance,
                              std::span<const std::string> args) {
  EntryDecision d;
  d.titles = SettleLanguage(settings);
  d.mini = HasMiniArgument(args);
  const std::string& title = d.titles.app_title;
  if (instance.MutexExists(title)) {
    instance.ClearOwnApplicationCaption();
    instance.ActivateOtherInstance(title);
    return d;  // exit code 0, no window
  }
  if (d.mini && settings.Read(kAutoRunCheckValue) == "0") return d;
  instance.CreateInstanceMutex(title);
  d.run = true;
  return d;
}

}  // namespace vx::app
