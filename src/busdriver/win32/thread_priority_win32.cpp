#include <windows.h>

#include "busdriver/read_thread.h"

namespace vx::bus {

void RaiseCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }

}  // namespace vx::bus
