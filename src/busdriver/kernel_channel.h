// The kernel channel: the real driver reached through SetupAPI, CreateFile,
// DeviceIoControl and overlapped ReadFile. Natively there is none.
#pragma once

#include <memory>

#include "busdriver/driver_channel.h"

namespace vx::bus {

std::unique_ptr<DriverChannel> MakeKernelChannel();

}  // namespace vx::bus
