// Classification against the device registry fixtures of testdata/.
#include "classify/classify.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "classify/testing/fixtures.h"
#include "platform/registry/fake_registry.h"

namespace vx::classify {
namespace {

using ::testing::ElementsAre;

constexpr const char* kEnumUsb = "SYSTEM\\CurrentControlSet\\Enum\\USB\\";
constexpr const char* kPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

class ClassifyTest : public ::testing::Test {
 protected:
  void Load(std::initializer_list<std::string_view> names) { testing::LoadFixtures(&reg_, names); }
  USBClass What(std::string_view vid, std::string_view pid, std::string_view serial) {
    return classifier_.WhatInterface(vid, pid, serial, &info_);
  }
  void AddQueue(const std::string& name, const std::string& driver, const std::string& port,
                const std::string& instance_id = {}) {
    reg_.SetString(RegRoot::kLocalMachine, kPrinters + name, "Printer Driver", driver);
    reg_.SetString(RegRoot::kLocalMachine, kPrinters + name, "Port", port);
    if (!instance_id.empty())
      reg_.SetString(RegRoot::kLocalMachine, kPrinters + name + "\\PnPData", "DeviceInstanceId", instance_id);
  }
  void SetDriver(const std::string& queue, const std::string& driver) {
    reg_.SetString(RegRoot::kLocalMachine, kPrinters + queue, "Printer Driver", driver);
  }

