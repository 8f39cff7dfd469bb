#include "autoconnect/auto_connect_entry.h"

#include <gtest/gtest.h>

#include "app/settings_store.h"
#include "platform/registry/fake_registry.h"

namespace vx::autoconnect {
namespace {

constexpr RegRoot kCU = RegRoot::kCurrentUser;
const std::string kBase(app::kSettingsKey);
const std::string kAuto = kBase + "\\Auto-Connect";

AutoConnectInfo Keyed(std::string mac, std::string vid, std::string pid, std::string sno) {
  AutoConnectInfo i;
  i.ServerMAC = std::move(mac);
  i.DeviceVid = std::move(vid);
  i.DevicePid = std::move(pid);
  i.DeviceSNo = std::move(sno);
  return i;
}

AutoConnectInfo Full() {
  AutoConnectInfo i = Keyed("00:80:92:11:22:33", "04B8", "0838", "MX41XYZ");
  i.ServerName = "Office-1F";
  i.ServerIP = "10.77.0.21";
  i.DeviceType = "MFP";
  i.DeviceManufacturer = "Inko";
  i.DeviceProduct = "MX-41 Series";
  i.PrinterEnable = true;
  i.PrinterName = "MX-41 Series(Network)";
  i.PrinterPort = "USB001";
  i.FaxEnable = true;
  i.FaxName = "MX-41 FAX";
  i.FaxPort = "USB002";
  i.ScanIndex = kScanTwain;
  i.ScanNameWIA = "MX-41 (WIA)";
  i.ScanNameTwain = "MX-41 TWAIN";
  i.ScanToTwainEnable = true;
  i.AutoAskUser = false;
  i.Reserve2 = "r2";
  i.Reserve3 = "日本語";
  return i;
}

TEST(EntryKeyName, IsBuiltFromTheTextsAsTheyAre) {
  EXPECT_EQ(EntryKeyName(Keyed("00:80:92:ab:cd:ef", "04b8", "1", "0")),
            "MAC_00:80:92:ab:cd:ef&Vid_04b8&Pid_1&SNo_0");
  // A device without a serial number is stored with "0", which ends the name.
  const std::string name = EntryKeyName(Keyed("M", "04B8", "0001", "0"));
  EXPECT_EQ(name.substr(name.size() - 6), "&SNo_0");
  EXPECT_TRUE(IsStorableKeyName(name));
  EXPECT_FALSE(IsStorableKeyName("MAC_M&Vid_1&Pid_2&SNo_A\\B"));
  EXPECT_FALSE(IsStorableKeyName(std::string(256, 'x')));
}

TEST(WriteDeviceReg, CreatesBothKeysAndWritesAll22ValuesInOrder) {
  FakeRegistry reg;
  ASSERT_TRUE(WriteDeviceReg(reg, kBase, Full()));
  const std::string entry = kAuto + "\\MAC_00:80:92:11:22:33&Vid_04B8&Pid_0838&SNo_MX41XYZ";
  ASSERT_TRUE(reg.KeyExists(kCU, entry));
  const std::vector<RegWrite> writes = reg.Writes();
  ASSERT_EQ(writes.size(), 22u);
  const std::vector<std::string> texts = {"Office-1F",
                                          "10.77.0.21",
                                          "00:80:92:11:22:33",
                                          "04B8",
                                          "0838",
                                          "MX41XYZ",
                                          "MFP",
                                          "Inko",
                                          "MX-41 Series",
                                          "1",
                                          "MX-41 Series(Network)",
                                          "USB001",
                                          "1",
                                          "MX-41 FAX",
                                          "USB002",
                                          "2",
                                          "MX-41 (WIA)",
                                          "MX-41 TWAIN",
                                          "1",
                                          "0",
                                          "r2",
                                          "日本語"};
  for (size_t k = 0; k < writes.size(); ++k) {
    EXPECT_EQ(writes[k].path, entry) << k;
    EXPECT_EQ(writes[k].name, kEntryValueNames[k]) << k;
    EXPECT_EQ(writes[k].value, RegValue::String(texts[k])) << writes[k].name;
  }
}

TEST(ReadDeviceReg, RoundTripsEveryFieldAndFindsTheKeyWithoutRegardToCase) {
  FakeRegistry reg;
  ASSERT_TRUE(WriteDeviceReg(reg, kBase, Full()));
  AutoConnectInfo read = Keyed("00:80:92:11:22:33", "04b8", "0838", "mx41xyz");
  ASSERT_TRUE(ReadDeviceReg(reg, kBase, read));
  EXPECT_EQ(read, Full());  // the key texts come back as stored

  // Zeroed flags and numbers round-trip too.
  AutoConnectInfo off = Full();
  off.PrinterEnable = off.FaxEnable = off.ScanToTwainEnable = false;
  off.AutoAskUser = true;
  off.ScanIndex = kScanWia;
  ASSERT_TRUE(WriteDeviceReg(reg, kBase, off));
  AutoConnectInfo again = Keyed(off.ServerMAC, off.DeviceVid, off.DevicePid, off.DeviceSNo);
  ASSERT_TRUE(ReadDeviceReg(reg, kBase, again));
  EXPECT_EQ(again, off);
}

TEST(ReadDeviceReg, AMissingEntryLeavesTheRecordUnchangedAndCreatesNothing) {
  FakeRegistry reg;
  AutoConnectInfo i = Full();
  EXPECT_FALSE(ReadDeviceReg(reg, kBase, i));
  EXPECT_EQ(i, Full());
  EXPECT_FALSE(reg.KeyExists(kCU, kAuto));
  reg.Create(kCU, kAuto, RegAccess::kAll);
  EXPECT_FALSE(ReadDeviceReg(reg, kBase, i));
  EXPECT_EQ(i, Full());
}

TEST(ReadDeviceReg, ChecksNumbersAndFlagsAndReadsAbsentValuesAsDefaults) {
  FakeRegistry reg;
  const std::string entry = kAuto + "\\MAC_M&Vid_V&Pid_P&SNo_0";
  reg.SetString(kCU, entry, "PrinterEnable", "yes");
  reg.SetString(kCU, entry, "FaxEnable", "2");
  reg.SetString(kCU, entry, "ScanIndex", "3");
  reg.SetString(kCU, entry, "ScanToTwainEnable", " 1");
  reg.SetString(kCU, entry, "AutoAskUser", "01");
  reg.Set(kCU, entry, "PrinterName", RegValue{kRegDword, std::string("\x01\0\0\0", 4)});  // wrong type
  reg.SetString(kCU, entry, "FaxName", "Fax");
  AutoConnectInfo i = Keyed("M", "V", "P", "0");
  i.ServerName = "given";
  i.PrinterEnable = true;
  ASSERT_TRUE(ReadDeviceReg(reg, kBase, i));
  EXPECT_FALSE(i.PrinterEnable);  // "yes" is not a number
  EXPECT_FALSE(i.FaxEnable);      // out of range
  EXPECT_EQ(i.ScanIndex, kScanNone);
  EXPECT_FALSE(i.ScanToTwainEnable);  // decimal text has no blanks
  EXPECT_TRUE(i.AutoAskUser);
  EXPECT_EQ(i.PrinterName, "");  // a value of another type reads as empty
  EXPECT_EQ(i.FaxName, "Fax");
  EXPECT_EQ(i.ServerName, "");  // absent: empty, not the caller's text
  EXPECT_EQ(i.ServerMAC, "");   // absent key values read empty too

  for (auto [text, index] : std::vector<std::pair<std::string, int>>{
           {"1", 1}, {"2", 2}, {"0", 0}, {"-1", 0}, {"", 0}, {"x", 0}, {"99999999999", 0}})
    EXPECT_EQ(ReadScanIndex(text), index) << text;
}

TEST(WriteDeviceReg, FailuresAreReportedAndNothingLandsInANestedKey) {
  FakeRegistry reg;
  AutoConnectInfo odd = Full();
  odd.DeviceSNo = "AB\\CD";  // would be two keys
  EXPECT_FALSE(WriteDeviceReg(reg, kBase, odd));
  EXPECT_TRUE(reg.Writes().empty());
  AutoConnectInfo read = odd;
  EXPECT_FALSE(ReadDeviceReg(reg, kBase, read));

  reg.SetFault([](const RegOperation& op) {
    return op.kind == RegOperation::kCreate && op.path.find("MAC_") != std::string::npos
               ? RegStatus::kAccessDenied
               : RegStatus::kOk;
  });
  EXPECT_FALSE(WriteDeviceReg(reg, kBase, Full()));
  EXPECT_TRUE(reg.KeyExists(kCU, kAuto));  // the auto-connect key was made first

  // One value that cannot be written makes the write fail, the others are still written.
  reg.SetFault([](const RegOperation& op) {
    return op.kind == RegOperation::kWrite && op.name == "FaxName" ? RegStatus::kFailed : RegStatus::kOk;
  });
  reg.ClearWrites();
  EXPECT_FALSE(WriteDeviceReg(reg, kBase, Full()));
  EXPECT_EQ(reg.Writes().size(), 21u);
}

}  // namespace
}  // namespace vx::autoconnect
