// Fakes of the main window's ports for the presenter's tests: a view that
// keeps the state a window would (sizes held to the constraints), a
// recording services port and scripted message boxes.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "app/startup_services.h"
#include "platform/clock.h"

namespace vx::app::testing {

class FakeMainView : public MainView {
 public:
  std::vector<std::string> log;  // tray, show/hide and close events in order
  std::string caption;
  int min_w = 0, min_h = 0, left = 0, top = 0, width = 600, height = 300;
  WindowState state = WindowState::kNormal;
  bool visible = true, designed = false;
  AppIcon app_icon = AppIcon::kMain;
  Rect work{0, 0, 1280, 1024};
  std::map<MainControl, bool> control_visible, control_enabled;
  std::map<ToolBarId, int> bar_width, bar_left;
  std::map<ToolButton, int> button_width;
  std::map<ToolButton, bool> button_visible;
  std::map<ToolButton, std::string> button_caption;
  std::map<MainAction, bool> action_visible;
  std::map<MainAction, std::string> action_caption;
  std::map<MenuItem, bool> item_visible;
  std::map<MenuItem, std::string> item_caption;
  std::map<MainTimer, int> interval;
  std::map<MainTimer, bool> timer;
  int tree_top = 93, tree_height = 250, memo_top = 0, memo_height = 0;
  bool tree_empty = true;
  std::string memo;
  TrayIcon tray;  // what the last add or modify showed

  void SetCaption(const std::string& t) override { caption = t; }
  std::string Caption() const override { return caption; }
  void SetSizeConstraints(int w, int h) override {
    min_w = w, min_h = h;
    SetWidth(width), SetHeight(height);
  }
  int Left() const override { return left; }
  int Top() const override { return top; }
  int Width() const override { return width; }
  int Height() const override { return height; }
  void SetLeft(int v) override { left = v; }
  void SetTop(int v) override { top = v; }
  void SetWidth(int v) override { width = std::max(v, min_w); }
  void SetHeight(int v) override { height = std::max(v, min_h); }
  void SetPositionDesigned() override { designed = true; }
  WindowState GetWindowState() const override { return state; }
  void SetWindowState(WindowState s) override { state = s; }
  bool IsMainWindowVisible() const override { return visible; }
  void ShowMainWindow() override { visible = true, log.push_back("show"); }
  void HideMainWindow() override { visible = false, log.push_back("hide"); }
  void BringToForeground() override { log.push_back("foreground"); }
  void ShowApplicationWindow() override { log.push_back("show app"); }
  void HideApplicationWindow() override { log.push_back("hide app"); }
  void SetApplicationIcon(AppIcon i) override { app_icon = i; }
  void CloseMainWindow() override { log.push_back("close"); }
  Rect WorkArea() const override { return work; }
  int DoubleClickTimeMs() const override { return 500; }
  void SetControlVisible(MainControl c, bool v) override { control_visible[c] = v; }
  bool IsControlVisible(MainControl c) const override {
    auto it = control_visible.find(c);
    return it == control_visible.end() || it->second;
  }
  void SetControlEnabled(MainControl c, bool e) override { control_enabled[c] = e; }
  void SetFillsClientArea(MainControl) override {}
  void SetControlBar(int, int) override {}
  void SetControlPanelSize(int, int) override {}
  void SetToolBarHeights(ToolBarId, int, int) override {}
  int ToolBarWidth(ToolBarId b) const override { return Get(bar_width, b, 0); }
  void SetToolBarWidth(ToolBarId b, int w) override { bar_width[b] = w; }
  int ToolBarLeft(ToolBarId b) const override { return Get(bar_left, b, 0); }
  void SetToolBarLeft(ToolBarId b, int l) override { bar_left[b] = l; }
  int ToolButtonWidth(ToolButton b) const override { return Get(button_width, b, 23); }
  void SetToolButtonWidth(ToolButton b, int w) override { button_width[b] = w; }
  bool IsToolButtonVisible(ToolButton b) const override { return Get(button_visible, b, true); }
  void SetToolButtonVisible(ToolButton b, bool v) override { button_visible[b] = v; }
  void SetToolButtonEnabled(ToolButton, bool) override {}
  void SetToolButtonCaption(ToolButton b, const std::string& t) override { button_caption[b] = t; }
  void SetToolButtonFontCharset(int) override {}
  void SetActionVisible(MainAction a, bool v) override { action_visible[a] = v; }
  void SetActionCaption(MainAction a, const std::string& t) override { action_caption[a] = t; }
  void SetMenuItemVisible(MenuItem m, bool v) override { item_visible[m] = v; }
  void SetMenuItemCaption(MenuItem m, const std::string& t) override { item_caption[m] = t; }
  void SetTreeStyle(bool, int) override {}
  void SetTreeMinHeight(int) override {}
  int TreeTop() const override { return tree_top; }
  int TreeHeight() const override { return tree_height; }
  void SetTreeHeight(int h) override { tree_height = h; }
  bool IsTreeEmpty() const override { return tree_empty; }
  void ClearTreeSelection() override { log.push_back("clear selection"); }
  void SetTreeFont(int, int) override {}
  void SetMemoText(const std::string& t) override { memo = t; }
  void SetMemoPlacement(int t, int h) override { memo_top = t, memo_height = h; }
  void SetMemoReadOnly(bool) override {}
  void SetMemoFontSize(int) override {}
  void SetTimerInterval(MainTimer t, int ms) override { interval[t] = ms; }
  void SetTimerEnabled(MainTimer t, bool e) override { timer[t] = e; }
  bool IsTimerEnabled(MainTimer t) const override { return Get(timer, t, false); }
  void TrayAdd(const TrayIcon& i) override { tray = i, log.push_back("tray add " + i.tip); }
  void TrayModify(const TrayIcon& i) override { tray = i, log.push_back("tray modify " + i.tip); }
  void TrayDelete() override { log.push_back("tray delete"); }
  void ShowTrayMenu() override { log.push_back("tray menu"); }
  void ShowWaitWindow(const std::string& c, const std::string&) override { log.push_back("wait " + c); }
  void HideWaitWindow() override { log.push_back("wait hide"); }
  void RepaintWaitWindow() override { log.push_back("wait repaint"); }
  void CloseWaitWindow() override { log.push_back("wait close"); }

