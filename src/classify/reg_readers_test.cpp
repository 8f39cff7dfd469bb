#include "classify/reg_readers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/registry/fake_registry.h"
#include "platform/registry/reg_data.h"

namespace vx::classify {
namespace {

using namespace std::string_literals;
using ::testing::ElementsAre;

std::string Wide(std::string_view utf8) { return Utf8ToUtf16Le(utf8); }

TEST(ParseMultiSz, SplitsAtNulsAndStopsAtTheEmptyString) {
  EXPECT_EQ(ParseMultiSz(Wide("a\0bc\0\0ignored\0\0"s)), (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(ParseMultiSz(Wide("\0a\0\0"s)), std::vector<std::string>{});
  EXPECT_EQ(ParseMultiSz(""), std::vector<std::string>{});
}

TEST(ParseMultiSz, KeepsAnUnterminatedLastStringAndDropsAnOddByte) {
  EXPECT_EQ(ParseMultiSz(Wide("a\0bc"s)), (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(ParseMultiSz(Wide("a\0b\0"s) + "x"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ParseMultiSz("x"), std::vector<std::string>{});
  // A lone surrogate in an entry is replaced, the entry kept.
  EXPECT_EQ(ParseMultiSz("a\0\x00\xD8\0\0"s), (std::vector<std::string>{"a\xEF\xBF\xBD"}));
}

class RegReadersTest : public ::testing::Test {
 protected:
  void Load(const std::string& text) { ASSERT_FALSE(reg_.Load("REGEDIT4\n[HKLM\\K]\n" + text)); }
  void SetMulti(std::string_view name, const std::string& data) {
    reg_.Set(RegRoot::kLocalMachine, "K", name, {kRegMultiSz, data});
  }
  FakeRegistry reg_;
  RegReaders readers_{reg_};
};

TEST_F(RegReadersTest, MultiSzOfAtMost1024StoredBytesIsRead) {
  // 511 one-byte characters and a terminator: 1024 bytes as UTF-16; one more is too many.
  SetMulti("Fits", std::string(510, 'a') + '\0' + '\0');
  SetMulti("TooLong", std::string(511, 'a') + '\0' + '\0');
  auto fits = readers_.ReadRegMultiSz("K\\", "Fits");
  ASSERT_EQ(fits.size(), 1u);
  EXPECT_EQ(fits[0].size(), 510u);
  EXPECT_TRUE(readers_.ReadRegMultiSz("K", "TooLong").empty());
  // The limit counts stored bytes: 400 three-byte characters are 800 bytes as UTF-16.
  std::string kana;
  for (int i = 0; i < 400; ++i) kana += "\xE3\x81\x82";
  SetMulti("Kana", kana + '\0' + '\0');
  EXPECT_EQ(readers_.ReadRegMultiSz("K", "Kana").size(), 1u);
}

TEST_F(RegReadersTest, ValuesOfTheWrongTypeReadAsTheDefaults) {
  Load(
      "\"Text\"=\"USB\\\\Class_07\"\n\"Dword\"=dword:00000001\n\"Bin\"=hex:01,00,00,00\n"
      "\"Multi\"=hex(7):61,00,00\n\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n\"Short\"=hex(4):01,02\n");
  EXPECT_TRUE(readers_.ReadRegMultiSz("K", "Text").empty());
  EXPECT_TRUE(readers_.ReadRegMultiSz("K", "Dword").empty());
  EXPECT_EQ(readers_.ReadRegSz("K", "Dword"), "");
  EXPECT_EQ(readers_.ReadRegSz("K", "Multi"), "");
  EXPECT_EQ(readers_.ReadRegDword("K", "Text"), 0u);
  EXPECT_EQ(readers_.ReadRegDword("K", "Bin"), 0u);
  EXPECT_EQ(readers_.ReadRegDword("K", "Qword"), 0u);
  EXPECT_EQ(readers_.ReadRegDword("K", "Short"), 0u);
  EXPECT_EQ(readers_.ReadRegDword("K", "Dword"), 1u);
  EXPECT_EQ(readers_.ReadRegSz("K", "Text"), "USB\\Class_07");
  EXPECT_THAT(readers_.ReadRegMultiSz("K", "Multi"), ElementsAre("a"));
}

TEST_F(RegReadersTest, MissingKeysAndValuesReadAsTheDefaults) {
  Load("\"Dword\"=dword:fffffffe\n");
  EXPECT_EQ(readers_.ReadRegDword("K", "Dword"), 0xFFFFFFFEu);
  EXPECT_EQ(readers_.ReadRegDword("K", "None"), 0u);
  EXPECT_EQ(readers_.ReadRegSz("Nothing\\Here", "X"), "");
  EXPECT_TRUE(readers_.ReadRegMultiSz("Nothing", "X").empty());
  // An empty key (a node that was not found) never reads the root.
  reg_.SetString(RegRoot::kLocalMachine, "", "Class", "Image");
  EXPECT_EQ(readers_.ReadRegSz("", "Class"), "");
  EXPECT_TRUE(readers_.EnumRegSubKeys("", 5).empty());
  // A malformed path is a failure like any other.
  EXPECT_EQ(readers_.ReadRegSz("K\\\\\\X", "Dword"), "");
}

TEST_F(RegReadersTest, TextsLongerThanTheBufferReadAsEmpty) {
  reg_.SetString(RegRoot::kLocalMachine, "K", "Fits", std::string(127, 'x'));
  reg_.SetString(RegRoot::kLocalMachine, "K", "Long", std::string(128, 'x'));
  EXPECT_EQ(readers_.ReadRegSz("K", "Fits").size(), 127u);
  EXPECT_EQ(readers_.ReadRegSz("K", "Long"), "");
}

TEST_F(RegReadersTest, SubKeysByIndex) {
  ASSERT_FALSE(reg_.Load("REGEDIT4\n[HKLM\\K\\b]\n[HKLM\\K\\A]\n[HKLM\\K\\c]\n"));
  EXPECT_EQ(readers_.EnumRegSubKey("K", 0), "A");
  EXPECT_EQ(readers_.EnumRegSubKey("K\\", 2), "c");
  EXPECT_EQ(readers_.EnumRegSubKey("K", 3), "");
  EXPECT_EQ(readers_.EnumRegSubKey("K", -1), "");
  EXPECT_EQ(readers_.EnumRegSubKey("None", 0), "");
  EXPECT_THAT(readers_.EnumRegSubKeys("K", 2), ElementsAre("A", "b"));
}

TEST_F(RegReadersTest, UnreadableKeysReadAsTheDefaults) {
  Load("\"S\"=\"x\"\n");
  reg_.SetFault([](const RegOperation& op) {
    return op.kind == RegOperation::kOpen ? RegStatus::kAccessDenied : RegStatus::kOk;
  });
  EXPECT_EQ(readers_.ReadRegSz("K", "S"), "");
  EXPECT_EQ(readers_.EnumRegSubKey("", 0), "");
}

}  // namespace
}  // namespace vx::classify