  FakeRegistry reg_;
  DeviceClassifier classifier_{reg_};
  DeviceDriverInfo info_;
};

TEST_F(ClassifyTest, EveryFixtureParses) {
  for (const auto& f : testing::Fixtures()) {
    FakeRegistry reg;
    EXPECT_EQ(reg.Load(f.text), std::nullopt) << f.name;
  }
  EXPECT_GE(testing::Fixtures().size(), 9u);
}

TEST_F(ClassifyTest, PlainPrinterFindsItsQueueButNotTheSystemFax) {
  Load({"printer.reg"});
  EXPECT_EQ(What("2C1E", "0101", "ORV3100A77"), USBCLASS_PRINTER);
  EXPECT_EQ(classifier_.DeviceIDStr(), std::string(kEnumUsb) + "Vid_2C1E&Pid_0101\\ORV3100A77\\");
  EXPECT_EQ(info_, (DeviceDriverInfo{"Orvane LX-3100 Series", "USB001", "", "", "", "", ""}));
  // Without an info record only the bits are wanted.
  EXPECT_EQ(classifier_.WhatInterface("2C1E", "0101", "ORV3100A77", nullptr), USBCLASS_PRINTER);
  // Serial numbers are exact text.
  EXPECT_EQ(What("2C1E", "0101", "orv3100a77"), 0u);
  EXPECT_EQ(info_, DeviceDriverInfo{});
}

TEST_F(ClassifyTest, FaxQueueNeedsTwoSharedDriverWords) {
  Load({"printer.reg"});
  // Printer driver words: "Orvane", "LX-3100" ("Series" never counts).
  AddQueue("Orvane PC-Fax", "Orvane PC-Fax Driver", "USB009");
  What("2C1E", "0101", "ORV3100A77");
  EXPECT_EQ(info_.FaxName, "") << "one shared word is not enough";
  AddQueue("Orvane LX-3100 Fax", "Orvane LX-3100 Fax", "USB010");
  What("2C1E", "0101", "ORV3100A77");
  EXPECT_EQ(info_.FaxName, "Orvane LX-3100 Fax");
  EXPECT_EQ(info_.FaxPort, "USB010");
  EXPECT_EQ(info_.PrinterName, "Orvane LX-3100 Series");
}

TEST_F(ClassifyTest, SeriesNeverCountsInAnyCase) {
  Load({"printer.reg"});
  SetDriver("Orvane LX-3100 Series", "Orvane LX-3100 series");
  AddQueue("Orvane Fax", "Orvane Fax series", "USB009");         // "Orvane" + "series"
  AddQueue("Orvane Multi", "Orvane Fax MultiSERIES", "USB011");  // "Orvane" + "MultiSERIES"
  SetDriver("Orvane LX-3100 Series", "Orvane LX-3100 MultiSERIES series");
  What("2C1E", "0101", "ORV3100A77");
  EXPECT_EQ(info_.PrinterName, "Orvane LX-3100 Series");
  EXPECT_EQ(info_.FaxName, "");
}

TEST_F(ClassifyTest, FaxCandidatesNeedAFaxDriverAPortAndAnotherDriver) {
  Load({"printer.reg"});
  AddQueue("A Copy", "orvane lx-3100 SERIES", "USB012");    // same driver (case aside)
  AddQueue("B No Port", "Orvane LX-3100 Fax", "");          // no port
  AddQueue("C Not Fax", "Orvane LX-3100 Photo", "USB013");  // no "FAX"
  AddQueue("D Best", "Orvane LX-3100 fax", "USB014");       // score 2
  AddQueue("E Tie", "Orvane LX-3100 FAX", "USB015");        // score 2, later: loses
  What("2C1E", "0101", "ORV3100A77");
  EXPECT_EQ(info_.FaxName, "D Best");
  EXPECT_EQ(info_.FaxPort, "USB014");
}

TEST_F(ClassifyTest, QueueMatchingIsCaseInsensitiveAndTheLastMatchWins) {
  Load({"printer.reg"});
  AddQueue("Z Later Queue", "Orvane LX-3100 Series", "USB020",
           "USBPRINT\\ORVANELX-31009A4C\\6&1F2A3B4C&0&USB001");
  What("2C1E", "0101", "ORV3100A77");
  EXPECT_EQ(info_.PrinterName, "Z Later Queue");
  EXPECT_EQ(info_.PrinterPort, "USB020");
}

TEST_F(ClassifyTest, PrinterWithoutDriverOrQueueHasNoName) {
  Load({"printer.reg"});
  reg_.DeleteValue(RegRoot::kLocalMachine,
                   "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\OrvaneLX-31009A4C\\6&1f2a3b4c&0&USB001",
                   "Driver");
  EXPECT_EQ(What("2C1E", "0101", "ORV3100A77"), USBCLASS_PRINTER);
  EXPECT_EQ(info_, DeviceDriverInfo{});
  DeviceDriverInfo info;
  EXPECT_FALSE(classifier_.FindPrinterQueues("USBPRINT", "", &info));
  EXPECT_FALSE(classifier_.FindPrinterQueues("USBPRINT", "6&1f2a3b4c&0", nullptr));
}

TEST_F(ClassifyTest, CompositePrinterScannerStorage) {
  Load({"composite_printer_scanner_storage.reg", "printer.reg"});
  EXPECT_EQ(What("2C1E", "0230", "X3JK004512"),
            USBCLASS_COMPOSITE | USBCLASS_PRINTER | USBCLASS_SCANNER | USBCLASS_STORAGE);
  EXPECT_EQ(info_, (DeviceDriverInfo{"Orvane MF-640 Series", "USB002", "", "", "Orvane MF-640 Scanner",
                                     "Orvane MF-640 TWAIN", "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000"}));
  EXPECT_EQ(classifier_.DeviceIDStr(), "") << "the walk ends on the last interface tried";
  EXPECT_EQ(classifier_.WhatInterface("2C1E", "0230", "X3JK004512", nullptr),
            USBCLASS_COMPOSITE | USBCLASS_PRINTER | USBCLASS_SCANNER | USBCLASS_STORAGE);
  EXPECT_THAT(USBClassNames(USBCLASS_COMPOSITE | USBCLASS_PRINTER | USBCLASS_SCANNER | USBCLASS_STORAGE),
              ElementsAre("USBCLASS_PRINTER", "USBCLASS_STORAGE", "USBCLASS_SCANNER", "USBCLASS_COMPOSITE"));
}

TEST_F(ClassifyTest, InterfacesOfAnotherDeviceOfTheSameModelAreNotTaken) {
  Load({"composite_printer_scanner_storage.reg"});
  // A second device of the model with another prefix, whose printer
  // interface sorts after the first one's.
  std::string other = std::string(kEnumUsb) + "VID_2C1E&PID_0230&MI_00\\6&ffffffff&0&0000";
  reg_.Set(RegRoot::kLocalMachine, other, "CompatibleIDs",
           {kRegMultiSz, std::string("USB\\Class_08\0\0", 14)});
  EXPECT_EQ(What("2C1E", "0230", "X3JK004512") & USBCLASS_PRINTER, USBCLASS_PRINTER);
  EXPECT_EQ(classifier_.FindDeviceKey("2C1E", "0230", 0, "6&ffffffff&0"),
            std::string(kEnumUsb) + "Vid_2C1E&Pid_0230&MI_00\\6&ffffffff&0&0000\\");
  EXPECT_EQ(classifier_.FindDeviceKey("2C1E", "0230", -2, "6&3a1c22f0&0"), "");
}

TEST_F(ClassifyTest, Dot4MultifunctionWithFax) {
  Load({"dot4_multifunction_fax.reg", "printer.reg"});
  EXPECT_EQ(What("1F3A", "5511", "CN0B1K2C3D"),
            USBCLASS_COMPOSITE | USBCLASS_STORAGE | USBCLASS_DOT4 | USBCLASS_PRINTER | USBCLASS_SCANNER);
  EXPECT_EQ(info_,
            (DeviceDriverInfo{"Talbrin OfficePro 7410 Series", "DOT4_001", "Talbrin OfficePro 7410 Fax",
                              "DOT4_002", "Talbrin OfficePro 7410 Scanner", "Talbrin OfficePro 7410 TWAIN",
                              "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001"}));
  EXPECT_EQ(classifier_.DeviceIDStr(),
            "SYSTEM\\CurrentControlSet\\Enum\\DOT4USB\\VID_1F3A&PID_5511&MI_01&DOT4\\7&5c0e3a1&0&1\\");
}

TEST_F(ClassifyTest, Dot4CompatibleIdOrderDecides) {
  Load({"dot4_multifunction_fax.reg"});
  const std::string node = std::string(kEnumUsb) + "VID_1F3A&PID_5511&MI_01\\6&2e5a7c11&0&0001\\";
  USBClass flags = 0;
  EXPECT_TRUE(classifier_.ClassifyDeviceKey(node, &flags));
  EXPECT_EQ(flags, USBCLASS_DOT4);
  // The generic printer entry first: the device is a plain printer.
  using namespace std::string_literals;
  reg_.Set(RegRoot::kLocalMachine, node.substr(0, node.size() - 1), "CompatibleIDs",
           {kRegMultiSz, "USB\\Class_07\0USB\\Class_07&SubClass_01&Prot_03\0\0"s});
  flags = 0;
  classifier_.ClassifyDeviceKey(node, &flags);
  EXPECT_EQ(flags, USBCLASS_PRINTER);
  // A second printer node then counts as the second printer.
  classifier_.ClassifyDeviceKey(node, &flags);
  EXPECT_EQ(flags, USBCLASS_PRINTER | USBCLASS_PRINTER_SECOND);
}

TEST_F(ClassifyTest, Dot4PrintFunctionWithoutQueueKeepsTheOneFound) {
  Load({"dot4_multifunction_fax.reg"});
  // A later print function whose queue is missing does not wipe the printer.
  const std::string functions =
      "SYSTEM\\CurrentControlSet\\Enum\\DOT4USB\\VID_1F3A&PID_5511&MI_01&DOT4\\7&5c0e3a1&0&1\\Device "
      "Parameters\\Functions\\";
  reg_.SetString(RegRoot::kLocalMachine, functions + "ZPRINT_TBZ", "Channel", "PRINT");
  const std::string fn =
      "SYSTEM\\CurrentControlSet\\Enum\\DOT4\\VID_1F3A&PID_5511&MI_01&DOT4&ZPRINT_TBZ\\"
      "8&2d7b9e1&0&ZPRINT_TBZ";
  reg_.SetString(RegRoot::kLocalMachine, fn, "Class", "Dot4Print");
  reg_.SetString(RegRoot::kLocalMachine, fn, "ParentIdPrefix", "9&00000000&0");
  What("1F3A", "5511", "CN0B1K2C3D");
  EXPECT_EQ(info_.PrinterName, "Talbrin OfficePro 7410 Series");
  EXPECT_EQ(info_.FaxName, "Talbrin OfficePro 7410 Fax");
}

TEST_F(ClassifyTest, StillImageScannerAndCamera) {
  Load({"scanner.reg", "camera.reg"});
  EXPECT_EQ(What("2C1E", "0140", "SC0004471"), USBCLASS_SCANNER);
  EXPECT_EQ(info_, (DeviceDriverInfo{"", "", "", "", "Orvane ScanDesk 40", "Orvane ScanDesk 40 TWAIN",
                                     "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0002"}));
  EXPECT_EQ(What("3A7D", "0612", "0000A1B2C3"), USBCLASS_CAMERA);
  EXPECT_EQ(info_, DeviceDriverInfo{});
  // Device type 3 is streaming video.
  reg_.Set(RegRoot::kLocalMachine,
           "SYSTEM\\CurrentControlSet\\Control\\Class\\{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0003",
           "DeviceType", {kRegDword, std::string("\x03\0\0\0", 4)});
  EXPECT_EQ(What("3A7D", "0612", "0000A1B2C3"), USBCLASS_VIDEO);
}

TEST_F(ClassifyTest, GetScanDriverFillsOnlyForScanners) {
  Load({"scanner.reg", "camera.reg"});
  EXPECT_EQ(classifier_.GetScanDriver("", nullptr, nullptr, nullptr), 0u);
  std::string wia = "old", twain = "old", id = "old";
  EXPECT_EQ(classifier_.GetScanDriver("{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0003", &wia, &twain, &id), 2u);
  EXPECT_EQ(wia, "old");
  EXPECT_EQ(classifier_.GetScanDriver("{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0002", &wia, nullptr, &id),
            1u);
  EXPECT_EQ(wia, "Orvane ScanDesk 40");
  EXPECT_EQ(twain, "old");
  EXPECT_EQ(classifier_.GetScanDriver("{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0099", &wia, &twain, &id), 0u);
}

TEST_F(ClassifyTest, TwoHidInterfacesGiveHidAndUnknown) {
  Load({"hid_pair.reg"});
  EXPECT_EQ(What("3A7D", "C52B", "HR00771"), USBCLASS_COMPOSITE | USBCLASS_HID | USBCLASS_UNKNOWN);
  EXPECT_EQ(info_, DeviceDriverInfo{});
}

TEST_F(ClassifyTest, TwoPrinterFunctionsWithTheFaxFirstAreExchanged) {
  Load({"printer_fax_pair.reg"});
  EXPECT_EQ(What("2C1E", "0250", "FX20B00981"),
            USBCLASS_COMPOSITE | USBCLASS_PRINTER | USBCLASS_PRINTER_SECOND);
  EXPECT_EQ(info_.PrinterName, "Orvane FX-20 Series");
  EXPECT_EQ(info_.PrinterPort, "USB004");
  EXPECT_EQ(info_.FaxName, "Orvane FX-20 Fax");
  EXPECT_EQ(info_.FaxPort, "USB003");
}

class SecondFunctionIsFax : public ClassifyTest {
 protected:
  void SetUp() override {
    Load({"printer_fax_pair.reg"});
    // The printer on interface 0, the fax on interface 1.
    reg_.SetString(RegRoot::kLocalMachine, std::string(kPrinters) + "Orvane FX-20 Series\\PnPData",
                   "DeviceInstanceId", "USBPRINT\\OrvaneFX-20_Fax51E0\\7&6a1b2c3d&0&USB001");
    reg_.SetString(RegRoot::kLocalMachine, std::string(kPrinters) + "Orvane FX-20 Fax\\PnPData",
                   "DeviceInstanceId", "USBPRINT\\OrvaneFX-20C1A7\\7&7b2c3d4e&0&USB002");
    // Another fax queue of the family that sorts first and scores as well.
    AddQueue("A Orvane FX-20 PC-Fax", "Orvane FX-20 PC-Fax", "USB005");
  }
};

TEST_F(SecondFunctionIsFax, TheSecondFunctionsQueueWinsOverTheWordMatch) {
  What("2C1E", "0250", "FX20B00981");
  EXPECT_EQ(info_.PrinterName, "Orvane FX-20 Series");
  EXPECT_EQ(info_.FaxName, "Orvane FX-20 Fax");
  EXPECT_EQ(info_.FaxPort, "USB003");
}

TEST_F(SecondFunctionIsFax, ASecondFunctionWithoutQueueKeepsTheWordMatch) {
  reg_.DeleteKey(RegRoot::kLocalMachine, std::string(kPrinters) + "Orvane FX-20 Fax");
  What("2C1E", "0250", "FX20B00981");
  EXPECT_EQ(info_.PrinterName, "Orvane FX-20 Series");
  EXPECT_EQ(info_.FaxName, "A Orvane FX-20 PC-Fax");
  EXPECT_EQ(info_.FaxPort, "USB005");
}

TEST_F(ClassifyTest, InstancesUnlikeTheSerialAreNotTaken) {
  Load({"two_instances.reg"});
  EXPECT_EQ(What("2C1E", "0620", "CC0000000003"), 0u);
  EXPECT_EQ(classifier_.DeviceIDStr(), "");
  EXPECT_EQ(What("2C1E", "0620", "BB0000000002"), USBCLASS_STORAGE);
  EXPECT_EQ(classifier_.DeviceIDStr(), std::string(kEnumUsb) + "Vid_2C1E&Pid_0620\\BB0000000002\\");
  // Without the serial the first instance is taken.
  EXPECT_EQ(classifier_.WhatInterface("2C1E", "0620", "CC0000000003", nullptr, false), USBCLASS_STORAGE);
  EXPECT_EQ(classifier_.DeviceIDStr(), std::string(kEnumUsb) + "Vid_2C1E&Pid_0620\\AA0000000001\\");
}

TEST_F(ClassifyTest, TwoModelsTakeTheFirstInstanceThatDoesNotBeginWithTheSerial) {
  Load({"two_instances.reg"});
  // "L58010022A" begins with the serial and is passed over.
  EXPECT_EQ(What("04B8", "085C", "L58010022"), USBCLASS_PRINTER);
  EXPECT_EQ(classifier_.DeviceIDStr(), std::string(kEnumUsb) + "Vid_04B8&Pid_085C\\L58010031\\");
  // An instance named exactly after the serial is preferred wherever it is.
  EXPECT_EQ(What("04B8", "085C", "L58010031"), USBCLASS_PRINTER);
  EXPECT_EQ(classifier_.DeviceIDStr(), std::string(kEnumUsb) + "Vid_04B8&Pid_085C\\L58010031\\");
  // When every instance begins with the serial, none is taken.
  EXPECT_EQ(What("04B8", "085C", "L5801"), 0u);
  // Vendor 04E8 is a scanner too.
  EXPECT_EQ(What("04E8", "3413", "Z9"), USBCLASS_PRINTER | USBCLASS_SCANNER);
  // Other models keep to the exact rule.
  EXPECT_EQ(What("2C1E", "0620", "Z9"), 0u);
}

TEST_F(ClassifyTest, EmptySerialTakesTheInstanceNamedAfterItsPort) {
  Load({"two_instances.reg", "odd_devices.reg"});
  EXPECT_EQ(What("2C1E", "0700", ""), USBCLASS_PRINTER);
  EXPECT_EQ(classifier_.DeviceIDStr(), std::string(kEnumUsb) + "Vid_2C1E&Pid_0700\\5&1c2d3e4f&0&3\\");
  // Instances named after serials belong to other devices.
  EXPECT_EQ(What("2C1E", "0620", ""), 0u);
  EXPECT_EQ(classifier_.DeviceIDStr(), "");
  EXPECT_EQ(What("04B8", "085C", ""), 0u);
  EXPECT_EQ(What("2C1E", "9999", ""), 0u);
}

TEST_F(ClassifyTest, Vendor04E8IsAlwaysAScanner) {
  Load({"odd_devices.reg"});
  EXPECT_EQ(What("04E8", "61B6", "S2R6J9AB201"), USBCLASS_STORAGE | USBCLASS_SCANNER);
  EXPECT_EQ(What("04E8", "61B6", "unknown"), 0u) << "but only when found";
}

TEST_F(ClassifyTest, ImageClassWithoutScannerServiceNorStillImageDriverIsUnknown) {
  Load({"odd_devices.reg"});
  EXPECT_EQ(What("3A7D", "0B10", "FP0001"), USBCLASS_UNKNOWN);
  reg_.SetString(RegRoot::kLocalMachine,
                 "SYSTEM\\CurrentControlSet\\Control\\Class\\{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0004",
                 "SubClass", "stillimage");
  EXPECT_EQ(What("3A7D", "0B10", "FP0001"), USBCLASS_SCANNER);
  reg_.SetString(RegRoot::kLocalMachine, std::string(kEnumUsb) + "VID_3A7D&PID_0B10\\FP0001", "Service",
                 "STILLCAM");
  reg_.SetString(RegRoot::kLocalMachine,
                 "SYSTEM\\CurrentControlSet\\Control\\Class\\{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0004",
                 "SubClass", "Biometric");
  EXPECT_EQ(What("3A7D", "0B10", "FP0001"), USBCLASS_SCANNER);
}

TEST_F(ClassifyTest, NodeWithoutCompatibleIdsIsNotClassified) {
  Load({"odd_devices.reg"});
  EXPECT_EQ(What("3A7D", "0B20", "NC0001"), 0u);
  USBClass flags = USBCLASS_HUB;
  EXPECT_FALSE(classifier_.ClassifyDeviceKey(std::string(kEnumUsb) + "VID_3A7D&PID_0B20\\NC0001\\", &flags));
  EXPECT_FALSE(classifier_.ClassifyDeviceKey("", &flags));
  EXPECT_EQ(flags, USBCLASS_HUB);
}

TEST_F(ClassifyTest, CompatibleIdsBeyond1024BytesAreIgnored) {
  Load({"printer.reg"});
  std::string ids = "USB\\Class_07" + std::string(1, '\0');
  while (ids.size() < 520) ids += "USB\\Class_FF&SubClass_FF" + std::string(1, '\0');
  ids += '\0';
  reg_.Set(RegRoot::kLocalMachine, std::string(kEnumUsb) + "VID_2C1E&PID_0101\\ORV3100A77", "CompatibleIDs",
           {kRegMultiSz, ids});
  EXPECT_EQ(What("2C1E", "0101", "ORV3100A77"), 0u);
}

TEST_F(ClassifyTest, OnlyTheFirstTwentyInstancesAreLookedAt) {
  using namespace std::string_literals;
  for (int i = 0; i < 25; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "S%02d", i);
    reg_.Set(RegRoot::kLocalMachine, std::string(kEnumUsb) + "VID_2C1E&PID_0900\\" + name, "CompatibleIDs",
             {kRegMultiSz, "USB\\Class_08\0\0"s});
  }
  EXPECT_EQ(What("2C1E", "0900", "S19"), USBCLASS_STORAGE);
  EXPECT_EQ(What("2C1E", "0900", "S20"), 0u);
  EXPECT_EQ(What("2C1E", "0900", "S24"), 0u);
  // Interfaces: the last of the first twenty that holds the prefix.
  for (int i = 0; i < 25; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "P&%02d", i);
    reg_.SetString(RegRoot::kLocalMachine, std::string(kEnumUsb) + "VID_2C1E&PID_0900&MI_00\\" + name,
                   "Class", "USB");
  }
  EXPECT_EQ(classifier_.FindDeviceKey("2C1E", "0900", 0, "P&"),
            std::string(kEnumUsb) + "Vid_2C1E&Pid_0900&MI_00\\P&19\\");
  EXPECT_EQ(classifier_.FindDot4Key("none", "0"), "");
}

