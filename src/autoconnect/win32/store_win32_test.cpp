// The store over the Windows registry (Wine's in the test prefix), under a
// key of this test's own, removed again at the end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "autoconnect/auto_connect_lists.h"
#include "autoconnect/system_registry.h"
#include "platform/text_codec.h"

namespace vx::autoconnect {
namespace {

class StoreWin32 : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, Widen(base_).c_str()); }
  const std::string base_ = "Software\\VessixTest\\AutoConnect-" + std::to_string(GetCurrentProcessId());
};

TEST_F(StoreWin32, EntriesRoundTripAndLoadWithJapaneseTexts) {
  Registry* registry = SystemRegistry();
  ASSERT_NE(registry, nullptr);
  AutoConnectInfo info;
  info.ServerIP = "10.77.0.21";
  info.ServerMAC = "00:80:92:00:00:21";
  info.DeviceVid = "04B8";
  info.DevicePid = "0001";
  info.DeviceSNo = "0";
  info.DeviceProduct = "複合機";
  info.PrinterEnable = true;
  info.PrinterName = "プリンタ 1";
  info.FaxEnable = true;
  info.FaxName = "FAX 1";
  info.ScanIndex = kScanTwain;
  ASSERT_TRUE(WriteDeviceReg(*registry, base_, info));

  AutoConnectInfo read;
  read.ServerMAC = info.ServerMAC;
  read.DeviceVid = info.DeviceVid;
  read.DevicePid = info.DevicePid;
  read.DeviceSNo = info.DeviceSNo;
  ASSERT_TRUE(ReadDeviceReg(*registry, base_, read));
  EXPECT_EQ(read, info);

  AutoConnectList printers, faxes;
  LoadReport report;
  ReadAutoConnectReg(*registry, base_, printers, faxes, &report);
  EXPECT_EQ(report.keys, 1u);
  ASSERT_EQ(printers.size(), 1u);
  ASSERT_EQ(faxes.size(), 1u);
  EXPECT_EQ(printers[0]->QueueName, "プリンタ 1");

  ASSERT_TRUE(RemoveQueue(*registry, base_, *printers[0]));
  printers.clear();
  faxes.clear();
  ReadAutoConnectReg(*registry, base_, printers, faxes);
  EXPECT_TRUE(printers.empty());
  EXPECT_EQ(faxes.size(), 1u);
}

}  // namespace
}  // namespace vx::autoconnect
