// Rendering registry templates: escaping for the place a value lands in,
// multi-strings, and refusals with the line and the reason.
#include "pnp_template.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/registry/fake_registry.h"

namespace vx::lab::pnp {
namespace {

using ::testing::HasSubstr;

constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

std::unique_ptr<FakeRegistry> Loaded(const RenderResult& r) {
  auto reg = std::make_unique<FakeRegistry>();
  EXPECT_TRUE(r.ok) << r.error;
  auto error = reg->Load(r.text);
  EXPECT_FALSE(error) << *error;
  return reg;
}

TEST(PnpTemplate, QuotedValuesKeepQuotesAndBackslashesThroughRegedit) {
  const char* tmpl =
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\{{queue}}]\n"
      "\"Printer Driver\"=\"{{driver}}\"\n"
      "\"{{value_name}}\"=\"x\"\n"
      "\"Path\"=\"USBPRINT\\\\{{driver}}\\\\end\"\n";
  Values v = {{"queue", "Acme \"Pro\" 9, Series"},
              {"driver", "C:\\drivers\\\"odd\"\\"},
              {"value_name", "a\\b \"c\""}};
  RenderResult r = RenderTemplate(tmpl, v);
  auto reg = Loaded(r);
  std::string key = std::string(kKey) + "\\Acme \"Pro\" 9, Series";
  EXPECT_EQ(reg->GetString(RegRoot::kLocalMachine, key, "Printer Driver"), "C:\\drivers\\\"odd\"\\");
  EXPECT_EQ(reg->GetString(RegRoot::kLocalMachine, key, "a\\b \"c\""), "x");
  EXPECT_EQ(reg->GetString(RegRoot::kLocalMachine, key, "Path"), "USBPRINT\\C:\\drivers\\\"odd\"\\\\end");
}

TEST(PnpTemplate, KeyNamesMustStayOneKeyName) {
  const char* tmpl = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\{{queue}}]\n";
  for (const char* bad : {"a\\b", "a]b", "[a", " lead", "trail ", ""}) {
    RenderResult r = RenderTemplate(tmpl, {{"queue", bad}});
    EXPECT_FALSE(r.ok) << bad;
    EXPECT_THAT(r.error, HasSubstr("line 3: the value of \"queue\"")) << bad;
    EXPECT_TRUE(r.text.empty());
  }
  RenderResult ok = RenderTemplate(tmpl, {{"queue", "Acme \"Pro\" 9 & Co."}});
  auto reg = Loaded(ok);
  EXPECT_TRUE(reg->KeyExists(RegRoot::kLocalMachine, "SOFTWARE\\Acme \"Pro\" 9 & Co."));
}

TEST(PnpTemplate, BareValuesHoldLettersAndDigitsOnly) {
  const char* tmpl = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"DeviceType\"=dword:{{type}}\n";
  auto reg = Loaded(RenderTemplate(tmpl, {{"type", "0000000a"}}));
  auto value = reg->Get(RegRoot::kLocalMachine, "SOFTWARE\\X", "DeviceType");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, kRegDword);
  EXPECT_EQ(value->data, std::string("\x0a\0\0\0", 4));
  for (const char* bad : {"1 2", "1\"", "00000001\n\"x\"=\"y\""}) {
    RenderResult r = RenderTemplate(tmpl, {{"type", bad}});
    EXPECT_FALSE(r.ok) << bad;
    EXPECT_THAT(r.error, HasSubstr("line 3:")) << bad;
  }
}

TEST(PnpTemplate, RefusesMissingAndMalformedPlaceholders) {
  const char* tmpl =
      "REGEDIT4\n"
      "; {{comments}} are not rendered\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\{{vid}}]\n"
      "\"Name\"=\"{{queue}}\"\n";
  RenderResult r = RenderTemplate(tmpl, {{"vid", "04B8"}});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "line 4: no value for placeholder \"queue\"");

  r = RenderTemplate("REGEDIT4\n\"a\"=\"{{queue\"\n", {{"queue", "x"}});
  EXPECT_EQ(r.error, "line 2: \"{{\" without \"}}\"");
  r = RenderTemplate("REGEDIT4\n\"a\"=\"{{que ue}}\"\n", {});
  EXPECT_THAT(r.error, HasSubstr("line 2: bad placeholder"));
  r = RenderTemplate("REGEDIT4\n\"a\"=\"{{}}\"\n", {});
  EXPECT_THAT(r.error, HasSubstr("line 2: bad placeholder"));
}