// Every walk is bounded: a registry crowded with printer-class instances and
// queues costs a bounded number of registry operations.
TEST_F(ClassifyTest, ClassificationIsBounded) {
  Load({"dot4_multifunction_fax.reg"});
  for (int h = 0; h < 150; ++h)
    for (int i = 0; i < 15; ++i)
      reg_.SetString(RegRoot::kLocalMachine,
                     "SYSTEM\\CurrentControlSet\\Enum\\DOT4PRT\\HW" + std::to_string(1000 + h) +
                         "\\9&1a5f3c77&0&" + std::to_string(10 + i),
                     "Driver", "");  // holds the print function's prefix, but no driver
  for (int q = 0; q < 150; ++q)
    AddQueue("Q" + std::to_string(1000 + q), "Other Fax", "P" + std::to_string(q));
  size_t operations = 0;
  reg_.SetFault([&operations](const RegOperation&) {
    ++operations;
    return RegStatus::kOk;
  });
  EXPECT_EQ(What("1F3A", "5511", "CN0B1K2C3D") & USBCLASS_PRINTER, USBCLASS_PRINTER);
  EXPECT_EQ(info_.PrinterName, "") << "the device's own hardware id is beyond the first 100";
  ::testing::Test::RecordProperty("registry_operations", static_cast<int>(operations));
  // 100 hardware ids x 10 instances and two walks of 100 queues, per print function.
  EXPECT_LT(operations, 20000u);
}

TEST_F(ClassifyTest, UnreadableRegistryClassifiesNothing) {
  Load({"composite_printer_scanner_storage.reg"});
  reg_.SetFault([](const RegOperation&) { return RegStatus::kAccessDenied; });
  EXPECT_EQ(What("2C1E", "0230", "X3JK004512"), 0u);
  EXPECT_EQ(info_, DeviceDriverInfo{});
}

}  // namespace
}  // namespace vx::classify
