#include "devices/ejection.h"

#include <gtest/gtest.h>

#include "platform/registry/fake_registry.h"
#include "platform/trace.h"

namespace vx::devices {
namespace {

class FakeConfigManager final : public ConfigManager {
 public:
  bool present = true, veto = false;
  std::vector<std::string> located;
  bool Locate(const std::string& id, uint32_t* node) override {
    located.push_back(id);
    *node = 42;
    return present;
  }
  bool RequestEject(uint32_t node) override {
    ejected = node;
    return !veto;
  }
  uint32_t ejected = 0;
};

constexpr const char* kTwoInstances =
    "REGEDIT4\n\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_04bb&Pid_0C1A\\FIRST01]\n\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_04bb&Pid_0C1A\\SECOND2]\n";

struct Ejection : ::testing::Test {
  void SetUp() override { ASSERT_FALSE(reg.Load(kTwoInstances)); }
  FakeRegistry reg;
  FakeConfigManager cm;
};

TEST_F(Ejection, KeyAndInstanceIdFormats) {
  EXPECT_EQ(UsbEnumKeyPath(0xabc, 0xdef), "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0abc&Pid_0DEF\\");
  EXPECT_EQ(DeviceInstanceId(0xabc, 0xdef, "X1"), "USB\\Vid_0abc&Pid_0def\\X1");
}

TEST_F(Ejection, SerialPicksItsInstanceZeroPicksTheFirst) {
  TraceCapture trace;
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "SECOND2"), 0);
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "0"), 0);
  ASSERT_EQ(cm.located.size(), 2u);
  EXPECT_EQ(cm.located[0], "USB\\Vid_04bb&Pid_0c1a\\SECOND2");
  EXPECT_EQ(cm.located[1], "USB\\Vid_04bb&Pid_0c1a\\FIRST01");
  EXPECT_TRUE(trace.Contains("ejectDevice : CM_Request_Device_Eject OK : SECOND2"));
  EXPECT_TRUE(trace.Contains("ejectDevice : USB\\Vid_04bb&Pid_0c1a\\FIRST01"));
}

TEST_F(Ejection, UnknownSerialIsNothingToEjectAndCaseMatters) {
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "OTHER"), 0);
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "second2"), 0);
  EXPECT_TRUE(cm.located.empty());
}

TEST_F(Ejection, CodesForMissingKeyAbsentNodeAndVeto) {
  TraceCapture trace;
  EXPECT_EQ(ejectDevice(reg, cm, 0x1111, 0x2222, "0"), -1);
  EXPECT_TRUE(trace.Contains(
      "ejectDevice : Registry->OpenKey Failed : SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1111&Pid_2222\\"));
  cm.present = false;
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "0"), -2);
  EXPECT_TRUE(
      trace.Contains("ejectDevice : CM_Locate_DevNode Failed : not error : Device not exist?? FIRST01"));
  cm.present = true;
  cm.veto = true;
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "0"), -3);
  EXPECT_TRUE(trace.Contains("ejectDevice : CM_Request_Device_Eject Failed : FIRST01"));
  EXPECT_EQ(cm.ejected, 42u);
}

TEST_F(Ejection, KeyWithoutInstancesOrUnreadableListIsNothingToEject) {
  reg.SetFault([](const RegOperation& op) {
    return op.kind == RegOperation::kEnum ? RegStatus::kAccessDenied : RegStatus::kOk;
  });
  EXPECT_EQ(ejectDevice(reg, cm, 0x04bb, 0x0c1a, "0"), 0);
  EXPECT_TRUE(cm.located.empty());
}

}  // namespace
}  // namespace vx::devices
