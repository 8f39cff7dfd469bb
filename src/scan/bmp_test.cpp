#include "scan/bmp.h"

#include <gtest/gtest.h>

#include "scan/test_support.h"

namespace vx::scan {
namespace {

using testing::Le32At;
using testing::ReadAll;
using testing::TempFolder;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A packed DIB: 40-byte info header, then `extra` (colour table or masks), then `bits`.
std::vector<uint8_t> Dib(int width, int height, int bit_count, uint32_t compression, uint32_t colours_used,
                         const std::vector<uint8_t>& extra, const std::vector<uint8_t>& bits,
                         uint32_t image_size = 0) {
  // Sized once and filled in place (growing it trips a false warning of gcc 12 at -O3).
  std::vector<uint8_t> d(40 + extra.size() + bits.size(), 0);
  Put32(d, 0, 40);
  Put32(d, 4, static_cast<uint32_t>(width));
  Put32(d, 8, static_cast<uint32_t>(height));
  d[12] = 1;
  d[14] = static_cast<uint8_t>(bit_count);
  Put32(d, 16, compression);
  Put32(d, 20, image_size);
  Put32(d, 32, colours_used);
  std::copy(extra.begin(), extra.end(), d.begin() + 40);
  std::copy(bits.begin(), bits.end(), d.begin() + 40 + static_cast<std::ptrdiff_t>(extra.size()));
  return d;
}

// The same DIB as a file, with the data offset pointing past `extra`.
std::vector<uint8_t> File(const std::vector<uint8_t>& dib, size_t extra) {
  std::vector<uint8_t> f(14 + dib.size(), 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, static_cast<uint32_t>(14 + dib.size()));
  Put32(f, 10, static_cast<uint32_t>(54 + extra));
  std::copy(dib.begin(), dib.end(), f.begin() + 14);
  return f;
}

std::vector<uint32_t> Pixels(const BmpImage& img) {
  std::vector<uint8_t> row(static_cast<size_t>(img.width) * 3);
  std::vector<uint32_t> out;
  for (int y = 0; y < img.height; ++y) {
    img.RowToRgb(y, row.data());
    for (int x = 0; x < img.width; ++x)
      out.push_back(static_cast<uint32_t>(row[3 * x] << 16 | row[3 * x + 1] << 8 | row[3 * x + 2]));
  }
  return out;
}

const std::vector<uint8_t> kTwoColours = {0x00, 0x00, 0xFF, 0, 0xFF, 0x00, 0x00, 0};  // red, blue

TEST(WriteDibAsBmp, WritesFileHeaderAndTheWholeDib) {
  TempFolder dir;
  // 8 bits with colours-used 0: a table of 256 entries, rows padded to 4 bytes.
  std::vector<uint8_t> table(1024, 0);
  std::vector<uint8_t> bits = {1, 2, 3, 0, 4, 5, 6, 0};
  auto dib = Dib(3, 2, 8, 0, 0, table, bits);
  ASSERT_EQ(WriteDibAsBmp(dib, LocalFileStore(), dir / "a.bmp"), kDibWritten);
  auto file = ReadAll(dir / "a.bmp");
  ASSERT_EQ(file.size(), 14 + dib.size());
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32At(file, 2), 54u + 1024 + 8);
  EXPECT_EQ(Le32At(file, 6), 0u);
  EXPECT_EQ(Le32At(file, 10), 54u + 1024);
  EXPECT_TRUE(std::equal(dib.begin(), dib.end(), file.begin() + 14));

  // A top-down DIB (negative height) has the same size; the file reads upright.
  auto top_down = Dib(1, -2, 1, 0, 2, kTwoColours, {0x00, 0, 0, 0, 0x80, 0, 0, 0});
  ASSERT_EQ(WriteDibAsBmp(top_down, LocalFileStore(), dir / "t.bmp"), kDibWritten);
  auto bytes = ReadAll(dir / "t.bmp");
  auto img = ParseBmp(bytes);
  ASSERT_TRUE(img);
  EXPECT_TRUE(img->top_down);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0xFF0000, 0x0000FF}));
}

TEST(WriteDibAsBmp, RefusesWhatItCannotWriteWhole) {
  TempFolder dir;
  EXPECT_EQ(WriteDibAsBmp({}, LocalFileStore(), dir / "a.bmp"), kDibUnavailable);
  auto header_only = Dib(4, 4, 24, 0, 0, {}, {});
  EXPECT_EQ(WriteDibAsBmp(std::span(header_only).first(20), LocalFileStore(), dir / "a.bmp"),
            kDibUnavailable);
  // The header promises 48 bytes of bits the block does not hold: no overread, no file.
  EXPECT_EQ(WriteDibAsBmp(header_only, LocalFileStore(), dir / "a.bmp"), kDibWriteFailed);
  // A compressed DIB without its size cannot be measured.
  EXPECT_EQ(WriteDibAsBmp(Dib(2, 2, 8, 1, 1, {0, 0, 0, 0}, {0, 0}), LocalFileStore(), dir / "a.bmp"),
            kDibWriteFailed);
  EXPECT_FALSE(LocalFileStore().Exists(dir / "a.bmp"));
  // A folder that does not exist.
  EXPECT_EQ(WriteDibAsBmp(Dib(1, 1, 24, 0, 0, {}, {1, 2, 3, 0}), LocalFileStore(), dir / "no/such.bmp"),
            kDibWriteFailed);
}

