#include "app/settings_store.h"

#include <gtest/gtest.h>

#include "platform/registry/fake_registry.h"
#include "platform/trace.h"

namespace vx::app {
namespace {

constexpr RegRoot kCU = RegRoot::kCurrentUser;
constexpr RegRoot kLM = RegRoot::kLocalMachine;
const std::string kKey(kSettingsKey);

TEST(ReadRegString, FullAccessPathReadsAnyLengthAndKeepsOutputOnReadFailure) {
  FakeRegistry reg;
  reg.SetString(kCU, kKey, "Long", std::string(5000, 'x'));
  reg.Set(kCU, kKey, "Number", {kRegDword, std::string(4, '\1')});
  TraceCapture trace;
  EXPECT_EQ(ReadRegString(reg, kCU, kKey, "Long").size(), 5000u);
  std::string out = "before";
  ReadRegString(reg, kCU, kKey, "Number", out);  // wrong type
  EXPECT_EQ(out, "before");
  ReadRegString(reg, kCU, kKey, "Absent", out);
  EXPECT_EQ(out, "before");
  EXPECT_TRUE(trace.Lines().empty());
}

TEST(ReadRegString, WithoutRightsFallsBackOnAQueryReadOf256Bytes) {
  FakeRegistry reg;
  reg.SetString(kLM, kKey, "Product Version", "1.80");
  reg.SetString(kLM, kKey, "Fits", std::string(127, 'a'));
  reg.SetString(kLM, kKey, "TooLong", std::string(128, 'a'));
  reg.DenyChanges(kLM);
  TraceCapture trace;
  EXPECT_EQ(ReadRegString(reg, kLM, kKey, "Product Version"), "1.80");
  EXPECT_EQ(ReadRegString(reg, kLM, kKey, "Fits").size(), 127u);
  std::string out = "kept";
  ReadRegString(reg, kLM, kKey, "TooLong", out);
  EXPECT_EQ(out, "kept");
  EXPECT_TRUE(trace.Lines().empty());
}

TEST(ReadRegString, MissingKeyTracesAndLeavesOutputUnchanged) {
  FakeRegistry reg;
  TraceCapture trace;
  std::string out = "kept";
  ReadRegString(reg, kCU, "Software\\Nothing", "Language", out);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(trace.Lines(),
            std::vector<std::string>{"OpenKey Fail in ReadString 2 : Software\\Nothing - Language"});
  EXPECT_FALSE(reg.KeyExists(kCU, "Software\\Nothing"));  // reading never creates
}

TEST(WriteRegString, CreatesTheKeyAndTracesOnlyTheFallbackPathsFailures) {
  FakeRegistry reg;
  TraceCapture trace;
  WriteRegString(reg, kCU, kKey, "Language", false, true, "Japanese");
  WriteRegString(reg, kCU, kKey, "Path", true, true, "%TEMP%");
  EXPECT_EQ(reg.Get(kCU, kKey, "Language"), RegValue::String("Japanese"));
  EXPECT_EQ(reg.Get(kCU, kKey, "Path")->type, kRegExpandSz);

  // No right to open with full access and none to set: the second open fails.
  reg.DenyChanges(kLM);
  WriteRegString(reg, kLM, kKey, "Language", false, true, "English");
  // Full access refused, setting allowed but the write itself fails.
  reg.SetFault([](const RegOperation& op) {
    if (op.kind == RegOperation::kOpen && op.access == RegAccess::kAll) return RegStatus::kAccessDenied;
    if (op.kind == RegOperation::kCreate) return RegStatus::kAccessDenied;
    if (op.kind == RegOperation::kWrite && op.name == "Bad") return RegStatus::kFailed;
    return RegStatus::kOk;
  });
  WriteRegString(reg, kCU, kKey, "Bad", false, true, "x");
  WriteRegString(reg, kCU, kKey, "Good", false, true, "y");
  EXPECT_EQ(trace.Lines(), (std::vector<std::string>{
                               "OpenKey Fail in WriteString 2 : " + kKey + " - Language",
                               "RegSetValueEx Fail in WriteString : " + kKey + " - Bad",
                           }));
  EXPECT_EQ(reg.GetString(kCU, kKey, "Good"), "y");
  EXPECT_FALSE(reg.Get(kLM, kKey, "Language"));

  // A failing write through the full-access key is swallowed silently.
  reg.SetFault([](const RegOperation& op) {
    return op.kind == RegOperation::kWrite ? RegStatus::kFailed : RegStatus::kOk;
  });
  WriteRegString(reg, kCU, kKey, "Quiet", false, true, "z");
  EXPECT_EQ(trace.Lines().size(), 2u);
}

TEST(WriteRegString, WithoutMayCreateAMissingKeyStaysMissing) {
  FakeRegistry reg;
  TraceCapture trace;
  WriteRegString(reg, kCU, "Software\\New", "v", false, false, "x");
  EXPECT_FALSE(reg.KeyExists(kCU, "Software\\New"));
  EXPECT_TRUE(trace.Contains("OpenKey Fail in WriteString 2 : Software\\New - v"));
}

TEST(ParseSettingInt, AcceptsOnlyPlainDecimalIntegers) {
  EXPECT_EQ(ParseSettingInt("0"), 0);
  EXPECT_EQ(ParseSettingInt("680"), 680);
  EXPECT_EQ(ParseSettingInt("-12"), -12);
  EXPECT_EQ(ParseSettingInt("2147483647"), 2147483647);
  EXPECT_EQ(ParseSettingInt("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", "-", "abc", "12a", " 12", "12 ", "+12", "0x10", "1.5", "2147483648",
                          "-2147483649", "99999999999"})
    EXPECT_EQ(ParseSettingInt(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseSettingInt(std::string(10000, '9')), std::nullopt);
}

}  // namespace
}  // namespace vx::app
