// Feeds arbitrary texts as the stored layout values (one per line) to the
// main window's start and close, with a fake registry and window. Whatever
// is stored, the start goes on, and what gets written back is well formed:
// only the layout's own values, numbers as decimal text, a valid tool bar
// order, and no top from 3000 on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "app/layout_rules.h"
#include "app/main_presenter.h"
#include "app/main_test_fakes.h"
#include "platform/registry/fake_registry.h"

namespace {

using namespace vx::app;

constexpr std::string_view kNames[] = {kWidthValue,       kHeightValue,         kTopValue,
                                       kLeftValue,        kWindowStateValue,    kTreeHeightValue,
                                       kToolBarOrderValue, kDisconnectTimingValue};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  vx::FakeRegistry reg;
  for (std::string_view name : kNames) {
    size_t nl = input.find('\n');
    std::string_view value = input.substr(0, nl);
    if (value != "-") reg.SetString(vx::RegRoot::kCurrentUser, kSettingsKey, name, value);  // "-": absent
    if (nl == std::string_view::npos) break;
    input.remove_prefix(nl + 1);
  }
  Settings settings(reg);
  testing::FakeMainView view;
  testing::RecordingServices services;
  testing::ScriptedMessages messages;
  testing::FakeClock clock;
  MainPresenter presenter({view, messages, services.Facets(), settings, clock}, TitlesFor("Japanese"), {});
  presenter.Construct();
  Check(!presenter.FormCreate().has_value());
  presenter.FormShow();
  Check(presenter.FormCloseQuery());

  const std::set<std::string_view> allowed(std::begin(kNames), std::end(kNames));
  for (const vx::RegWrite& w : reg.Writes()) {
    if (w.name == kTitleValue) continue;
    Check(allowed.count(w.name) == 1);
    if (w.name == kToolBarOrderValue) {
      Check(ValidToolBarOrder(w.value.data).has_value());
    } else {
      auto n = ParseSettingInt(w.value.data);
      Check(n.has_value());
      if (w.name == kTopValue) Check(*n >= 0 && *n < kMiniTop);
    }
  }
  return 0;
}
