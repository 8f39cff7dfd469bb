// The registry of the system this program runs on, for tools that read the
// real store: the Windows registry on Windows, none elsewhere (there, a
// REGEDIT4 file loaded into the in-memory registry stands in).
#pragma once

#include "platform/registry/registry.h"

namespace vx::autoconnect {

// The system's registry, or nullptr where there is none.
Registry* SystemRegistry();

}  // namespace vx::autoconnect
