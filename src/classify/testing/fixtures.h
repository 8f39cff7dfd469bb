// The device registry fixtures of src/classify/testdata/ (REGEDIT4 text),
// compiled in, for tests that classify against them.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/registry/fake_registry.h"

namespace vx::classify::testing {

struct Fixture {
  std::string_view name;  // "printer.reg", ...
  std::string_view text;
};

const std::vector<Fixture>& Fixtures();

// The text of the fixture `name`; aborts the test program when there is none.
std::string_view FixtureText(std::string_view name);

// Loads the fixtures into `registry`; aborts when one does not parse.
void LoadFixtures(FakeRegistry* registry, std::initializer_list<std::string_view> names);

}  // namespace vx::classify::testing
