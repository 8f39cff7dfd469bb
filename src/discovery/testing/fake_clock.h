// Discovery tests use the one fake clock of the project.
#pragma once

#include "platform/testing/fake_clock.h"

namespace vx::discovery::testing {

using FakeClock = ::vx::testing::FakeClock;

}  // namespace vx::discovery::testing
