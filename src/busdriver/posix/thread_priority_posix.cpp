#include "busdriver/read_thread.h"

namespace vx::bus {

// Natively (tests, the lab) every thread keeps the default priority.
void RaiseCurrentThreadPriority() {}

}  // namespace vx::bus
