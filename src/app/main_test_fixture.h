// A main-window presenter wired to fakes, for the presenter's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/main_presenter.h"
#include "app/main_test_fakes.h"
#include "platform/registry/fake_registry.h"

namespace vx::app::testing {

class PresenterTest : public ::testing::Test {
 protected:
  static constexpr RegRoot kCU = RegRoot::kCurrentUser;
  static constexpr RegRoot kLM = RegRoot::kLocalMachine;
  inline static const std::string kKey{kSettingsKey};

  void Make(std::string language = "Japanese", std::vector<std::string> args = {}) {
    presenter_ = std::make_unique<MainPresenter>(
        MainPresenter::Ports{view_, messages_, services_.Facets(), settings_, clock_}, TitlesFor(language),
        args);
    presenter_->Construct();
  }
  // Builds the presenter and runs its creation handler.
  std::optional<int> Create(std::string language = "Japanese", std::vector<std::string> args = {}) {
    Make(std::move(language), std::move(args));
    return presenter_->FormCreate();
  }
  std::optional<std::string> Value(std::string_view name) const { return reg_.GetString(kCU, kKey, name); }
  void Store(std::string_view name, std::string_view text) { reg_.SetString(kCU, kKey, name, text); }
  std::vector<std::string> WrittenNames() const {
    std::vector<std::string> names;
    for (const auto& w : reg_.Writes()) names.push_back(w.name);
    return names;
  }

  FakeRegistry reg_;
  Settings settings_{reg_};
  FakeMainView view_;
  RecordingServices services_;
  ScriptedMessages messages_;
  FakeClock clock_;
  std::unique_ptr<MainPresenter> presenter_;
};

}  // namespace vx::app::testing
