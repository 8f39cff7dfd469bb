#include "scan/jpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "scan/test_support.h"

namespace vx::scan {
namespace {

using testing::ReadAll;
using testing::TempFolder;

// Largest difference of any channel between a BMP and decoded RGB.
int MaxDifference(const BmpImage& bmp, const RgbPicture& rgb) {
  std::vector<uint8_t> row(static_cast<size_t>(bmp.width) * 3);
  int worst = 0;
  for (int y = 0; y < bmp.height; ++y) {
    bmp.RowToRgb(y, row.data());
    for (size_t i = 0; i < row.size(); ++i)
      worst = std::max(worst, std::abs(row[i] - rgb.rgb[static_cast<size_t>(y) * row.size() + i]));
  }
  return worst;
}

TEST(JpegEncoder, EncodesBaselineThreeComponentsAndIsReusable) {
  JpegEncoder encoder;
  std::vector<uint8_t> out;
  // Two pictures of different size through one encoder and one buffer.
  for (auto [w, h] : {std::pair{64, 48}, std::pair{17, 33}}) {
    auto bytes = testing::Gradient(w, h);
    auto bmp = ParseBmp(bytes);
    ASSERT_TRUE(bmp);
    ASSERT_TRUE(encoder.Encode(*bmp, kJpegQuality, out));
    auto frame = ReadJpegFrame(out);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->marker, 0xC0);
    EXPECT_EQ(frame->components, 3);
    EXPECT_EQ(frame->bits_per_component, 8);
    EXPECT_EQ(frame->width, w);
    EXPECT_EQ(frame->height, h);
    RgbPicture decoded;
    ASSERT_TRUE(DecodeJpeg(out, decoded));
    EXPECT_LE(MaxDifference(*bmp, decoded), 12);
  }
  auto bytes = testing::Gradient(8, 8);
  auto bmp = ParseBmp(bytes);
  // Too wide for JPEG: refused with a reason, and the encoder still works.
  BmpImage too_wide = *bmp;
  too_wide.width = 70000;
  std::string error;
  EXPECT_FALSE(encoder.Encode(too_wide, kJpegQuality, out, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(encoder.Encode(*bmp, kJpegQuality, out));
}

TEST(DecodeJpeg, BadDataFailsWithoutEndingTheProcess) {
  JpegEncoder encoder;
  auto bytes = testing::Gradient(32, 32);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(encoder.Encode(*ParseBmp(bytes), kJpegQuality, jpeg));
  RgbPicture out;
  std::string error;
  EXPECT_FALSE(DecodeJpeg(std::span(jpeg).first(20), out, &error));
  EXPECT_FALSE(error.empty());
  std::vector<uint8_t> garbage(100, 0x55);
  EXPECT_FALSE(DecodeJpeg(garbage, out, &error));
  // A picture above the limit is refused before it is allocated.
  EXPECT_FALSE(DecodeJpeg(jpeg, out, &error, 32 * 32 - 1));
  EXPECT_TRUE(DecodeJpeg(jpeg, out, &error));
}

TEST(JfifDensity, PatchedAndReadInMemoryAndInFiles) {
  TempFolder dir;
  JpegEncoder encoder;
  auto bytes = testing::Gradient(16, 16);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(encoder.Encode(*ParseBmp(bytes), kJpegQuality, jpeg));
  ASSERT_EQ(FindJfifDensity(jpeg), 13u);  // FFD8 FFE0 length "JFIF\0" 1.1 -> units at 13

  auto patched = jpeg;
  ASSERT_TRUE(PatchJfifDensity(patched, 300));
  EXPECT_EQ(patched[13], 1);
  EXPECT_EQ(patched[14], 0x01);
  EXPECT_EQ(patched[15], 0x2C);
  EXPECT_EQ(patched[16], 0x01);
  EXPECT_EQ(patched[17], 0x2C);
  EXPECT_TRUE(std::equal(patched.begin() + 18, patched.end(), jpeg.begin() + 18));
  EXPECT_EQ(ReadJfifDensity(patched), 300);
  EXPECT_FALSE(PatchJfifDensity(patched, 70000));

  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "a.jpg", jpeg));
  ASSERT_TRUE(SetJpegDensity(LocalFileStore(), dir / "a.jpg", 600));
  EXPECT_EQ(GetJpegDensity(LocalFileStore(), dir / "a.jpg"), 600);
  EXPECT_EQ(ReadAll(dir / "a.jpg").size(), jpeg.size());
  EXPECT_EQ(GetJpegDensity(LocalFileStore(), dir / "missing.jpg"), 0);
}

TEST(JfifDensity, NoMarkerInTheFirst64BytesFailsCleanly) {
  TempFolder dir;
  // An Exif-style file: the marker text only appears after byte 64.
  std::vector<uint8_t> exif = {0xFF, 0xD8, 0xFF, 0xE1};
  exif.resize(70, 0);
  const char tag[] = "JFIF";
  std::copy(tag, tag + 4, exif.begin() + 61);  // would end at byte 65
  exif.resize(100, 0);
  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "e.jpg", exif));
  EXPECT_FALSE(SetJpegDensity(LocalFileStore(), dir / "e.jpg", 300));
  EXPECT_EQ(ReadAll(dir / "e.jpg"), exif);
  EXPECT_EQ(GetJpegDensity(LocalFileStore(), dir / "e.jpg"), 0);

  // The marker near the end of a short file: the densities would lie beyond it.
  std::vector<uint8_t> short_file = {'x', 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0};
  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "s.jpg", short_file));
  EXPECT_FALSE(SetJpegDensity(LocalFileStore(), dir / "s.jpg", 300));
  EXPECT_EQ(ReadAll(dir / "s.jpg"), short_file);
}

TEST(ReadJpegFrame, FindsTheFrameAndRefusesBrokenSegments) {
  // SOI, an APP segment, a progressive frame of 1 component.
  std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xFF, 0xC2,
                            0x00, 0x0B, 0x08, 0x0D, 0xB4, 0x09, 0xB0, 0x01, 0x01, 0x11, 0x00};
  auto frame = ReadJpegFrame(j);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->marker, 0xC2);
  EXPECT_EQ(frame->width, 2480);
  EXPECT_EQ(frame->height, 3508);
  EXPECT_EQ(frame->components, 1);

  auto with = [&](size_t at, uint8_t v) {
    auto c = j;
    c[at] = v;
    return c;
  };
  EXPECT_FALSE(ReadJpegFrame(with(18, 2)));     // two components: no colour space
  EXPECT_FALSE(ReadJpegFrame(with(5, 0x40)));   // segment longer than the file
  EXPECT_FALSE(ReadJpegFrame(with(12, 0x0E)));  // frame longer than the file
  EXPECT_FALSE(ReadJpegFrame(with(1, 0xD9)));   // no start of image
  EXPECT_FALSE(ReadJpegFrame(with(10, 0xDA)));  // data before any frame
  EXPECT_FALSE(ReadJpegFrame(std::span(j).first(15)));
}

}  // namespace
}  // namespace vx::scan
