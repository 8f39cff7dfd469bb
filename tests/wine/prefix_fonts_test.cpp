// The test prefix (wine-env.sh) has Wine's own fonts in place: caption
// buttons are drawn with Marlett's glyphs, dialogs with Tahoma. Without them
// Wine substitutes another face and the buttons show the letters "0 1 r".
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// The face the system picks for a request of `face` in `charset`.
std::wstring ChosenFace(const wchar_t* face, BYTE charset) {
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t chosen[LF_FACESIZE] = {};
  int n = GetTextFaceW(dc, LF_FACESIZE, chosen);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return std::wstring(chosen, n > 0 ? static_cast<size_t>(n - 1) : 0);
}

TEST(PrefixFonts, CaptionButtonGlyphsComeFromMarlett) {
  EXPECT_EQ(ChosenFace(L"Marlett", SYMBOL_CHARSET), L"Marlett");
  // The caption font of the system metrics is what the frame draws its
  // buttons with after the substitution above; minimise is glyph '0'.
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Marlett");
  HGDIOBJ old = SelectObject(dc, font);
  WORD glyph = 0;
  EXPECT_EQ(GetGlyphIndicesW(dc, L"0", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS), 1u);
  EXPECT_NE(glyph, 0xFFFF);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
}

TEST(PrefixFonts, DialogTextUsesTahoma) { EXPECT_EQ(ChosenFace(L"Tahoma", DEFAULT_CHARSET), L"Tahoma"); }

}  // namespace
