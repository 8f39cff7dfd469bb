#include "autoconnect/auto_connect_lists.h"

#include <gtest/gtest.h>

#include "app/settings_store.h"
#include "autoconnect/auto_connect_store.h"
#include "platform/registry/fake_registry.h"

namespace vx::autoconnect {
namespace {

constexpr RegRoot kCU = RegRoot::kCurrentUser;
const std::string kBase(app::kSettingsKey);
const std::string kAuto = kBase + "\\Auto-Connect";

AutoConnectInfo Entry(std::string ip, std::string maker, std::string product, std::string sno,
                      std::string printer, std::string fax = "") {
  AutoConnectInfo i;
  i.ServerName = "uds";
  i.ServerIP = std::move(ip);
  i.ServerMAC = "00:80:92:00:00:21";
  i.DeviceVid = "04B8";
  i.DevicePid = "0001";
  i.DeviceSNo = std::move(sno);
  i.DeviceType = "PRINTER";
  i.DeviceManufacturer = std::move(maker);
  i.DeviceProduct = std::move(product);
  i.PrinterEnable = !printer.empty();
  i.PrinterName = std::move(printer);
  i.PrinterPort = "USB001";
  i.FaxEnable = !fax.empty();
  i.FaxName = std::move(fax);
  i.FaxPort = "USB002";
  return i;
}

std::vector<std::string> Queues(const AutoConnectList& list) {
  std::vector<std::string> out;
  for (const auto& e : list) out.push_back(e->QueueName);
  return out;
}

struct Load : ::testing::Test {
  FakeRegistry reg;
  AutoConnectStore store{reg, kBase};
  LoadReport report;

