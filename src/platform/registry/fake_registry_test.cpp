#include "platform/registry/fake_registry.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

constexpr RegRoot kCU = RegRoot::kCurrentUser;
constexpr RegRoot kLM = RegRoot::kLocalMachine;

TEST(FakeRegistry, OpenNeverCreatesAndNamesIgnoreCase) {
  FakeRegistry reg;
  EXPECT_EQ(reg.Open(kCU, "Software\\A", RegAccess::kQuery).status, RegStatus::kNotFound);
  EXPECT_FALSE(reg.KeyExists(kCU, "Software"));

  RegOpen made = reg.Create(kCU, "Software\\A\\B", RegAccess::kAll);
  ASSERT_EQ(made.status, RegStatus::kOk);
  ASSERT_TRUE(made.key);
  EXPECT_EQ(made.key->WriteString("Value", "1", false), RegStatus::kOk);

  RegOpen again = reg.Open(kCU, "SOFTWARE\\a\\b", RegAccess::kQuery);
  ASSERT_EQ(again.status, RegStatus::kOk);
  EXPECT_EQ(again.key->ReadString("VALUE").text, "1");
  EXPECT_EQ(again.key->ReadString("Other").status, RegStatus::kNotFound);
  // A second spelling does not make a second key or value.
  ASSERT_EQ(reg.Create(kCU, "software\\A\\b", RegAccess::kAll).key->WriteString("value", "2", false),
            RegStatus::kOk);
  EXPECT_NE(reg.Dump().find("[HKEY_CURRENT_USER\\Software\\A\\B]\n\"Value\"=\"2\"\n"), std::string::npos);

  std::vector<std::string> subkeys;
  ASSERT_EQ(reg.Open(kCU, "Software", RegAccess::kQuery).key->EnumSubKeys(&subkeys), RegStatus::kOk);
  EXPECT_EQ(subkeys, std::vector<std::string>{"A"});

  EXPECT_EQ(reg.Open(kCU, "\\Software", RegAccess::kQuery).status, RegStatus::kBadPath);
  EXPECT_EQ(reg.Create(kCU, "Software\\\\X", RegAccess::kAll).status, RegStatus::kBadPath);
  EXPECT_EQ(reg.Open(kLM, "", RegAccess::kQuery).status, RegStatus::kOk);  // the root itself
}

TEST(FakeRegistry, HandlesKeepTheirAccessRights) {
  FakeRegistry reg;
  reg.SetString(kLM, "Software\\V", "Product Version", "1.80");
  reg.DenyChanges(kLM);
  EXPECT_EQ(reg.Open(kLM, "Software\\V", RegAccess::kAll).status, RegStatus::kAccessDenied);
  EXPECT_EQ(reg.Create(kLM, "Software\\V", RegAccess::kAll).status, RegStatus::kAccessDenied);
  EXPECT_EQ(reg.Open(kLM, "Software\\V", RegAccess::kSetValue).status, RegStatus::kAccessDenied);

  RegOpen query = reg.Open(kLM, "Software\\V", RegAccess::kQuery);
  ASSERT_EQ(query.status, RegStatus::kOk);
  EXPECT_EQ(query.key->ReadString("Product Version").text, "1.80");
  EXPECT_EQ(query.key->WriteString("Product Version", "2", false), RegStatus::kAccessDenied);

  reg.SetString(kCU, "K", "v", "x");
  RegOpen set_only = reg.Open(kCU, "K", RegAccess::kSetValue);
  ASSERT_EQ(set_only.status, RegStatus::kOk);
  EXPECT_EQ(set_only.key->ReadString("v").status, RegStatus::kAccessDenied);
  std::vector<std::string> names;
  EXPECT_EQ(set_only.key->EnumSubKeys(&names), RegStatus::kAccessDenied);
  EXPECT_EQ(set_only.key->WriteString("v", "y", false), RegStatus::kOk);
  EXPECT_EQ(reg.GetString(kCU, "K", "v"), "y");
}

