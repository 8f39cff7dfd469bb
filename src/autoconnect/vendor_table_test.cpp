#include "autoconnect/vendor_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace vx::autoconnect {
namespace {

using Sections = std::vector<std::vector<std::string>>;

Sections Parse(std::string_view bytes) { return ParseVendorDriverTable(bytes, IdentityTextCodec()).sections; }

// Upper-cases ASCII: stands in for the system's code page in tests.
class ShoutingCodec final : public TextCodec {
 public:
  std::string AnsiToUtf8(std::string_view ansi) const override {
    std::string s(ansi);
    for (char& c : s)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
  }
  std::string Utf8ToAnsi(std::string_view utf8) const override { return std::string(utf8); }
};

TEST(VendorTableParse, SectionsInFileOrderValuesInFileOrderNamesAndKeysIgnored) {
  EXPECT_EQ(Parse("[Inko]\nVid=04B8\nName1=INKO\nName2 = MX- \n"
                  "[Kappa Works]\nx=04F9\nx=Kappa\n; comment=ignored\nno equals sign\n"
                  "[Empty]\n"),
            (Sections{{"04B8", "INKO", "MX-"}, {"04F9", "Kappa"}, {}}));
}

TEST(VendorTableParse, EmptyValuesAreDroppedAndQuotesRemoved) {
  EXPECT_EQ(Parse("[a]\nv=\nv=   \nv=\"\"\nv=04B8\nv=\"Jet \"\nv='x'\nv=\"half\n=keyless\n"),
            (Sections{{"04B8", "Jet ", "x", "\"half", "keyless"}}));
}

TEST(VendorTableParse, ARepeatedSectionNameIsASectionOfItsOwn) {
  EXPECT_EQ(Parse("[V]\n1=04B8\n2=INKO\n[V]\n1=04F9\n[v]\n1=0A5F\n"),
            (Sections{{"04B8", "INKO"}, {"04F9"}, {"0A5F"}}));
}

TEST(VendorTableParse, LineEndsInAnyMixAndNulsEndTheirLine) {
  EXPECT_EQ(Parse("\xEF\xBB\xBF[a]\r\n1=04B8\r2=one\n\r3=two\r\n\r\n[b]\n1=04F9"),
            (Sections{{"04B8", "one", "two"}, {"04F9"}}));
  using namespace std::string_literals;
  EXPECT_EQ(Parse("[a]\n1=04B8\0garbage=x\n2=a\0b\n\0[b]\n3=c\n"s), (Sections{{"04B8", "a", "c"}}));
}

TEST(VendorTableParse, EntriesBeforeTheFirstSectionAndUnclosedHeadersAreHandled) {
  EXPECT_EQ(Parse("stray=1\n[unclosed\n1=04B8\n   [ spaced ]  \n 1 =  04F9 \t\n"),
            (Sections{{"04B8"}, {"04F9"}}));
  EXPECT_EQ(Parse(""), Sections{});
  EXPECT_EQ(Parse("no sections at all\n=\n"), Sections{});
}

TEST(VendorTableParse, LinesLongerThan64KiBAreOrdinaryLines) {
  const std::string long_value(70000, 'Q');
  const std::string long_name(100000, 'N');
  const Sections s =
      Parse("[" + long_name + "]\n1=04B8\n2=" + long_value + "\n3=after\n" + long_value + "\n[b]\n1=04F9\n");
  ASSERT_EQ(s.size(), 2u);
  ASSERT_EQ(s[0].size(), 3u);
  EXPECT_EQ(s[0][1], long_value);
  EXPECT_EQ(s[0][2], "after");
  EXPECT_EQ(s[1], std::vector<std::string>{"04F9"});
}

TEST(VendorTableParse, Utf16FilesAreDecodedAndOtherTextGoesThroughTheCodePage) {
  const std::u16string text = u"[a]\r\n1=04B8\r\n2=日本\r\n";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t c : text) {
    le += char(c & 0xFF);
    le += char(c >> 8);
    be += char(c >> 8);
    be += char(c & 0xFF);
  }
  EXPECT_EQ(Parse(le), (Sections{{"04B8", "日本"}}));
  EXPECT_EQ(Parse(be), (Sections{{"04B8", "日本"}}));
  EXPECT_EQ(Parse(le + "\x41"), (Sections{{"04B8", "日本"}}));         // an odd last byte
  EXPECT_EQ(Parse(std::string("\xFF\xFE\x00\xD8[\0", 6)).size(), 0u);  // a lone surrogate

