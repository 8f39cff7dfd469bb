#include <windows.h>
// windows.h first
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "busdriver/kernel_channel.h"
#include "busdriver/operations.h"
#include "busdriver/win32/kernel_handle.h"
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

// A named pipe stands in for the master bus: the listen request is an IOCTL
// that the pipe holds until a client connects, like a driver call that takes
// its time. The program does not serialise its calls: Abort and Close must
// not wait behind it.
TEST(KernelChannel, AbortAndCloseDoNotWaitBehindACallHeldInTheDriver) {
  using namespace std::chrono_literals;
  constexpr uint32_t kPipeListen = 0x110008;  // FSCTL_PIPE_LISTEN
  std::wstring name = L"\\\\.\\pipe\\vx-kernel-handle-" + std::to_wstring(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
  auto master = WrapKernelHandle(pipe, true);

  std::atomic<bool> entering{false};
  auto held = std::async(std::launch::async, [&] {
    std::vector<uint8_t> none(4, 0);
    entering = true;
    return master->Ioctl(kPipeListen, none, 0);
  });
  while (!entering) std::this_thread::yield();
  ASSERT_EQ(held.wait_for(100ms), std::future_status::timeout) << "the pipe should hold the listen call";

  auto abort = std::async(std::launch::async, [&] { return Abort(*master); });
  ASSERT_EQ(abort.wait_for(5s), std::future_status::ready) << "Abort waited behind the held call";
  abort.get();  // a pipe does not know the code: the result does not matter, only that it came back
  EXPECT_EQ(held.wait_for(0ms), std::future_status::timeout) << "the held call is still in the driver";

  auto close = std::async(std::launch::async, [&] { return master->Close(); });
  ASSERT_EQ(close.wait_for(5s), std::future_status::ready) << "Close waited behind the held call";
  EXPECT_TRUE(close.get());
  ASSERT_EQ(held.wait_for(5s), std::future_status::ready) << "Close cancels the call in flight";
  EXPECT_FALSE(held.get().ok);
  std::vector<uint8_t> buf(64, 0);
  EXPECT_EQ(master->Ioctl(kIoctlAbort, buf, 64).last_error, kErrorInvalidHandle) << "closed";
}

}  // namespace
}  // namespace vx::bus