  void Write(const AutoConnectInfo& i) { ASSERT_TRUE(WriteDeviceReg(reg, kBase, i)); }
  void LoadAll() { store.ReadAutoConnectReg(&report); }
  std::vector<std::pair<std::string, SkipReason>> Skipped() const {
    std::vector<std::pair<std::string, SkipReason>> out;
    for (const auto& s : report.skipped) out.emplace_back(s.key, s.reason);
    return out;
  }
};

TEST_F(Load, AnEntryWithBothFunctionsGivesOneElementInEachList) {
  Write(Entry("10.0.0.5", "Acme", "MF 1", "S1", "MF 1 Printer", "MF 1 Fax"));
  LoadAll();
  ASSERT_EQ(store.ACPrinterList.size(), 1u);
  ASSERT_EQ(store.ACFaxList.size(), 1u);
  const AutoConnectPrinter& p = *store.ACPrinterList[0];
  EXPECT_EQ(p.QueueName, "MF 1 Printer");
  EXPECT_EQ(p.QueuePort, "USB001");
  EXPECT_EQ(p.Kind, "Printer");
  EXPECT_EQ(p.Status, "Empty");
  EXPECT_EQ(p.Enabled, "Used");
  EXPECT_EQ(p.ServerName, "uds");
  EXPECT_EQ(p.DeviceType, "PRINTER");
  EXPECT_EQ(p.Identity(), "04B8 - 0001 - S1");
  EXPECT_FALSE(p.Watcher);
  const AutoConnectPrinter& f = *store.ACFaxList[0];
  EXPECT_EQ(f.QueueName, "MF 1 Fax");
  EXPECT_EQ(f.QueuePort, "USB002");
  EXPECT_EQ(f.Kind, "Fax");
  EXPECT_EQ(f.Status, "");
  EXPECT_EQ(f.Enabled, "Used");
  EXPECT_TRUE(report.skipped.empty());
}

TEST_F(Load, SkipsMismatchedNamesEntriesWithoutQueuesAndDisabledFunctions) {
  Write(Entry("10.0.0.5", "Acme", "Good", "S1", "Good"));
  // Copied by hand under another server's name: its values name another key.
  AutoConnectInfo moved = Entry("10.0.0.5", "Acme", "Moved", "S2", "Moved");
  Write(moved);
  reg.SetString(kCU, kAuto + "\\MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_S2", "ServerMAC",
                "00:80:92:00:00:99");
  // The name in other letters is not identical to the name built from the values.
  reg.SetString(kCU, kAuto + "\\mac_00:80:92:00:00:21&vid_04B8&Pid_0001&SNo_S3", "PrinterName", "x");
  // No markers at all.
  reg.SetString(kCU, kAuto + "\\Something", "PrinterName", "x");
  Write(Entry("10.0.0.5", "Acme", "NoQueue", "S4", ""));
  AutoConnectInfo off = Entry("10.0.0.5", "Acme", "Off", "S5", "Off");
  off.PrinterEnable = false;
  Write(off);
  AutoConnectInfo yes = Entry("10.0.0.5", "Acme", "Yes", "S6", "Yes");
  Write(yes);
  reg.SetString(kCU, kAuto + "\\" + EntryKeyName(yes), "PrinterEnable", "yes");
  LoadAll();
  EXPECT_EQ(Queues(store.ACPrinterList), std::vector<std::string>{"Good"});
  EXPECT_TRUE(store.ACFaxList.empty());
  EXPECT_EQ(report.keys, 7u);
  EXPECT_EQ(Skipped(), (std::vector<std::pair<std::string, SkipReason>>{
                           {"MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_S2", SkipReason::kNameMismatch},
                           {"mac_00:80:92:00:00:21&vid_04B8&Pid_0001&SNo_S3", SkipReason::kNameMismatch},
                           {"MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_S4", SkipReason::kNoQueue},
                           {"MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_S5", SkipReason::kNotEnabled},
                           {"MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_S6", SkipReason::kNotEnabled},
                           {"Something", SkipReason::kNameMismatch}}));
  // Skipped entries stay in the registry untouched.
  EXPECT_EQ(reg.GetString(kCU, kAuto + "\\Something", "PrinterName"), "x");
}

TEST_F(Load, ASerialNumberZeroIsAnOrdinaryKeyPart) {
  Write(Entry("10.0.0.5", "Acme", "P", "0", "No serial"));
  ASSERT_TRUE(reg.KeyExists(kCU, kAuto + "\\MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_0"));
  LoadAll();
  ASSERT_EQ(store.ACPrinterList.size(), 1u);
  std::string name;
  EXPECT_EQ(store.FindAutoConnectEntry("00:80:92:00:00:21", "04B8 - 0001 - 0", true, &name), 0);
  EXPECT_EQ(name, "No serial");
}

TEST_F(Load, ListsAreSortedByAddressMakerAndProductIgnoringCase) {
  Write(Entry("10.0.0.9", "acme", "B", "1", "q1", "f1"));
  Write(Entry("10.0.0.10", "Zeta", "A", "2", "q2", "f2"));
  Write(Entry("10.0.0.9", "ACME", "a", "3", "q3"));
  Write(Entry("10.0.0.9", "Beta", "A", "4", "q4", "f4"));
  Write(Entry("10.0.0.9", "Acme", "A", "5", "q5"));  // equal keys to "3": stays after it
  LoadAll();
  // As text, "10.0.0.10" sorts before "10.0.0.9".
  EXPECT_EQ(Queues(store.ACPrinterList), (std::vector<std::string>{"q2", "q3", "q5", "q1", "q4"}));
  EXPECT_EQ(Queues(store.ACFaxList), (std::vector<std::string>{"f2", "f1", "f4"}));

  // An element added later finds its place and its index is returned.
  auto e = MakeElement(Entry("10.0.0.1", "X", "Y", "6", "q6"), false);
  const AutoConnectPrinter* added = e.get();
  EXPECT_EQ(AddToList(store.ACPrinterList, std::move(e)), 0);
  EXPECT_EQ(store.ACPrinterList[0].get(), added);
}

TEST_F(Load, AnUnreadableEntryCostsOnlyItself) {
  Write(Entry("10.0.0.5", "Acme", "A", "1", "first"));
  Write(Entry("10.0.0.5", "Acme", "B", "2", "refused"));
  Write(Entry("10.0.0.5", "Acme", "C", "3", "third"));
  reg.SetFault([](const RegOperation& op) {
    return op.kind == RegOperation::kOpen && op.path.ends_with("&SNo_2") ? RegStatus::kAccessDenied
                                                                         : RegStatus::kOk;
  });
  LoadAll();
  EXPECT_EQ(Queues(store.ACPrinterList), (std::vector<std::string>{"first", "third"}));
  EXPECT_EQ(Skipped(), (std::vector<std::pair<std::string, SkipReason>>{
                           {"MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_2", SkipReason::kUnreadable}}));
}

TEST_F(Load, TheAutoConnectKeyIsCreatedWhenMissingAndALoadStartsAfresh) {
  LoadAll();
  EXPECT_TRUE(reg.KeyExists(kCU, kAuto));
  EXPECT_TRUE(report.key_opened);
  EXPECT_TRUE(store.ACPrinterList.empty());

  Write(Entry("10.0.0.5", "Acme", "A", "1", "q"));
  LoadAll();
  LoadAll();
  EXPECT_EQ(store.ACPrinterList.size(), 1u);

  // Not even readable: nothing, and no failure.
  FakeRegistry denied;
  denied.SetFault([](const RegOperation&) { return RegStatus::kAccessDenied; });
  AutoConnectStore none(denied, kBase);
  none.ReadAutoConnectReg(&report);
  EXPECT_FALSE(report.key_opened);
  EXPECT_TRUE(none.ACPrinterList.empty());
}

TEST_F(Load, FindMatchesMacAndIdentityExactly) {
  Write(Entry("10.0.0.5", "Acme", "A", "S1", "q1", "fax1"));
  Write(Entry("10.0.0.6", "Acme", "B", "S2", "q2"));
  LoadAll();
  std::string name = "stale";
  EXPECT_EQ(store.FindAutoConnectEntry("00:80:92:00:00:21", "04B8 - 0001 - S2", true, &name), 1);
  EXPECT_EQ(name, "q2");
  EXPECT_EQ(store.FindAutoConnectEntry("00:80:92:00:00:21", "04B8 - 0001 - S1", false, &name), 0);
  EXPECT_EQ(name, "fax1");
  EXPECT_EQ(store.FindAutoConnectEntry("00:80:92:00:00:21", "04B8 - 0001 - S2", false, &name), -1);
  EXPECT_EQ(name, "");
  name = "stale";
  EXPECT_EQ(store.FindAutoConnectEntry("00:80:92:00:00:21", "04b8 - 0001 - S1", true, &name), -1);
  EXPECT_EQ(name, "");
  EXPECT_EQ(store.FindAutoConnectEntry("00:80:92:00:00:22", "04B8 - 0001 - S1", true, nullptr), -1);
}

TEST(RegisterAndRemove, RemovingThePrinterKeepsTheFaxAndEveryOtherValue) {
  FakeRegistry reg;
  AutoConnectInfo stored = Entry("10.0.0.5", "Acme", "MF", "S1", "", "MF Fax");
  stored.ScanIndex = kScanWia;
  stored.ScanNameWIA = "MF WIA";
  stored.Reserve2 = "kept";
  ASSERT_TRUE(WriteDeviceReg(reg, kBase, stored));

  auto printer = MakeElement(Entry("10.0.0.7", "Acme", "MF 2", "S1", "MF Printer"), false);
  printer->DeviceType = "MFP";
  ASSERT_TRUE(RegisterQueue(reg, kBase, *printer));
  AutoConnectInfo after = Entry("", "", "", "S1", "");
  ASSERT_TRUE(ReadDeviceReg(reg, kBase, after));
  EXPECT_TRUE(after.PrinterEnable);
  EXPECT_EQ(after.PrinterName, "MF Printer");
  EXPECT_EQ(after.DeviceType, "MFP");
  EXPECT_EQ(after.DeviceProduct, "MF 2");
  EXPECT_EQ(after.ServerIP, "10.0.0.5");  // the stored address is kept
  EXPECT_TRUE(after.FaxEnable);
  EXPECT_EQ(after.FaxName, "MF Fax");
  EXPECT_EQ(after.ScanIndex, kScanWia);
  EXPECT_EQ(after.Reserve2, "kept");

  AutoConnectStore store(reg, kBase);
  store.ReadAutoConnectReg();
  ASSERT_EQ(store.ACPrinterList.size(), 1u);
  ASSERT_EQ(store.ACFaxList.size(), 1u);

  ASSERT_TRUE(RemoveQueue(reg, kBase, *store.ACPrinterList[0]));
  AutoConnectInfo removed = Entry("", "", "", "S1", "");
  ASSERT_TRUE(ReadDeviceReg(reg, kBase, removed));
  AutoConnectInfo expected = after;
  expected.PrinterEnable = false;
  EXPECT_EQ(removed, expected);  // only the flag changed; the key and the names stay
  store.ReadAutoConnectReg();
  EXPECT_TRUE(store.ACPrinterList.empty());
  ASSERT_EQ(store.ACFaxList.size(), 1u);
  EXPECT_EQ(store.ACFaxList[0]->QueueName, "MF Fax");
}

TEST(RegisterAndRemove, ANewDeviceStartsZeroedAndRemovingWithoutAnEntryWritesNothing) {
  FakeRegistry reg;
  auto fax = MakeElement(Entry("10.0.0.5", "Acme", "MF", "S9", "", "Fax 9"), true);
  EXPECT_FALSE(RemoveQueue(reg, kBase, *fax));
  EXPECT_TRUE(reg.Writes().empty());
  ASSERT_TRUE(RegisterQueue(reg, kBase, *fax));
  AutoConnectInfo read = Entry("", "", "", "S9", "");
  ASSERT_TRUE(ReadDeviceReg(reg, kBase, read));
  EXPECT_FALSE(read.PrinterEnable);
  EXPECT_EQ(read.PrinterName, "");
  EXPECT_TRUE(read.FaxEnable);
  EXPECT_EQ(read.FaxName, "Fax 9");
  EXPECT_EQ(read.ServerName, "uds");
  EXPECT_EQ(read.ServerIP, "10.0.0.5");
  EXPECT_EQ(read.ScanIndex, kScanNone);
}

TEST(DisconnectTiming, ReadsTheStoredTextAndItsSeconds) {
  FakeRegistry reg;
  EXPECT_EQ(ReadDisconnectTimingText(reg), "");
  EXPECT_EQ(ReadDisconnectTiming(reg), std::nullopt);
  reg.SetString(kCU, kBase, "Disconnect Timing", "25");
  EXPECT_EQ(ReadDisconnectTiming(reg), 25);
  reg.SetString(kCU, kBase, "Disconnect Timing", "ten");
  EXPECT_EQ(ReadDisconnectTimingText(reg), "ten");
  EXPECT_EQ(ReadDisconnectTiming(reg), std::nullopt);
}

}  // namespace
}  // namespace vx::autoconnect
