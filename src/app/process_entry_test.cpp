#include "app/process_entry.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/registry/fake_registry.h"

namespace vx::app {
namespace {

constexpr RegRoot kCU = RegRoot::kCurrentUser;
constexpr RegRoot kLM = RegRoot::kLocalMachine;
const std::string kKey(kSettingsKey);

TEST(Language, EveryStartWritesJapaneseAndRunsInIt) {
  FakeRegistry reg;
  reg.SetString(kCU, kKey, "Language", "German");
  Settings settings(reg);
  LanguageState s = SettleLanguage(settings);
  EXPECT_EQ(s.language, "Japanese");
  EXPECT_EQ(s.title_text, "Vessix");
  EXPECT_EQ(s.app_title, "Vessix");
  ASSERT_EQ(reg.Writes().size(), 1u);  // nothing else, HKLM untouched
  EXPECT_EQ(reg.Writes()[0].root, kCU);
  EXPECT_EQ(reg.Writes()[0].value, RegValue::String("Japanese"));
}

// When the HKCU write fails, what HKCU and HKLM hold decides.
TEST(Language, FallbacksWhenTheUserWriteFails) {
  struct Case {
    const char* user;     // HKCU "Language" (nullptr: absent)
    const char* machine;  // HKLM "Language"
    const char* language;
    bool machine_write;  // "English" written to HKLM
  } cases[] = {
      {"German", nullptr, "German", false},
      {"Turkish", nullptr, "Turkish", false},  // HKCU-only names count in HKCU
      {"Portuguese (Brazilian)", nullptr, "Portuguese (Brazilian)", false},
      {"japanese", "French", "English", false},  // exact case only
      {nullptr, "German", "English", false},     // HKLM is a check, never the result
      {"", "Turkish", "English", true},          // not one of the 24
      {"Klingon", nullptr, "English", true},
      {nullptr, "", "English", true},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    if (c.user) reg.SetString(kCU, kKey, "Language", c.user);
    if (c.machine) reg.SetString(kLM, kKey, "Language", c.machine);
    reg.SetFault([](const RegOperation& op) {
      return op.kind == RegOperation::kWrite && op.root == RegRoot::kCurrentUser ? RegStatus::kFailed
                                                                                 : RegStatus::kOk;
    });
    Settings settings(reg);
    LanguageState s = SettleLanguage(settings);
    SCOPED_TRACE(c.user ? c.user : "(absent)");
    EXPECT_EQ(s.language, c.language);
    EXPECT_EQ(s.title_text, "");
    EXPECT_EQ(s.app_title, "Vessix");  // never an unnamed mutex
    EXPECT_EQ(reg.GetString(kLM, kKey, "Language") == std::optional<std::string>("English"), c.machine_write);
  }
  EXPECT_EQ(LocaleIdOf("Japanese"), 1041);
  EXPECT_EQ(LocaleIdOf("Chinese Simplified"), 2052);
  EXPECT_EQ(LocaleIdOf("Turkish"), 1033);
  EXPECT_EQ(Languages().size(), 26u);
}

class FakeInstance : public SingleInstance {
 public:
  bool exists = false;
  std::vector<std::string> calls;
  bool MutexExists(const std::string& n) override { return calls.push_back("exists " + n), exists; }
  void ClearOwnApplicationCaption() override { calls.push_back("clear caption"); }
  void ActivateOtherInstance(const std::string& t) override { calls.push_back("activate " + t); }
  void CreateInstanceMutex(const std::string& n) override { calls.push_back("create " + n); }
};

TEST(ProcessEntry, SecondInstanceActivatesTheFirstAndEnds) {
  FakeRegistry reg;
  Settings settings(reg);
  FakeInstance instance;
  instance.exists = true;
  EntryDecision d = RunProcessEntry(settings, instance, {});
  EXPECT_FALSE(d.run);
  EXPECT_EQ(d.exit_code, 0);
  EXPECT_EQ(instance.calls, (std::vector<std::string>{"exists Vessix", "clear caption", "activate Vessix"}));
}

TEST(ProcessEntry, MiniEndsAtOnceOnlyWhenAutoRunIsExactlyZero) {
  struct Case {
    std::vector<std::string> args;
    const char* autorun;
    bool run;
  } cases[] = {
      {{"-mini"}, "0", false}, {{"x", "-mini"}, "0", false},
      {{"-mini"}, "1", true},  {{"-mini"}, nullptr, true},
      {{"-mini"}, "", true},   {{"-mini"}, " 0", true},
      {{"-MINI"}, "0", true},  {{}, "0", true},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    if (c.autorun) reg.SetString(kCU, kKey, "AutoRun Check", c.autorun);
    Settings settings(reg);
    FakeInstance instance;
    EntryDecision d = RunProcessEntry(settings, instance, c.args);
    EXPECT_EQ(d.run, c.run) << (c.autorun ? c.autorun : "(absent)");
    EXPECT_EQ(d.exit_code, 0);
    EXPECT_EQ(instance.calls.back() == "create Vessix", c.run);
    EXPECT_FALSE(reg.Get(kCU, kKey, "AutoRun Check") && !c.autorun);  // never written here
  }
}

// A small window system: windows with class, caption and state, in Z order.
class FakeWindows : public InstanceWindows {
 public:
  struct W {
    std::string cls, caption;
    bool minimised = false, visible = false;
    WindowHandle popup = 0;
  };
  std::map<WindowHandle, W> windows;
  std::vector<WindowHandle> z;  // top first
  std::vector<std::string> calls;

