#include <windows.h>

#include <gtest/gtest.h>

#include "platform/text_codec.h"

namespace vx {

TEST(TextCodecWin32, WideRoundTripKeepsJapanese) {
  const std::string text = "「Vessix」のインストール";
  std::wstring wide = Widen(text);
  EXPECT_EQ(wide.substr(0, 1), L"\x300c");
  EXPECT_EQ(Narrow(wide), text);
  EXPECT_EQ(Widen(""), L"");
}

TEST(TextCodecWin32, AnsiCodecRoundTripsAscii) {
  const auto& codec = SystemTextCodec();
  EXPECT_EQ(codec.AnsiToUtf8("PRINTER"), "PRINTER");
  EXPECT_EQ(codec.Utf8ToAnsi("MD-LAN01"), "MD-LAN01");
}

}  // namespace vx
