// The Windows ejector over the real registry and configuration manager. Under
// Wine the configuration manager locates no device, so a registered instance
// gives "not present" (-2); the codes of a real eject are the fakes' to test.
#include <gtest/gtest.h>

#include "devices/computer_name.h"
#include "devices/ejection.h"
#include "platform/registry/win32/registry_win32.h"

namespace vx::devices {
namespace {

TEST(SystemEjectorWin32, NoKeyRegisteredInstanceAndUnknownSerial) {
  auto ejector = MakeSystemEjector();
  EXPECT_EQ(ejector->Eject(0x1d6b, 0xfff1, "0"), kEjectNoKey);
  std::string path = UsbEnumKeyPath(0x1d6b, 0xfff2);
  RegOpen created = Win32Registry().Create(RegRoot::kLocalMachine,
                                           path.substr(0, path.size() - 1) + "\\VXTEST1", RegAccess::kAll);
  ASSERT_EQ(created.status, RegStatus::kOk);
  int r = ejector->Eject(0x1d6b, 0xfff2, "VXTEST1");
  EXPECT_TRUE(r == kEjectNotPresent || r == kEjectOk) << r;
  EXPECT_EQ(ejector->Eject(0x1d6b, 0xfff2, "OTHER"), kEjectOk);
}

TEST(ComputerNameWin32, IsNotEmpty) { EXPECT_FALSE(ComputerName().empty()); }

}  // namespace
}  // namespace vx::devices
