#include "scan/pdf_document.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "scan/test_support.h"

namespace vx::scan {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::Text;

const LocalTime kWhen{2024, 3, 7, 9, 5, 2};

// Enough of a JPEG for the writer: start of image, a frame header, end of image.
std::vector<uint8_t> FakeJpeg(int width, int height, int components, uint8_t marker = 0xC0) {
  const uint8_t head[] = {0xFF,
                          0xD8,
                          0xFF,
                          marker,
                          0x00,
                          static_cast<uint8_t>(8 + 3 * components),
                          8,
                          static_cast<uint8_t>(height >> 8),
                          static_cast<uint8_t>(height),
                          static_cast<uint8_t>(width >> 8),
                          static_cast<uint8_t>(width),
                          static_cast<uint8_t>(components)};
  const uint8_t tail[] = {0x12, 0x34, 0x0A, 0x56, 0xFF, 0xD9};  // "picture data" with a line feed in it
  std::vector<uint8_t> j(sizeof head + 3 * static_cast<size_t>(components) + sizeof tail, 0);
  std::copy(std::begin(head), std::end(head), j.begin());
  for (int c = 0; c < components; ++c) {
    j[sizeof head + 3 * static_cast<size_t>(c)] = static_cast<uint8_t>(c + 1);
    j[sizeof head + 3 * static_cast<size_t>(c) + 1] = 0x11;
  }
  std::copy(std::begin(tail), std::end(tail), j.end() - sizeof tail);
  return j;
}

struct Written {
  std::string pdf;
  std::vector<std::vector<uint8_t>> jpegs;
};

Written WritePdf(const TempFolder& dir, const std::vector<std::vector<uint8_t>>& jpegs) {
  testing::FixedClock clock(kWhen);
  PdfDocument doc(LocalFileStore(), clock);
  for (size_t k = 0; k < jpegs.size(); ++k) {
    const std::string file = dir / ("p" + std::to_string(k) + ".jpg");
    EXPECT_TRUE(LocalFileStore().WriteAll(file, jpegs[k]));
    auto frame = ReadJpegFrame(jpegs[k]);
    EXPECT_TRUE(doc.BeginPage(static_cast<int>(k + 1),
                              "0 0 " + std::to_string(frame->width) + " " + std::to_string(frame->height)));
    EXPECT_TRUE(doc.PlaceJpeg(file));
  }
  EXPECT_TRUE(doc.FinishDocument());
  EXPECT_TRUE(doc.SaveDocument(dir / "out.pdf"));
  auto bytes = ReadAll(dir / "out.pdf");
  EXPECT_EQ(bytes.size(), doc.FileSize());
  return {Text(bytes), jpegs};
}

long NumberAfter(const std::string& pdf, const std::string& key, size_t from = 0) {
  size_t at = pdf.find(key, from);
  return at == std::string::npos ? -1 : std::strtol(pdf.c_str() + at + key.size(), nullptr, 10);
}

// Checks what a reader relies on: the cross-reference table points at every
// object, and every stream is as long as its /Length says.
void ExpectConsistent(const std::string& pdf, int objects) {
  const size_t xref = static_cast<size_t>(NumberAfter(pdf, "startxref\n"));
  ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
  EXPECT_EQ(NumberAfter(pdf, "xref\n0 ", xref), objects + 1);
  const size_t entries = pdf.find("0000000000 65535 f \n", xref) + 20;
  for (int k = 1; k <= objects; ++k) {
    const std::string entry = pdf.substr(entries + 20 * (k - 1), 20);
    ASSERT_EQ(entry.substr(10), " 00000 n \n") << k;
    const size_t offset = std::stoul(entry.substr(0, 10));
    const std::string head = std::to_string(k) + " 0 obj\n";
    EXPECT_EQ(pdf.compare(offset, head.size(), head), 0) << "object " << k;
  }
  EXPECT_EQ(pdf.compare(entries + 20 * objects, 8, "trailer\n"), 0);
  for (size_t at = pdf.find("stream\n"); at != std::string::npos; at = pdf.find("stream\n", at + 1)) {
    if (at >= 3 && pdf.compare(at - 3, 3, "end") == 0) continue;
    const long length = NumberAfter(pdf, "/Length ", pdf.rfind("/Length", at));
    EXPECT_EQ(pdf.compare(at + 7 + static_cast<size_t>(length), 11, "\nendstream\n"), 0)
        << "stream at " << at;
  }
  EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
}

TEST(PdfDocument, OnePageLayout) {
  TempFolder dir;
  auto w = WritePdf(dir, {FakeJpeg(200, 100, 3)});
  const std::string& pdf = w.pdf;
  ExpectConsistent(pdf, 8);
  // The header and the binary marker line.
  ASSERT_EQ(pdf.compare(0, 9, "%PDF-1.1\n"), 0);
  EXPECT_EQ(pdf[9], '%');
  for (size_t i = 10; i < 32; ++i) EXPECT_GE(static_cast<unsigned char>(pdf[i]), 0x80) << i;
  EXPECT_EQ(pdf.compare(32, 9, "\n1 0 obj\n"), 0);

  const std::string expected_start =
      "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n/Outlines 2 0 R\n>>\nendobj\n"
      "2 0 obj\n<<\n/Type /Outlines\n/Count 0\n>>\nendobj\n"
      "3 0 obj\n<<\n/Type /Pages\n/Count 1\n/Kids [ 5 0 R ]\n>>\nendobj\n"
      "4 0 obj\n[/PDF /Text /ImageC ]\nendobj\n"
      "5 0 obj\n<<\n/Type /Page\n/Parent 3 0 R\n/Resources <<\n/XObject <<\n/IMcpdf0 7 0 R\n>>\n"
      "/ProcSet 4 0 R >>\n/MediaBox [0 0 200 100]\n/CropBox [0 0 200 100]\n/Rotate 0\n/Contents 6 0 R\n>>\n"
      "endobj\n"
      "6 0 obj\n<</Length 111>>\nstream\n\nq\n1.0000 0.0000 0.0000 1.0000 0.0000 0.0000 cm\n"
      "200.0000 0.0000 0.0000 100.0000 0.0000 0.0000 cm\n/IMcpdf0 Do\nQ\n\nendstream\nendobj\n"
      "7 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Name /IMcpdf0\n/Width 200\n/Height 100\n"
      "/Filter /DCTDecode\n/BitsPerComponent 8\n/ColorSpace /DeviceRGB\n/Length 27\n>>\nstream\n";
  EXPECT_EQ(pdf.substr(33, expected_start.size()), expected_start);
  // The picture's bytes unchanged, then the information object.
  const size_t picture = 33 + expected_start.size();
  EXPECT_EQ(pdf.substr(picture, w.jpegs[0].size()), Text(w.jpegs[0]));
  const std::string expected_end =
      "\nendstream\nendobj\n8 0 obj\n<<\n/Creator (A ClibPDF program)\n/CreationDate (D:20240307090502)\n"
      "/Producer ([ClibPDF Library 2.02-r1-2] Windows 9x/NT)\n/Author (User: Windows NT/95/98 User)\n"
      "/Title (No Title)\n/Subject (None)\n/Keywords (ClibPDF)\n>>\nendobj\nxref\n0 9\n";
  EXPECT_EQ(pdf.substr(picture + w.jpegs[0].size(), expected_end.size()), expected_end);
  EXPECT_NE(pdf.find("trailer\n<<\n/Size 9\n/Root 1 0 R\n/Info 8 0 R\n>>\nstartxref\n"), std::string::npos);
}

TEST(PdfDocument, ThreePagesNumberPicturesAfterThePages) {
  TempFolder dir;
  auto w = WritePdf(dir, {FakeJpeg(10, 10, 3), FakeJpeg(20, 10, 3), FakeJpeg(10, 20, 3)});
  ExpectConsistent(w.pdf, 14);
  EXPECT_NE(w.pdf.find("/Kids [ 5 0 R 7 0 R 9 0 R ]"), std::string::npos);
  EXPECT_NE(w.pdf.find("/IMcpdf0 11 0 R\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("/IMcpdf1 12 0 R\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("/IMcpdf2 13 0 R\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("11 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Name /IMcpdf0\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("9 0 obj\n<<\n/Type /Page\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("/Contents 10 0 R\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("14 0 obj\n<<\n/Creator"), std::string::npos);
  EXPECT_NE(w.pdf.find("/Size 15\n/Root 1 0 R\n/Info 14 0 R\n"), std::string::npos);
}

TEST(PdfDocument, PageGeometryColourAndVersionFollowThePictures) {
  TempFolder dir;
  auto a4 = WritePdf(dir, {FakeJpeg(2480, 3508, 3)});
  EXPECT_NE(a4.pdf.find("/MediaBox [0 0 2480 3508]\n/CropBox [0 0 2480 3508]\n"), std::string::npos);
  EXPECT_NE(a4.pdf.find("\n2480.0000 0.0000 0.0000 3508.0000 0.0000 0.0000 cm\n"), std::string::npos);
  EXPECT_NE(a4.pdf.find("<</Length 113>>"), std::string::npos);

  auto grey = WritePdf(dir, {FakeJpeg(8, 8, 1)});
  EXPECT_NE(grey.pdf.find("4 0 obj\n[/PDF /Text /ImageB ]\n"), std::string::npos);
  EXPECT_NE(grey.pdf.find("/ColorSpace /DeviceGray\n"), std::string::npos);

  auto mixed = WritePdf(dir, {FakeJpeg(8, 8, 1), FakeJpeg(8, 8, 4)});
  EXPECT_NE(mixed.pdf.find("[/PDF /Text /ImageB /ImageC ]\n"), std::string::npos);
  EXPECT_NE(mixed.pdf.find("/ColorSpace /DeviceCMYK\n"), std::string::npos);
  EXPECT_EQ(mixed.pdf.compare(0, 9, "%PDF-1.1\n"), 0);

  auto progressive = WritePdf(dir, {FakeJpeg(8, 8, 3), FakeJpeg(8, 8, 3, 0xC2)});
  EXPECT_EQ(progressive.pdf.compare(0, 9, "%PDF-1.3\n"), 0);
}

TEST(PdfDocument, LongBatchesKeepEveryPage) {
  TempFolder dir;
  std::vector<std::vector<uint8_t>> jpegs(130, FakeJpeg(4, 4, 3));
  auto w = WritePdf(dir, jpegs);
  ExpectConsistent(w.pdf, 5 + 3 * 130);
  EXPECT_NE(w.pdf.find("/Type /Pages\n/Count 130\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("/IMcpdf129 394 0 R\n"), std::string::npos);
  EXPECT_NE(w.pdf.find("/Size 396\n"), std::string::npos);
}

TEST(PdfDocument, RefusesMisuseAndLeavesNoBrokenFile) {
  TempFolder dir;
  testing::FixedClock clock(kWhen);
  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "a.jpg", FakeJpeg(4, 4, 3)));
  {
    PdfDocument doc(LocalFileStore(), clock);
    EXPECT_FALSE(doc.FinishDocument());          // no page
    EXPECT_FALSE(doc.PlaceJpeg(dir / "a.jpg"));  // no page begun
    EXPECT_FALSE(doc.BeginPage(2, "0 0 4 4"));   // out of order
    EXPECT_FALSE(doc.BeginPage(1, "0 0 4 4] /Evil ["));
    EXPECT_TRUE(doc.BeginPage(1, "0 0 4 4"));
    EXPECT_FALSE(doc.BeginPage(2, "0 0 4 4"));  // page 1 has no picture yet
    EXPECT_TRUE(doc.PlaceJpeg(dir / "a.jpg"));
    EXPECT_FALSE(doc.PlaceJpeg(dir / "a.jpg"));     // one picture per page
    EXPECT_FALSE(doc.SaveDocument(dir / "x.pdf"));  // not finished
  }
  {
    // A picture that is no JPEG, or is gone.
    ASSERT_TRUE(LocalFileStore().WriteAll(dir / "b.jpg", std::vector<uint8_t>(10, 1)));
    PdfDocument doc(LocalFileStore(), clock);
    ASSERT_TRUE(doc.BeginPage(1, "0 0 4 4") && doc.PlaceJpeg(dir / "b.jpg"));
    EXPECT_FALSE(doc.FinishDocument());
    PdfDocument gone(LocalFileStore(), clock);
    ASSERT_TRUE(gone.BeginPage(1, "0 0 4 4") && gone.PlaceJpeg(dir / "none.jpg"));
    EXPECT_FALSE(gone.FinishDocument());
  }
  {
    // A picture that changed between laying out and saving.
    PdfDocument doc(LocalFileStore(), clock);
    ASSERT_TRUE(doc.BeginPage(1, "0 0 4 4") && doc.PlaceJpeg(dir / "a.jpg") && doc.FinishDocument());
    ASSERT_TRUE(LocalFileStore().WriteAll(dir / "a.jpg", FakeJpeg(4, 4, 1)));
    EXPECT_FALSE(doc.SaveDocument(dir / "x.pdf"));
    EXPECT_FALSE(LocalFileStore().Exists(dir / "x.pdf"));
  }
}

}  // namespace
}  // namespace vx::scan
