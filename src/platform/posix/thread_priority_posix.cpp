#include "platform/worker_thread.h"

namespace vx {

// Natively (tests, the lab, the command-line tool) every thread keeps the
// default priority.
void RaiseCurrentThreadPriority() {}

}  // namespace vx
