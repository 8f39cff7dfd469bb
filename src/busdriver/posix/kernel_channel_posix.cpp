#include "busdriver/kernel_channel.h"

namespace vx::bus {

// No kernel driver outside Windows: only the lab channel reaches a driver.
std::unique_ptr<DriverChannel> MakeKernelChannel() { return nullptr; }

}  // namespace vx::bus