  WindowHandle FindApplicationWindow(const std::string& title) override {
    for (auto& [h, w] : windows)
      if (w.cls == "TApplication" && w.caption == title) return h;
    return 0;
  }
  bool IsMinimised(WindowHandle h) override { return windows[h].minimised; }
  bool IsVisible(WindowHandle h) override { return windows[h].visible; }
  void Restore(WindowHandle h) override { calls.push_back("restore " + std::to_string(h)); }
  void BringToTop(WindowHandle h) override { calls.push_back("top " + std::to_string(h)); }
  WindowHandle LastActivePopup(WindowHandle h) override { return windows[h].popup ? windows[h].popup : h; }
  std::string ClassName(WindowHandle h) override { return windows[h].cls; }
  std::string Caption(WindowHandle h) override { return windows[h].caption; }
  WindowHandle WindowAbove(WindowHandle h) override {
    auto it = std::find(z.begin(), z.end(), h);
    return it == z.end() || it == z.begin() ? 0 : *(it - 1);
  }
  void PostActivate(WindowHandle h) override { calls.push_back("post " + std::to_string(h)); }
  void SetForeground(WindowHandle h) override { calls.push_back("foreground " + std::to_string(h)); }
};

TEST(ActivateOtherInstance, ShowsTheFirstInstanceWhereverItHides) {
  FakeWindows w;
  w.windows = {{1, {"TApplication", "Vessix"}},
               {2, {"TMainFm", "Vessix"}},
               {3, {"TMainFm", "Other"}},
               {4, {"Notepad", "Vessix"}},
               {5, {"TMainFm", "Vessix - 検索... /"}}};
  w.z = {5, 4, 3, 2, 1};
  ActivateOtherInstance(w, "Vessix");  // hidden in the tray, no pop-up: walk up the Z order
  EXPECT_EQ(w.calls, (std::vector<std::string>{"post 2", "post 5", "foreground 1"}));

  w.calls.clear();
  w.windows[1].popup = 2;  // the main window is the last active pop-up
  ActivateOtherInstance(w, "Vessix");
  EXPECT_EQ(w.calls, (std::vector<std::string>{"post 2", "foreground 1"}));

  w.calls.clear();
  w.windows[1].visible = true;
  ActivateOtherInstance(w, "Vessix");
  EXPECT_EQ(w.calls, (std::vector<std::string>{"top 1", "foreground 1"}));

  w.calls.clear();
  w.windows[1].minimised = true;
  ActivateOtherInstance(w, "Vessix");
  EXPECT_EQ(w.calls, (std::vector<std::string>{"restore 1", "foreground 1"}));

  w.calls.clear();
  ActivateOtherInstance(w, "Nobody");
  EXPECT_TRUE(w.calls.empty());
}

}  // namespace
}  // namespace vx::app