TEST(ParseBmp, ReadsEveryDepthBothWaysUp) {
  // 1 bit, bottom-up: the last row in the file is the top row.
  auto one = File(Dib(3, 2, 1, 0, 2, kTwoColours, {0x40, 0, 0, 0, 0xA0, 0, 0, 0}), 8);
  auto img = ParseBmp(one);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img),
            (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000}));

  // 4 bits, high nibble first; an index beyond the table reads black.
  auto four = File(Dib(3, 1, 4, 0, 2, kTwoColours, {0x10, 0x70, 0, 0}), 8);
  img = ParseBmp(four);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0x000000}));

  // 8 bits top-down.
  auto eight = File(Dib(2, -2, 8, 0, 2, kTwoColours, {0, 1, 0, 0, 1, 1, 0, 0}), 8);
  img = ParseBmp(eight);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0xFF0000, 0x0000FF, 0x0000FF, 0x0000FF}));

  // 16 bits plain (5-5-5): pure red and pure green.
  auto sixteen = File(Dib(2, 1, 16, 0, 0, {}, {0x00, 0x7C, 0xE0, 0x03}), 0);
  img = ParseBmp(sixteen);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
  EXPECT_EQ(img->ShownBitsPerPixel(), 15);

  // 16 bits with 5-6-5 masks after the header.
  std::vector<uint8_t> masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  auto bitfields = File(Dib(2, 1, 16, 3, 0, masks, {0x1F, 0x00, 0xE0, 0x07}), 12);
  img = ParseBmp(bitfields);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0x0000FF, 0x00FF00}));
  EXPECT_EQ(img->ShownBitsPerPixel(), 16);

  // 24 bits (B, G, R) with a row pad, and 32 bits (B, G, R, X).
  auto rgb24 = File(Dib(1, 2, 24, 0, 0, {}, {0x01, 0x02, 0x03, 0, 0x0A, 0x0B, 0x0C, 0}), 0);
  img = ParseBmp(rgb24);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0x0C0B0A, 0x030201}));
  auto rgb32 = File(Dib(1, -1, 32, 0, 0, {}, {0x01, 0x02, 0x03, 0xFF}), 0);
  img = ParseBmp(rgb32);
  ASSERT_TRUE(img);
  EXPECT_EQ(Pixels(*img), (std::vector<uint32_t>{0x030201}));
}

TEST(ParseBmp, RefusesBadFilesWithAReason) {
  const auto good = File(Dib(2, 2, 24, 0, 0, {}, std::vector<uint8_t>(16, 0)), 0);
  ASSERT_TRUE(ParseBmp(good));
  auto with = [&](size_t at, uint32_t value, int bytes = 4) {
    auto f = good;
    for (int i = 0; i < bytes; ++i)
      f.at(at + static_cast<size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
    return f;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  const Case cases[] = {
      {"truncated pixels", std::vector<uint8_t>(good.begin(), good.end() - 1)},
      {"truncated header", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
      {"zero width", with(18, 0)},
      {"negative width", with(18, static_cast<uint32_t>(-2))},
      {"zero height", with(22, 0)},
      {"bit count 0", with(28, 0, 2)},
      {"bit count 7", with(28, 7, 2)},
      {"compression", with(30, 1)},
      {"colours beyond the file", with(46, 0x40000000)},
      {"overflowing size", with(22, 0x7fffffff)},
      {"huge width and height", with(18, 0x00100000, 4)},
      {"data offset beyond the file", with(10, 0xfffffff0)},
      {"no signature", with(0, 'X', 1)},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseBmp(c.file, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(BmpResolution, PixelsPerMetreAndBack) {
  EXPECT_EQ(PixelsPerMetre(300), 11811);
  EXPECT_EQ(PixelsPerMetre(600), 23622);
  EXPECT_EQ(PixelsPerMetre(72), 2835);
  // Where a double product would land on a half and round up.
  EXPECT_EQ(PixelsPerMetre(1200), 47244);
  EXPECT_EQ(PixelsPerMetre(2400), 94488);
  EXPECT_EQ(PixelsPerMetre(150), 5906);
  EXPECT_EQ(DpiFromPixelsPerMetre(2835), 72);
}

TEST(BmpResolution, PatchesBothFieldsOfAFileInPlace) {
  TempFolder dir;
  auto picture = testing::Gradient(5, 3);
  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "p.bmp", picture));
  ASSERT_TRUE(WriteBmpResolution(LocalFileStore(), dir / "p.bmp", 300));
  auto file = ReadAll(dir / "p.bmp");
  ASSERT_EQ(file.size(), picture.size());
  EXPECT_EQ(Le32At(file, 38), 11811u);
  EXPECT_EQ(Le32At(file, 42), 11811u);
  EXPECT_TRUE(std::equal(file.begin() + 46, file.end(), picture.begin() + 46));
  EXPECT_EQ(ReadBmpDpi(file), 300);

  // Not a BMP, or too short to hold the fields: refused and left as it was.
  std::vector<uint8_t> text(30, 'x');
  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "t.bmp", text));
  EXPECT_FALSE(WriteBmpResolution(LocalFileStore(), dir / "t.bmp", 300));
  EXPECT_EQ(ReadAll(dir / "t.bmp"), text);
  EXPECT_FALSE(WriteBmpResolution(LocalFileStore(), dir / "missing.bmp", 300));
}

}  // namespace
}  // namespace vx::scan
