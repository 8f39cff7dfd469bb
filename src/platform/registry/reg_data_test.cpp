#include "platform/registry/reg_data.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry/fake_registry.h"

namespace vx {
namespace {

using namespace std::string_literals;

TEST(RegData, RoundTripsTextWithNulsAndAstralCharacters) {
  const std::string text = "USB\\Class_07\0\xE6\x97\xA5\xE6\x9C\xAC\0\xF0\x9F\x96\xA8\0\0"s;
  std::string wide = Utf8ToUtf16Le(text);
  EXPECT_EQ(wide.size(), (12 + 1 + 2 + 1 + 2 + 2) * 2u);
  EXPECT_EQ(Utf16LeToUtf8(wide), text);
}

TEST(RegData, MalformedInputBecomesReplacementCharacters) {
  // A lone high surrogate, a lone low surrogate, then an odd trailing byte.
  EXPECT_EQ(Utf16LeToUtf8("\x00\xD8"
                          "A\x00"
                          "\x00\xDC"
                          "Z"s),
            "\xEF\xBF\xBD"
            "A\xEF\xBF\xBD");
  // A high surrogate as the last unit.
  EXPECT_EQ(Utf16LeToUtf8("A\x00\x3D\xD8"s), "A\xEF\xBF\xBD");
  // A stray continuation byte, a truncated sequence, an overlong NUL.
  EXPECT_EQ(Utf8ToUtf16Le("\x80"
                          "a"
                          "\xE6\x97"
                          "\xC0\x80"s),
            "\xFD\xFF"
            "a\x00"
            "\xFD\xFF\xFD\xFF"
            "\xFD\xFF\xFD\xFF"s);
}

TEST(RegData, FakeReadsValuesAsStored) {
  FakeRegistry reg;
  ASSERT_FALSE(reg.Load("REGEDIT4\n[HKLM\\K]\n\"S\"=\"ab\"\n\"M\"=hex(7):61,00,62\n\"D\"=dword:01020304\n"));
  auto key = reg.Open(RegRoot::kLocalMachine, "K", RegAccess::kQuery).key;
  ASSERT_TRUE(key);
  auto s = key->ReadValue("S");
  EXPECT_EQ(s.type, kRegSz);
  EXPECT_EQ(s.data, "a\0b\0\0\0"s);  // with its terminator
  auto m = key->ReadValue("m");
  EXPECT_EQ(m.type, kRegMultiSz);
  EXPECT_EQ(m.data, "a\0\0\0b\0"s);  // no terminator was given, none is added
  auto d = key->ReadValue("D");
  EXPECT_EQ(d.type, kRegDword);
  EXPECT_EQ(d.data, "\x04\x03\x02\x01"s);
  EXPECT_EQ(key->ReadValue("S", 5).status, RegStatus::kMoreData);
  EXPECT_EQ(key->ReadValue("S", 6).status, RegStatus::kOk);
  EXPECT_EQ(key->ReadValue("none").status, RegStatus::kNotFound);
  auto write_only = reg.Open(RegRoot::kLocalMachine, "K", RegAccess::kSetValue).key;
  EXPECT_EQ(write_only->ReadValue("S").status, RegStatus::kAccessDenied);
}

}  // namespace
}  // namespace vx
