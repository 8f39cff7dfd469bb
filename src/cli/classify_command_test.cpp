// vessix-cli classify against the device registry fixtures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "classify/system_registry.h"
#include "classify/testing/fixtures.h"
#include "cli/command.h"

namespace vx::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

struct Result {
  int code;
  std::string out, err;
};

Result RunCli(std::vector<std::string> args) {
  std::ostringstream out, err;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int code = RunCommandLine(args, out, err);
  std::string stdout_text = ::testing::internal::GetCapturedStdout();
  std::string stderr_text = ::testing::internal::GetCapturedStderr();
  return {code, out.str() + stdout_text, err.str() + stderr_text};
}

class ClassifyCommand : public ::testing::Test {
 protected:
  // The text written to a file, as a support person would pass it.
  std::string File(std::string_view name, std::string_view text) {
    auto path = std::filesystem::temp_directory_path() /
                ("vx_classify_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 std::string(name));
    std::ofstream(path, std::ios::binary) << text;
    files_.push_back(path);
    return path.string();
  }
  std::string FixtureFile(std::string_view name) { return File(name, classify::testing::FixtureText(name)); }
  void TearDown() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
  std::vector<std::filesystem::path> files_;
};

TEST_F(ClassifyCommand, JsonForACompositeDeviceByIds) {
  auto r = RunCli({"classify", "--vid", "2c1e", "--pid", "0230", "--serial", "X3JK004512", "--registry",
                   FixtureFile("composite_printer_scanner_storage.reg"), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::ordered_json::parse(r.out);
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_THAT(keys,
              ElementsAre("USBClass", "functions", "DeviceIDStr", "PrinterName", "PrinterPort", "FaxName",
                          "FaxPort", "ScanNameWIA", "ScanNameTwain", "ScanDeviceID", "autoconnect"));
  EXPECT_EQ(j["USBClass"], 0x42Cu);
  EXPECT_THAT(j["functions"].get<std::vector<std::string>>(),
              ElementsAre("USBCLASS_PRINTER", "USBCLASS_STORAGE", "USBCLASS_SCANNER", "USBCLASS_COMPOSITE"));
  EXPECT_EQ(j["PrinterName"], "Orvane MF-640 Series");
  EXPECT_EQ(j["PrinterPort"], "USB002");
  EXPECT_EQ(j["ScanNameTwain"], "Orvane MF-640 TWAIN");
  EXPECT_EQ(j["ScanDeviceID"], "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000");
  EXPECT_TRUE(j["autoconnect"].empty());
}

// An auto-connect entry of this user, as the program writes it.
std::string Entry(const std::string& mac, const std::string& ip, const std::string& serial, bool printer,
                  bool fax) {
  const std::string key = "MAC_" + mac + "&Vid_2C1E&Pid_0230&SNo_" + serial;
  std::string text =
      "\n[HKEY_CURRENT_USER\\Software\\Marvex\\VUV Eruruz Odozid\\Auto-Connect\\" + key + "]\n";
  for (const auto& [name, value] :
       std::vector<std::pair<std::string, std::string>>{{"ServerIP", ip},
                                                        {"ServerMAC", mac},
                                                        {"DeviceVid", "2C1E"},
                                                        {"DevicePid", "0230"},
                                                        {"DeviceSNo", serial},
                                                        {"PrinterEnable", printer ? "1" : "0"},
                                                        {"PrinterName", "MF-640 on " + ip},
                                                        {"PrinterPort", "USB002"},
                                                        {"FaxEnable", fax ? "1" : "0"},
                                                        {"FaxName", fax ? "MF-640 Fax" : ""},
                                                        {"FaxPort", fax ? "USB003" : ""}})
    text += "\"" + name + "\"=\"" + value + "\"\n";
  return text;
}

TEST_F(ClassifyCommand, ListsTheAutoConnectEntriesOfTheDeviceOnEveryServer) {
  // The device's printer and fax on one server, its printer on another, a
  // disabled entry on a third and another device on the first: the device
  // and the store in one file.
  const std::string reg =
      std::string(classify::testing::FixtureText("composite_printer_scanner_storage.reg")) +
      Entry("00:80:92:10:00:21", "10.77.0.21", "X3JK004512", true, true) +
      Entry("00:80:92:10:00:88", "10.88.0.21", "X3JK004512", true, false) +
      Entry("00:80:92:10:00:22", "10.77.0.22", "X3JK004512", false, false) +
      Entry("00:80:92:10:00:21", "10.77.0.21", "X3JK009999", true, false);
  const std::vector<std::string> args = {"classify",   "--vid",      "2C1E",
                                         "--pid",      "0230",       "--serial",
                                         "X3JK004512", "--registry", File("store.reg", reg)};

  std::vector<std::string> json_args = args;
  json_args.push_back("--json");
  auto r = RunCli(json_args);
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::ordered_json::parse(r.out);
  // Printers in list order (sorted by server address), then the fax; the
  // index is the element's place in its own list.
  const auto expected = nlohmann::ordered_json::parse(R"([
    {"kind":"Printer","server_mac":"00:80:92:10:00:21","server_ip":"10.77.0.21","queue":"MF-640 on 10.77.0.21",
     "port":"USB002","index":0},
    {"kind":"Printer","server_mac":"00:80:92:10:00:88","server_ip":"10.88.0.21","queue":"MF-640 on 10.88.0.21",
     "port":"USB002","index":2},
    {"kind":"Fax","server_mac":"00:80:92:10:00:21","server_ip":"10.77.0.21","queue":"MF-640 Fax",
     "port":"USB003","index":0}])");
  EXPECT_EQ(j["autoconnect"], expected);

  r = RunCli(args);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("any server): 3\n"));
  EXPECT_THAT(r.out, HasSubstr("  Printer [2] queue \"MF-640 on 10.88.0.21\" (USB002), server 10.88.0.21 MAC "
                               "00:80:92:10:00:88\n"));
  EXPECT_THAT(r.out, HasSubstr("  Fax [0] queue \"MF-640 Fax\" (USB003)"));
  EXPECT_THAT(r.out, Not(HasSubstr("10.77.0.22")));
}

TEST_F(ClassifyCommand, TextForTheDot4Multifunction) {
  auto r = RunCli({"classify", "--vid", "1F3A", "--pid", "5511", "--serial", "CN0B1K2C3D", "--registry",
                   FixtureFile("dot4_multifunction_fax.reg")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("USBCLASS_DOT4"));
  EXPECT_THAT(r.out, HasSubstr("device key: SYSTEM\\CurrentControlSet\\Enum\\DOT4USB\\"));
  EXPECT_THAT(r.out, HasSubstr("FaxName: Talbrin OfficePro 7410 Fax\n"));
  EXPECT_THAT(r.out, HasSubstr("any server): none\n"));
}

TEST_F(ClassifyCommand, NotFoundExitsOne) {
  auto r = RunCli({"classify", "--vid", "2C1E", "--pid", "0620", "--serial", "CC0000000003", "--registry",
                   FixtureFile("two_instances.reg"), "--json"});
  EXPECT_EQ(r.code, 1);
  auto j = nlohmann::ordered_json::parse(r.out);
  EXPECT_EQ(j["USBClass"], 0u);
  EXPECT_TRUE(j["functions"].empty());
  EXPECT_EQ(j["DeviceIDStr"], "");
  EXPECT_TRUE(j["autoconnect"].empty());
}

TEST_F(ClassifyCommand, UsageErrorsExitTwo) {
  const std::string reg = FixtureFile("printer.reg");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"classify"},
           {"classify", "--registry", reg},
           {"classify", "--vid", "2C1E", "--registry", reg},
           {"classify", "--vid", "2C1", "--pid", "0101", "--registry", reg},
           {"classify", "--vid", "2C1G", "--pid", "0101", "--registry", reg},
           {"classify", "--vid", "2C1E", "--pid", "0101", "7", "--registry", reg},
           {"classify", "10.77.0.21", "--registry", reg},
           {"classify", "10.77.0.21", "3", "--vid", "2C1E", "--pid", "0101", "--registry", reg},
           {"classify", "10.77.0.321", "3", "--registry", reg},
           {"classify", "10.77.0.21", "256", "--registry", reg},
           {"classify", "--vid", "2C1E", "--pid", "0101", "--registry", reg + ".missing"},
       }) {
    auto r = RunCli(args);
    EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args) << ": " << r.err;
  }
}

TEST_F(ClassifyCommand, AMalformedRegistryFileIsAUsageError) {
  auto path = std::filesystem::temp_directory_path() / "vx_classify_bad.reg";
  std::ofstream(path, std::ios::binary) << "REGEDIT4\n[HKLM\\A]\n\"x\"=dword:zz\n";
  files_.push_back(path);
  auto r = RunCli({"classify", "--vid", "2C1E", "--pid", "0101", "--registry", path.string()});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("line 3"));
}

TEST_F(ClassifyCommand, WithoutADeviceRegistryTheFileIsRequired) {
  if (classify::SystemDeviceRegistry()) GTEST_SKIP() << "this system has a device registry";
  auto r = RunCli({"classify", "--vid", "2C1E", "--pid", "0101", "--serial", "ORV3100A77"});
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr("--registry"));
}

}  // namespace
}  // namespace vx::cli
