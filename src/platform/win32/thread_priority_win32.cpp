#include <windows.h>

#include "platform/worker_thread.h"

namespace vx {

void RaiseCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }

}  // namespace vx
