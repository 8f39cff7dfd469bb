#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "autoconnect/system_registry.h"
#include "cli/command.h"
#include "cli/json_output.h"

namespace vx::cli {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

class AutoConnectList : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vx-cli-autoconnect-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string File(const std::string& name, const std::string& text) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    ::testing::internal::CaptureStdout();
    const int code = RunCommandLine(args, out, err);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    return {code, out.str() + printed, err.str()};
  }

  std::filesystem::path dir_;
};

constexpr const char* kKey = "[HKEY_CURRENT_USER\\Software\\Marvex\\VUV Eruruz Odozid";

TEST_F(AutoConnectList, PrintsTheElementsSkippedEntriesTimingAndVendorTableAsJson) {
  std::string reg = "REGEDIT4\n\n" + std::string(kKey) + "]\n\"Disconnect Timing\"=\"15\"\n\n";
  reg += std::string(kKey) + "\\Auto-Connect\\MAC_00:80:92:00:00:21&Vid_04B8&Pid_0001&SNo_0]\n";
  for (auto [name, value] :
       std::vector<std::pair<std::string, std::string>>{{"ServerIP", "10.77.0.21"},
                                                        {"ServerMAC", "00:80:92:00:00:21"},
                                                        {"DeviceVid", "04B8"},
                                                        {"DevicePid", "0001"},
                                                        {"DeviceSNo", "0"},
                                                        {"DeviceManufacturer", "Acme"},
                                                        {"PrinterEnable", "1"},
                                                        {"PrinterName", "Acme Laser"},
                                                        {"PrinterPort", "USB001"}})
    reg += "\"" + name + "\"=\"" + value + "\"\n";
  reg += "\n" + std::string(kKey) + "\\Auto-Connect\\Copied]\n\"PrinterName\"=\"x\"\n";
  const std::string ini = File("ZARiraver.ini", "[a]\n1=04B8\n2=ACME\n");

  CliRun r = Cli({"autoconnect", "list", "--json", "--registry", File("store.reg", reg), "--ini", ini});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["disconnect_timing"], "15");
  EXPECT_EQ(j["disconnect_timing_seconds"], 15);
  ASSERT_EQ(j["printers"].size(), 1u);
  EXPECT_EQ(j["printers"][0]["queue"], "Acme Laser");
  EXPECT_EQ(j["printers"][0]["identity"], "04B8 - 0001 - 0");
  EXPECT_EQ(j["faxes"].size(), 0u);
  ASSERT_EQ(j["skipped"].size(), 1u);
  EXPECT_EQ(j["skipped"][0]["key"], "Copied");
  EXPECT_EQ(j["skipped"][0]["reason"], "name-mismatch");
  EXPECT_EQ(j["vendor_table"]["result"], "read");
  EXPECT_EQ(j["vendor_table"]["sections"][0][1], "ACME");

  r = Cli({"autoconnect", "list", "--registry", File("store.reg", reg)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Disconnect Timing: 15"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("queue \"Acme Laser\" (USB001)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Copied: name-mismatch"), std::string::npos) << r.out;
}

TEST_F(AutoConnectList, AnEmptyStoreListsNothingAndCreatesNothing) {
  const std::string path = File("empty.reg", "REGEDIT4\n");
  CliRun r = Cli({"autoconnect", "list", "--json", "--registry", path});
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["disconnect_timing"], "");
  EXPECT_TRUE(j["disconnect_timing_seconds"].is_null());
  EXPECT_TRUE(j["printers"].empty());
}

TEST_F(AutoConnectList, UsageErrorsExitTwo) {
  EXPECT_EQ(Cli({"autoconnect"}).code, 2);
  EXPECT_EQ(Cli({"autoconnect", "list", "--registry", (dir_ / "none.reg").string()}).code, 2);
  EXPECT_EQ(Cli({"autoconnect", "list", "--registry", File("bad.reg", "not a registry file")}).code, 2);
  if (!autoconnect::SystemRegistry()) {
    EXPECT_EQ(Cli({"autoconnect", "list"}).code, 2);
  }
}

}  // namespace
}  // namespace vx::cli
