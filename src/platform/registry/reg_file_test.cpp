#include "platform/registry/reg_file.h"

#include <gtest/gtest.h>

#include "platform/registry/fake_registry.h"

namespace vx {
namespace {

const RegFileValue* FindValue(const RegFileKey& key, std::string_view name) {
  for (const auto& v : key.values)
    if (v.name == name) return &v;
  return nullptr;
}

TEST(RegFile, ParsesEveryKindOfLineAFixtureUses) {
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "; settings of a test\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Marvex\\VUV Eruruz Odozid]\r\n"
      "\"Language\"=\"Japanese\"\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"   ; trailing comment\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  ff,\\\r\n"
      "  0A\r\n"
      "\"Expand\"=hex(2):25,54,00\r\n"
      "\"Multi\"=hex(7):61,00,62,00,00\r\n"
      "\"Gone\"=-\r\n"
      "[HKLM\\Software\\Marvex\\VUV Eruruz Odozid]\n"
      "\"Install Directory\"=\"C:\\\\VUV\"\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n";
  RegParseResult r = ParseRegFile(text);
  ASSERT_TRUE(r.ok) << r.line << ": " << r.error;
  ASSERT_EQ(r.file.keys.size(), 3u);
  const RegFileKey& cu = r.file.keys[0];
  EXPECT_EQ(cu.root, RegRoot::kCurrentUser);
  EXPECT_EQ(cu.path, "Software\\Marvex\\VUV Eruruz Odozid");
  EXPECT_EQ(FindValue(cu, "Language")->value, RegValue::String("Japanese"));
  EXPECT_EQ(FindValue(cu, "Path")->value.data, "C:\\Program Files\\\"x\"");
  EXPECT_EQ(FindValue(cu, "")->value.data, "default");
  EXPECT_EQ(FindValue(cu, "Count")->value, (RegValue{kRegDword, std::string("\x2a\0\0\0", 4)}));
  EXPECT_EQ(FindValue(cu, "Blob")->value, (RegValue{kRegBinary, "\x01\x02\xff\x0a"}));
  EXPECT_EQ(FindValue(cu, "Expand")->value, (RegValue{kRegExpandSz, "%T"}));
  EXPECT_EQ(FindValue(cu, "Multi")->value, (RegValue{kRegMultiSz, std::string("a\0b\0", 4)}));
  EXPECT_TRUE(FindValue(cu, "Gone")->remove);
  EXPECT_EQ(r.file.keys[1].root, RegRoot::kLocalMachine);
  EXPECT_EQ(FindValue(r.file.keys[1], "Install Directory")->value.data, "C:\\VUV");
  EXPECT_TRUE(r.file.keys[2].remove);
  EXPECT_EQ(r.file.keys[2].path, "Software\\Old");
}

TEST(RegFile, RefusesMalformedTextAtTheRightLine) {
  struct Case {
    std::string text;
    size_t line;
    std::string what;
  } cases[] = {
      {"", 1, "REGEDIT4"},
      {"Windows Registry Editor Version 5.00\n", 1, "REGEDIT4"},
      {"\xFF\xFEREGEDIT4", 1, "UTF-16"},
      {"REGEDIT4\n\"a\"=\"b\"\n", 2, "before the first key"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=\"unterminated\n", 3, "closing"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=\"bad \\q escape\"\n", 3, "escape"},
      {"REGEDIT4\n[HKEY_USERS\\k]\n", 2, "unknown root"},
      {"REGEDIT4\n[HKCU\\a\\\\b]\n", 2, "malformed key path"},
      {"REGEDIT4\n[HKCU\\a\\]\n", 2, "malformed key path"},
      {"REGEDIT4\n[HKCU\\" + std::string(256, 'k') + "]\n", 2, "malformed key path"},
      {"REGEDIT4\n[HKCU\\k\n", 2, "']'"},
      {"REGEDIT4\n[-HKCU]\n", 2, "root"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=\"b\" junk\n", 3, "unexpected text"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=dword:123456789\n", 3, "dword"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=dword:\n", 3, "dword"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=hex:01,abc\n", 3, "hex"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=hex:01 02\n", 3, "','"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=hex(zz):01\n", 3, "type"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=hex:01,\\\n", 3, "end of the file"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"=wat\n", 3, "unknown value data"},
      {"REGEDIT4\n[HKCU\\k]\n\"a\"\n", 3, "'='"},
      {"REGEDIT4\n[HKCU\\k]\nvalue=1\n", 3, "expected"},
      {"REGEDIT4\n[-HKCU\\k]\n\"a\"=\"b\"\n", 3, "deleted key"},
      {"REGEDIT4\n[HKCU\\k]\n\"" + std::string(16384, 'n') + "\"=\"\"\n", 3, "too long"},
  };
  for (const Case& c : cases) {
    RegParseResult r = ParseRegFile(c.text);
    EXPECT_FALSE(r.ok) << c.text.substr(0, 60);
    EXPECT_EQ(r.line, c.line) << c.text.substr(0, 60) << " -> " << r.error;
    EXPECT_NE(r.error.find(c.what), std::string::npos) << c.text.substr(0, 60) << " -> " << r.error;
  }
}

TEST(RegFile, DumpReadsBackToTheSameRegistry) {
  FakeRegistry reg;
  const std::string key = "Software\\Marvex\\VUV Eruruz Odozid";
  reg.SetString(RegRoot::kCurrentUser, key, "Language", "Japanese");
  reg.SetString(RegRoot::kCurrentUser, key, "VessixTitle", "「Vessix」のインストール");
  reg.SetString(RegRoot::kCurrentUser, key, "Quote\"And\\Slash", "a\"b\\c");
  reg.SetString(RegRoot::kCurrentUser, key, "Lines", "one\r\ntwo");
  reg.SetString(RegRoot::kCurrentUser, key, "", "default");
  reg.Set(RegRoot::kCurrentUser, key, "Nul", {kRegSz, std::string("a\0b", 3)});
  reg.Set(RegRoot::kCurrentUser, key, "Big", {kRegBinary, std::string(300, '\x5a')});
  reg.Set(RegRoot::kCurrentUser, key, "Dw", {kRegDword, std::string("\x01\x02\x03\x04")});
  reg.Set(RegRoot::kCurrentUser, key, "Qw", {kRegQword, std::string(8, '\x7f')});
  reg.Set(RegRoot::kCurrentUser, key, "Multi", {kRegMultiSz, std::string("x\0yy\0", 5)});
  reg.Set(RegRoot::kLocalMachine, "Software\\Empty\\Leaf", "Exp", {kRegExpandSz, "%ProgramFiles%"});
  reg.DeleteValue(RegRoot::kLocalMachine, "Software\\Empty\\Leaf", "Exp");  // leaves an empty key

  std::string dump = reg.Dump();
  FakeRegistry copy;
  ASSERT_EQ(copy.Load(dump), std::nullopt) << dump;
  EXPECT_EQ(copy.Dump(), dump);
  EXPECT_EQ(copy.GetString(RegRoot::kCurrentUser, key, "Lines"), "one\r\ntwo");
  EXPECT_EQ(copy.GetString(RegRoot::kCurrentUser, key, "vessixtitle"), "「Vessix」のインストール");
  EXPECT_EQ(copy.Get(RegRoot::kCurrentUser, key, "Nul")->data, std::string("a\0b", 3));
  EXPECT_EQ(copy.Get(RegRoot::kCurrentUser, key, "Multi")->data, std::string("x\0yy\0", 5));
  EXPECT_TRUE(copy.KeyExists(RegRoot::kLocalMachine, "software\\empty\\leaf"));
  // Long hex data is wrapped into continuation lines.
  for (size_t start = 0, nl; (nl = dump.find('\n', start)) != std::string::npos; start = nl + 1)
    EXPECT_LE(nl - start, 80u);
}

}  // namespace
}  // namespace vx