TEST(FakeRegistry, ReadsMeasureTheLimitAsStoredUtf16Data) {
  FakeRegistry reg;
  reg.SetString(kCU, "K", "127", std::string(127, 'a'));       // 256 bytes with the NUL
  reg.SetString(kCU, "K", "128", std::string(128, 'a'));       // 258 bytes
  reg.SetString(kCU, "K", "jp", "日本語");                     // 3 units + NUL = 8 bytes
  reg.SetString(kCU, "K", "pair", "\xF0\x9F\x98\x80");         // one surrogate pair + NUL = 6 bytes
  reg.Set(kCU, "K", "dw", {kRegDword, std::string(4, '\0')});
  reg.Set(kCU, "K", "nul", {kRegSz, std::string("ab\0cd", 5)});
  reg.Set(kCU, "K", "exp", {kRegExpandSz, "%TEMP%"});
  auto key = reg.Open(kCU, "K", RegAccess::kQuery).key;
  EXPECT_EQ(key->ReadString("127", 256).status, RegStatus::kOk);
  EXPECT_EQ(key->ReadString("128", 256).status, RegStatus::kMoreData);
  EXPECT_EQ(key->ReadString("128").text.size(), 128u);
  EXPECT_EQ(key->ReadString("jp", 8).text, "日本語");
  EXPECT_EQ(key->ReadString("jp", 7).status, RegStatus::kMoreData);
  EXPECT_EQ(key->ReadString("pair", 6).status, RegStatus::kOk);
  EXPECT_EQ(key->ReadString("pair", 5).status, RegStatus::kMoreData);
  EXPECT_EQ(key->ReadString("dw").status, RegStatus::kWrongType);
  EXPECT_EQ(key->ReadString("nul").text, "ab");
  EXPECT_EQ(key->ReadString("exp").text, "%TEMP%");  // not expanded
}

TEST(FakeRegistry, KeyDeletedUnderAHandleFailsItAndFaultsAreInjected) {
  FakeRegistry reg;
  auto key = reg.Create(kCU, "A\\B", RegAccess::kAll).key;
  reg.DeleteKey(kCU, "A");
  EXPECT_FALSE(reg.KeyExists(kCU, "A\\B"));
  EXPECT_EQ(key->WriteString("v", "x", false), RegStatus::kFailed);
  EXPECT_EQ(key->ReadString("v").status, RegStatus::kFailed);

  std::vector<RegOperation> seen;
  reg.SetFault([&](const RegOperation& op) {
    seen.push_back(op);
    return op.kind == RegOperation::kWrite && op.name == "bad" ? RegStatus::kFailed : RegStatus::kOk;
  });
  auto k = reg.Create(kCU, "C", RegAccess::kAll).key;
  EXPECT_EQ(k->WriteString("good", "1", false), RegStatus::kOk);
  EXPECT_EQ(k->WriteString("bad", "2", true), RegStatus::kFailed);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].kind, RegOperation::kCreate);
  EXPECT_EQ(seen[0].access, RegAccess::kAll);
  EXPECT_EQ(seen[2].name, "bad");
  ASSERT_EQ(reg.Writes().size(), 1u);  // only what really was written
  EXPECT_EQ(reg.Writes()[0].name, "good");
  EXPECT_FALSE(reg.Get(kCU, "C", "bad"));
}

TEST(FakeRegistry, LoadRefusesBrokenTextWithoutChangingAnything) {
  FakeRegistry reg;
  ASSERT_EQ(reg.Load("REGEDIT4\n[HKCU\\A]\n\"x\"=\"1\"\n"), std::nullopt);
  auto error = reg.Load("REGEDIT4\n[HKCU\\A]\n\"x\"=\"2\"\n[HKCU\\B]\n\"y\"=oops\n");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind("line 5:", 0), 0u) << *error;
  EXPECT_EQ(reg.GetString(kCU, "A", "x"), "1");
  EXPECT_FALSE(reg.KeyExists(kCU, "B"));
}

}  // namespace
}  // namespace vx
