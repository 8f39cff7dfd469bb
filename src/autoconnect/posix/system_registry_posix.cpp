#include "autoconnect/system_registry.h"

namespace vx::autoconnect {

Registry* SystemRegistry() { return nullptr; }

}  // namespace vx::autoconnect
