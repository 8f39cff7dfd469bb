#include "classify/testing/fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vx::classify::testing {

std::string_view FixtureText(std::string_view name) {
  for (const auto& f : Fixtures())
    if (f.name == name) return f.text;
  std::fprintf(stderr, "no registry fixture %.*s\n", static_cast<int>(name.size()), name.data());
  std::abort();
}

void LoadFixtures(FakeRegistry* registry, std::initializer_list<std::string_view> names) {
  for (auto name : names) {
    if (auto error = registry->Load(FixtureText(name))) {
      std::fprintf(stderr, "registry fixture %.*s: %s\n", static_cast<int>(name.size()), name.data(),
                   error->c_str());
      std::abort();
    }
  }
}

}  // namespace vx::classify::testing