TEST(PnpTemplate, ValuesAreLimitedToPrintableAscii) {
  const char* tmpl = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"Name\"=\"{{queue}}\"\n";
  for (std::string bad : {std::string("line\nbreak"), std::string("tab\there"), std::string("\xE3\x83\x97"),
                          std::string("nul\0x", 5), std::string("del\x7F")}) {
    RenderResult r = RenderTemplate(tmpl, {{"queue", bad}});
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.error, HasSubstr("printable ASCII"));
  }
}

TEST(PnpTemplate, MultiStringListsBecomeHex7) {
  const char* tmpl =
      "REGEDIT4\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_{{vid}}&PID_0001\\1]\r\n"
      "\"CompatibleIDs\"=multi:\"USB\\\\Class_07&SubClass_01&Prot_02\",\"USB\\\\Class_07\"\r\n"
      "\"HardwareID\"=multi:\"USBPRINT\\\\{{hwid}}\"\r\n";
  RenderResult r = RenderTemplate(tmpl, {{"vid", "04B8"}, {"hwid", "A\"B\\C"}});
  EXPECT_THAT(r.text, HasSubstr("\"CompatibleIDs\"=hex(7):55,53,42,5c"));
  EXPECT_EQ(r.text.find("multi:"), std::string::npos);
  auto reg = Loaded(r);
  std::string key = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_04B8&PID_0001\\1";
  auto ids = reg->Get(RegRoot::kLocalMachine, key, "CompatibleIDs");
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->type, kRegMultiSz);
  EXPECT_EQ(ids->data, std::string("USB\\Class_07&SubClass_01&Prot_02\0USB\\Class_07\0", 46));
  auto hw = reg->Get(RegRoot::kLocalMachine, key, "HardwareID");
  ASSERT_TRUE(hw);
  EXPECT_EQ(hw->data, std::string("USBPRINT\\A\"B\\C\0", 15));

  for (const char* bad :
       {"REGEDIT4\n\"a\"=multi:\n", "REGEDIT4\n\"a\"=multi:\"x\",\n", "REGEDIT4\n\"a\"=multi:\"x\";\"y\"\n",
        "REGEDIT4\n\"a\"=multi:\"x\",\"\"\n", "REGEDIT4\n\"a\"=multi:\"x\n"}) {
    RenderResult m = RenderTemplate(bad, {});
    EXPECT_FALSE(m.ok) << bad;
    EXPECT_THAT(m.error, HasSubstr("line 2: a multi: list")) << bad;
  }
}

TEST(PnpTemplate, RefusesTextThatIsNotRegedit4) {
  RenderResult r = RenderTemplate("[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n", {});
  EXPECT_FALSE(r.ok);
  EXPECT_THAT(r.error, HasSubstr("not valid REGEDIT4: line 1"));
  r = RenderTemplate("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"a\"=dword:{{n}}\n",
                     {{"n", "123456789"}});
  EXPECT_FALSE(r.ok);
  EXPECT_THAT(r.error, HasSubstr("not valid REGEDIT4: line 3"));
  r = RenderTemplate(std::string(kMaxTemplateBytes + 1, ';'), {});
  EXPECT_THAT(r.error, HasSubstr("larger than"));
}

TEST(PnpTemplate, ProfileNamesNeverLeaveTheTemplateFolder) {
  std::string text, error;
  for (const char* bad : {"../printer", "printer.reg", "Printer", "", "a/b", "x y"}) {
    EXPECT_FALSE(LoadTemplate(VX_PNP_TEMPLATES, bad, &text, &error)) << bad;
    EXPECT_THAT(error, HasSubstr("bad profile name")) << bad;
  }
  EXPECT_FALSE(LoadTemplate(VX_PNP_TEMPLATES, "no-such-profile", &text, &error));
  EXPECT_THAT(error, HasSubstr("no template for profile \"no-such-profile\""));
  EXPECT_TRUE(LoadTemplate(VX_PNP_TEMPLATES, "printer", &text, &error)) << error;
  EXPECT_EQ(text.rfind("REGEDIT4", 0), 0u);
}

}  // namespace
}  // namespace vx::lab::pnp