  ShoutingCodec codec;
  EXPECT_EQ(ParseVendorDriverTable("[a]\n1=04b8\n2=caf\xE9\n", codec).sections,
            (Sections{{"04B8", "CAF\xE9"}}));
  EXPECT_EQ(ParseVendorDriverTable("[a]\n1=04b8\n2=café\n", codec).sections, (Sections{{"04b8", "café"}}));
}

TEST(VendorTableParse, SurvivesGarbageWithoutPartialRecords) {
  std::mt19937 random(12);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(size_t(random() % 3000), '\0');
    for (char& c : bytes) c = char(random() % 4 == 0 ? "[]=\r\n;\0"[random() % 7] : random() & 0xFF);
    const Sections s = Parse(bytes);
    for (const auto& section : s)
      for (const std::string& v : section) {
        EXPECT_FALSE(v.empty());
        EXPECT_EQ(v.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
      }
  }
}

TEST(VendorTableMatch, TheOwnSectionIsTheFirstWithTheVidAndFragmentsMatchIgnoringCase) {
  VendorDriverTable t;
  t.sections = {{"04B8", "INKO", "INKJET"}, {"04F9", "KAPPA"}, {"04B8", "OTHER"}, {"03F0"}, {}};
  EXPECT_EQ(VendorSection(t, "04B8"), 0);
  EXPECT_EQ(VendorSection(t, "04b8"), -1);  // vendor ids compare case-sensitively
  EXPECT_EQ(VendorSection(t, "03F0"), 3);
  EXPECT_EQ(VendorSection(t, "1234"), -1);

  EXPECT_TRUE(IsOtherVendorName(t, 0, "kappa KX-900"));
  EXPECT_FALSE(IsOtherVendorName(t, 0, "INKO MX-105"));
  EXPECT_TRUE(
      IsOtherVendorName(t, 0, "Another printer"));      // the later "04B8" section counts as another vendor
  EXPECT_FALSE(IsOtherVendorName(t, 0, "04F9 queue"));  // vendor ids are not name fragments
  // A section with only a vendor id marks nothing; without an own section nothing is marked.
  EXPECT_TRUE(IsOtherVendorName(t, 3, "inko"));
  EXPECT_FALSE(IsOtherVendorName(t, -1, "Kappa"));
  VendorDriverTable only_ids;
  only_ids.sections = {{"04B8"}, {"04F9"}};
  EXPECT_FALSE(IsOtherVendorName(only_ids, 0, "04F9"));

  EXPECT_TRUE(ContainsNoCase("abcDEF", "cdE"));
  EXPECT_FALSE(ContainsNoCase("abc", "abcd"));
  EXPECT_FALSE(ContainsNoCase("abc", ""));
}

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vx-vendor-table-" + std::to_string(std::random_device{}()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& bytes) {
    const auto path = dir_ / "ZARiraver.ini";
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path dir_;
};

TEST_F(IniFile, ReadsTheFileAndAMissingOneLeavesTheTableEmpty) {
  VendorDriverTable t;
  t.sections = {{"stale"}};
  EXPECT_EQ(ReadZARiraverIni((dir_ / "ZARiraver.ini").string(), IdentityTextCodec(), t),
            VendorTableRead::kMissing);
  EXPECT_TRUE(t.empty());
  const std::string path = Write("[Inko]\n1=04B8\n2=INKO\n");
  EXPECT_EQ(ReadZARiraverIni(path, IdentityTextCodec(), t), VendorTableRead::kRead);
  EXPECT_EQ(t.sections, (Sections{{"04B8", "INKO"}}));
  EXPECT_EQ(ReadZARiraverIni(dir_.string(), IdentityTextCodec(), t), VendorTableRead::kFailed);
  EXPECT_TRUE(t.empty());
}

TEST_F(IniFile, AFileLargerThanAnyVendorTableIsNotRead) {
  std::string big = "[a]\n1=04B8\n2=INKO\n";
  big.resize(kMaxVendorTableBytes + 1, ';');
  VendorDriverTable t;
  EXPECT_EQ(ReadZARiraverIni(Write(big), IdentityTextCodec(), t), VendorTableRead::kTooLarge);
  EXPECT_TRUE(t.empty());
  big.resize(kMaxVendorTableBytes);
  EXPECT_EQ(ReadZARiraverIni(Write(big), IdentityTextCodec(), t), VendorTableRead::kRead);
  EXPECT_EQ(t.sections, (Sections{{"04B8", "INKO"}}));
}

}  // namespace
}  // namespace vx::autoconnect
