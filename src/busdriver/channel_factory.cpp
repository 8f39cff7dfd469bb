#include <cstdlib>

#include "busdriver/driver_channel.h"
#include "busdriver/kernel_channel.h"
#include "busdriver/labchannel/lab_client.h"
#include "platform/trace.h"

namespace vx::bus {

std::unique_ptr<DriverChannel> MakeDriverChannel(std::string* why) {
  const char* env = std::getenv("VESSIX_BUS_EMULATOR");
  if (env && *env) {
    auto endpoint = lab::ParseEndpoint(env);
    if (!endpoint) {
      if (why) *why = std::string("VESSIX_BUS_EMULATOR is not host:port: ") + env;
      TraceLine(std::string("VESSIX_BUS_EMULATOR ignored, not host:port : ") + env);
      return nullptr;
    }
    return lab::MakeLabDriverChannel(*endpoint);
  }
  auto kernel = MakeKernelChannel();
  if (!kernel && why) *why = "no bus driver: set VESSIX_BUS_EMULATOR=host:port to reach the lab's emulator";
  return kernel;
}

}  // namespace vx::bus