 private:
  template <class M, class K, class V>
  static V Get(const M& m, K k, V fallback) {
    auto it = m.find(k);
    return it == m.end() ? fallback : it->second;
  }
};

// Every start-up facet in one fake, so that one list records the calls of
// all subsystems in their order; answers come from the public fields.
class RecordingServices : public SystemFacet,
                          public OptionsFacet,
                          public AutoConnectFacet,
                          public BusDriverFacet,
                          public DiscoveryFacet,
                          public DevicesFacet {
 public:
  std::vector<std::string> calls;
  bool master_bus = true, language_pack = false, held = false, close_bus_ok = true;
  bool sockets_open = true;
  uint32_t windows_flags = 0;
  DriverVersionText version{"1.0.35", "1.35"};
  // Runs after each recorded call (a nested event during a wait, say).
  std::function<void(const std::string&)> on_call;

  StartupServices Facets() { return {*this, *this, *this, *this, *this, *this}; }

  // SystemFacet
  std::string ExecutablePath() override { return "C:\\Program Files\\VUV\\Vessix.exe"; }
  void SetWorkingDirectory(const std::string& f) override { Record("cd " + f); }
  std::string ComputerName() override { return "PC-ONE"; }
  std::string UserName() override { return "user"; }
  std::string ProgramVersion() override { return "1.0.0"; }
  uint32_t GetWindowsVersion() override { return Record("GetWindowsVersion", windows_flags); }
  void RunRebootCommand() override { Record("RunRebootCommand"); }
  void CreateLocks() override { Record("CreateLocks"); }
  void CloseLocks() override { Record("CloseLocks"); }
  void SetProcessClosing() override { Record("SetProcessClosing"); }
  // OptionsFacet
  bool LoadLanguagePack(int id) override {
    return Record("LoadLanguagePack " + std::to_string(id), language_pack);
  }
  void ReinitializeForms() override { Record("ReinitializeForms"); }
  bool AddFirewallApplication(const std::string& p, const std::string& n) override {
    return Record("AddFirewallApplication " + p + " | " + n, true);
  }
  bool AddFirewallPort(int port, const std::string& n) override {
    return Record("AddFirewallPort " + std::to_string(port) + " | " + n, true);
  }
  // AutoConnectFacet
  void ReadZARiraverIni() override { Record("ReadZARiraverIni"); }
  void ReadAutoConnectEntries() override { Record("ReadAutoConnectEntries"); }
  void StopPrinterWatchers() override { Record("StopPrinterWatchers"); }
  void StopFaxWatchers() override { Record("StopFaxWatchers"); }
  void FreeAutoConnectEntries() override { Record("FreeAutoConnectEntries"); }
  // BusDriverFacet
  bool OpenMasterBus() override { return Record("OpenMasterBus", master_bus); }
  DriverVersionText DriverVersion() override { return Record("DriverVersion", version); }
  void StartEventReader() override { Record("StartEventReader"); }
  void StopEventReader() override { Record("StopEventReader"); }
  bool CloseMasterBus() override { return Record("CloseMasterBus", close_bus_ok); }
  // DiscoveryFacet
  void PortSelfTest() override { Record("PortSelfTest"); }
  bool OpenWorkingSockets() override { return Record("OpenWorkingSockets", sockets_open); }
  bool AnySocketOpen() override { return sockets_open; }
  void StartDiscovery() override { Record("StartDiscovery"); }
  void CloseSocketsAndStopSocketLibrary() override { Record("CloseSocketsAndStopSocketLibrary"); }
  void StopListener() override { Record("StopDiscoveryListener"); }
  // DevicesFacet
  bool AnyDeviceHeldBy(const std::string& name) override { return held && name == "PC-ONE"; }
  void DisconnectAllHeldDevices() override { Record("DisconnectAllHeldDevices"); }
  void DeleteAllTcpBus() override { Record("DeleteAllTcpBus"); }
  void ClearServerTree() override { Record("ClearServerTree"); }

 private:
  void Record(std::string name) { Record(std::move(name), 0); }
  template <class T>
  T Record(std::string name, T result) {
    calls.push_back(name);
    if (on_call) on_call(name);
    return result;
  }
};

struct ShownMessage {
  std::string text, caption;
  MsgButtons buttons;
  MsgIcon icon;
};

class ScriptedMessages : public MessageBoxes {
 public:
  std::vector<ShownMessage> shown;
  std::deque<MsgResult> answers;  // kOk when empty
  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons b, MsgIcon i) override {
    shown.push_back({text, caption, b, i});
    if (answers.empty()) return MsgResult::kOk;
    MsgResult r = answers.front();
    answers.pop_front();
    return r;
  }
};

// Time stands still; sleeps are counted.
class FakeClock : public Clock {
 public:
  std::vector<Duration> sleeps;
  TimePoint Now() const override { return TimePoint{}; }
  LocalTime LocalNow() const override { return {}; }
  int64_t WallSeconds() const override { return 0; }
  void SleepFor(Duration d) override { sleeps.push_back(d); }
};

}  // namespace vx::app::testing
