// Fakes of the main window's ports for the presenter's tests: a view that
// keeps the state a window would (sizes held to the constraints), a
// recording services port and scripted message boxes.
#pragma once

#include <algorithm>
#include <deque>
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
  void TrayAdd(const TrayIcon& i) override { log.push_back("tray add " + i.tip); }
  void TrayModify(const TrayIcon& i) override { log.push_back("tray modify " + i.tip); }
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

// Records each named call; answers come from the public fields.
class RecordingServices : public StartupServices {
 public:
  std::vector<std::string> calls;
  bool master_bus = true, language_pack = false, held = false, close_bus_ok = true, port_used = false;
  std::deque<bool> open_results;  // answers of OpenDiscoverySockets in turn; true when empty
  uint32_t windows_flags = 0;
  DriverVersionText version{"1.0.35", "1.35"};

  std::string ExecutablePath() override { return "C:\\Program Files\\VUV\\Vessix.exe"; }
  void SetWorkingDirectory(const std::string& f) override { calls.push_back("cd " + f); }
  std::string ComputerName() override { return "PC-ONE"; }
  std::string UserName() override { return "user"; }
  std::string ProgramVersion() override { return "1.0.0"; }
  void ReadZARiraverIni() override { calls.push_back("ReadZARiraverIni"); }
  bool LoadLanguagePack(int id) override {
    calls.push_back("LoadLanguagePack " + std::to_string(id));
    return language_pack;
  }
  void ReinitializeForms() override { calls.push_back("ReinitializeForms"); }
  void CreateLocks() override { calls.push_back("CreateLocks"); }
  void ReadAutoConnectEntries() override { calls.push_back("ReadAutoConnectEntries"); }
  bool OpenMasterBus() override { return Call("OpenMasterBus", master_bus); }
  DriverVersionText DriverVersion() override { return calls.push_back("DriverVersion"), version; }
  uint32_t GetWindowsVersion() override { return calls.push_back("GetWindowsVersion"), windows_flags; }
  void RunRebootCommand() override { calls.push_back("RunRebootCommand"); }
  bool AddFirewallApplication(const std::string& p, const std::string& n) override {
    return Call("AddFirewallApplication " + p + " | " + n, true);
  }
  bool AddFirewallPort(int port, const std::string& n) override {
    return Call("AddFirewallPort " + std::to_string(port) + " | " + n, true);
  }
  void EnumerateAdapters() override { calls.push_back("EnumerateAdapters"); }
  bool OpenDiscoverySockets(bool ephemeral) override {
    bool ok = open_results.empty() ? true : open_results.front();
    if (!open_results.empty()) open_results.pop_front();
    return Call(ephemeral ? "OpenDiscoverySockets ephemeral" : "OpenDiscoverySockets", ok);
  }
  bool CheckUDPSocket() override { return Call("CheckUDPSocket", true); }
  bool CheckTCPSocket() override { return Call("CheckTCPSocket", true); }
  bool CheckUDPPort(int) override { return Call("CheckUDPPort", port_used); }
  void CloseDiscoverySockets() override { calls.push_back("CloseDiscoverySockets"); }
  bool AnyDiscoverySocketOpen() override { return sockets_open; }
  void StartDiscovery() override { calls.push_back("StartDiscovery"); }
  void StartEventReader() override { calls.push_back("StartEventReader"); }
  bool AnyDeviceHeldBy(const std::string& name) override { return held && name == "PC-ONE"; }
  void SetProcessClosing() override { calls.push_back("SetProcessClosing"); }
  void DisconnectAllHeldDevices() override { calls.push_back("DisconnectAllHeldDevices"); }
  void CloseSocketsAndStopSocketLibrary() override { calls.push_back("CloseSocketsAndStopSocketLibrary"); }
  void StopDiscoveryListener() override { calls.push_back("StopDiscoveryListener"); }
  void StopEventReader() override { calls.push_back("StopEventReader"); }
  void StopPrinterWatchers() override { calls.push_back("StopPrinterWatchers"); }
  void StopFaxWatchers() override { calls.push_back("StopFaxWatchers"); }
  void FreeAutoConnectEntries() override { calls.push_back("FreeAutoConnectEntries"); }
  void CloseLocks() override { calls.push_back("CloseLocks"); }
  void DeleteAllTcpBus() override { calls.push_back("DeleteAllTcpBus"); }
  void ClearServerTree() override { calls.push_back("ClearServerTree"); }
  bool CloseMasterBus() override { return Call("CloseMasterBus", close_bus_ok); }

  bool sockets_open = true;

 private:
  bool Call(std::string name, bool result) {
    calls.push_back(std::move(name));
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
