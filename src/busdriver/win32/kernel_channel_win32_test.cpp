#include <gtest/gtest.h>

#include "busdriver/kernel_channel.h"
#include "busdriver/operations.h"
#include "platform/trace.h"

namespace vx::bus {
namespace {

// Under Wine no device of the master bus interface class is present: the
// enumeration ends with "no more items" and the program finds no driver.
TEST(KernelChannel, NoDriverPresentGivesNoMasterBus) {
  TraceCapture trace;
  auto channel = MakeKernelChannel();
  ASSERT_TRUE(channel);
  EXPECT_FALSE(GetMasterBus(*channel));
  EXPECT_TRUE(trace.Contains("GetMasterBus() : SetupDiEnumDeviceInterfaces failed : No More Items !"));
  std::shared_ptr<DriverHandle> bus;
  std::string path;
  EXPECT_FALSE(GetTcpBus(*channel, "192.168.0.10", &bus, &path));
  EXPECT_TRUE(trace.Contains("GetTcpBus CreateFile Error: "));
}

}  // namespace
}  // namespace vx::bus
