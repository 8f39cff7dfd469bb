#include "scan/pdf_document.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace vx::scan {
namespace {

// The second line of the file marks it as binary: a comment whose bytes all
// lie above 127 ("Vessix scan output 1.0" with the high bit set), 23 bytes
// with its percent sign.
constexpr char kMarkerLine[] =
    "%\xD6\xE5\xF3\xF3\xE9\xF8\xA0\xF3\xE3\xE1\xEE\xA0\xEF\xF5\xF4\xF0\xF5\xF4\xA0\xB1\xAE\xB0";
static_assert(sizeof kMarkerLine - 1 == 23);

constexpr int kCatalog = 1, kOutlines = 2, kPageTree = 3, kProcSet = 4;
constexpr uint8_t kBaselineFrame = 0xC0;

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

// "0 0 2480 3508": numbers separated by single spaces, nothing that could end
// the array it is written into.
bool IsBoxText(const std::string& text) {
  if (text.size() > 64) return false;
  int numbers = 0;
  bool in_number = false;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || c == '.' || c == '-') {
      if (!in_number) ++numbers;
      in_number = true;
    } else if (c == ' ') {
      in_number = false;
    } else {
      return false;
    }
  }
  return numbers == 4;
}

const char* ColourSpace(int components) {
  return components == 1 ? "DeviceGray" : components == 3 ? "DeviceRGB" : "DeviceCMYK";
}

}  // namespace

PdfDocument::PdfDocument(FileStore& files, const Clock& clock) : files_(files), clock_(clock) {}

bool PdfDocument::BeginPage(int number, const std::string& media_box) {
  if (finished_ || number != PageCount() + 1 || !IsBoxText(media_box)) return false;
  if (!pages_.empty() && pages_.back().jpeg_file.empty()) return false;
  pages_.push_back(Page{media_box, {}, {}, 0});
  return true;
}

bool PdfDocument::PlaceJpeg(const std::string& jpeg_file) {
  if (finished_ || pages_.empty() || !pages_.back().jpeg_file.empty() || jpeg_file.empty()) return false;
  pages_.back().jpeg_file = jpeg_file;
  return true;
}

void PdfDocument::Emit(const std::string& text) {
  if (pieces_.empty() || pieces_.back().picture >= 0) pieces_.push_back(Piece{});
  pieces_.back().text += text;
  size_ += text.size();
}

void PdfDocument::EmitPicture(int page) {
  pieces_.push_back(Piece{{}, page});
  size_ += pages_[static_cast<size_t>(page)].jpeg_size;
}

bool PdfDocument::FinishDocument() {
  if (finished_ || pages_.empty() || pages_.back().jpeg_file.empty()) return false;
  bool grey = false, colour = false, baseline = true;
  for (Page& page : pages_) {
    if (!files_.Read(page.jpeg_file, buffer_)) return false;
    auto frame = ReadJpegFrame(buffer_);
    if (!frame) return false;
    page.frame = *frame;
    page.jpeg_size = buffer_.size();
    grey = grey || frame->components == 1;
    colour = colour || frame->components >= 3;
    baseline = baseline && frame->marker == kBaselineFrame;
  }
  buffer_ = {};

  const int n = PageCount();
  const int info = 5 + 3 * n;
  std::vector<uint64_t> offsets(static_cast<size_t>(info) + 1, 0);
  auto begin = [&](int object) {
    offsets[static_cast<size_t>(object)] = size_;
    Emit(Format("%d 0 obj\n", object));
  };
  auto end = [&] { Emit("endobj\n"); };
  auto page_object = [](int k) { return 5 + 2 * (k - 1); };
  auto picture_object = [n](int k) { return 5 + 2 * n + (k - 1); };

  pieces_.clear();
  size_ = 0;
  Emit(Format("%%PDF-%d.%d\n%s\n", 1, baseline ? 1 : 3, kMarkerLine));

  begin(kCatalog);
  Emit("<<\n/Type /Catalog\n" + Format("/Pages %d 0 R\n", kPageTree) +
       Format("/Outlines %d 0 R\n", kOutlines) + ">>\n");
  end();
  begin(kOutlines);
  Emit("<<\n/Type /Outlines\n" + Format("/Count %d\n", 0) + ">>\n");
  end();
  begin(kPageTree);
  std::string kids = "<<\n/Type /Pages\n" + Format("/Count %d\n", n) + "/Kids [ ";
  for (int k = 1; k <= n; ++k) kids += Format("%d 0 R ", page_object(k));
  Emit(kids + "]\n>>\n");
  end();
  begin(kProcSet);
  Emit(std::string("[/PDF /Text ") + (grey ? "/ImageB " : "") + (colour ? "/ImageC " : "") + "]\n");
  end();

  for (int k = 1; k <= n; ++k) {
    const Page& page = pages_[static_cast<size_t>(k - 1)];
    const std::string name = Format("IMcpdf%d", k - 1);
    begin(page_object(k));
    Emit("<<\n/Type /Page\n" + Format("/Parent %d 0 R\n", kPageTree) + "/Resources <<\n/XObject <<\n" +
         Format("/%s %d 0 R\n", name.c_str(), picture_object(k)) + ">>\n" +
         Format("/ProcSet %d 0 R >>\n", kProcSet) + Format("/MediaBox [%s]\n", page.media_box.c_str()) +
         Format("/CropBox [%s]\n", page.media_box.c_str()) + Format("/Rotate %d\n", 0) +
         Format("/Contents %d 0 R\n", page_object(k) + 1) + ">>\n");
    end();
    const std::string content =
        "\nq\n" + Format("%.4f %.4f %.4f %.4f %.4f %.4f cm\n", 1.0, 0.0, 0.0, 1.0, 0.0, 0.0) +
        Format("%.4f %.4f %.4f %.4f %.4f %.4f cm\n", static_cast<double>(page.frame.width), 0.0, 0.0,
               static_cast<double>(page.frame.height), 0.0, 0.0) +
        Format("/%s Do\n", name.c_str()) + "Q\n";
    begin(page_object(k) + 1);
    Emit(Format("<</Length %d>>\nstream\n", static_cast<int>(content.size())) + content + "\nendstream\n");
    end();
  }

  for (int k = 1; k <= n; ++k) {
    const Page& page = pages_[static_cast<size_t>(k - 1)];
    begin(picture_object(k));
    Emit("<<\n/Type /XObject\n/Subtype /Image\n" + Format("/Name /IMcpdf%d\n", k - 1) +
         Format("/Width %d\n", page.frame.width) + Format("/Height %d\n", page.frame.height) +
         "/Filter /DCTDecode\n" + Format("/BitsPerComponent %d\n", page.frame.bits_per_component) +
         Format("/ColorSpace /%s\n", ColourSpace(page.frame.components)) +
         Format("/Length %llu\n", static_cast<unsigned long long>(page.jpeg_size)) + ">>\nstream\n");
    EmitPicture(k - 1);
    Emit("\nendstream\n");
    end();
  }

  const LocalTime t = clock_.LocalNow();
  begin(info);
  Emit("<<\n" + Format("/Creator (%s)\n", "A ClibPDF program") +
       Format("/CreationDate (D:%04d%02d%02d%02d%02d%02d)\n", static_cast<int>(t.year),
              static_cast<int>(t.month), static_cast<int>(t.day), static_cast<int>(t.hour),
              static_cast<int>(t.minute), static_cast<int>(t.second)) +
       Format("/Producer ([%s %s] %s)\n", "ClibPDF Library", "2.02-r1-2", "Windows 9x/NT") +
       Format("/Author (User: %s)\n", "Windows NT/95/98 User") + Format("/Title (%s)\n", "No Title") +
       Format("/Subject (%s)\n", "None") + Format("/Keywords (%s)\n", "ClibPDF") + ">>\n");
  end();

  const uint64_t xref = size_;
  std::string table = "xref\n" + Format("0 %d\n", info + 1) + "0000000000 65535 f \n";
  for (int object = 1; object <= info; ++object)
    table +=
        Format("%010llu 00000 n \n", static_cast<unsigned long long>(offsets[static_cast<size_t>(object)]));
  Emit(table);
  Emit("trailer\n<<\n" + Format("/Size %d\n", info + 1) + Format("/Root %d 0 R\n", kCatalog) +
       Format("/Info %d 0 R\n", info) + ">>\nstartxref\n" +
       Format("%llu\n", static_cast<unsigned long long>(xref)) + Format("%%%%EOF\n"));
  finished_ = true;
  return true;
}

bool PdfDocument::SaveDocument(const std::string& file) {
  if (!finished_) return false;
  std::unique_ptr<OutputFile> out = files_.Create(file);
  if (!out) return false;
  bool ok = true;
  for (const Piece& piece : pieces_) {
    if (piece.picture < 0) {
      ok = out->Write(std::span(reinterpret_cast<const uint8_t*>(piece.text.data()), piece.text.size()));
    } else {
      const Page& page = pages_[static_cast<size_t>(piece.picture)];
      ok = files_.Read(page.jpeg_file, buffer_) && buffer_.size() == page.jpeg_size && out->Write(buffer_);
    }
    if (!ok) break;
  }
  buffer_ = {};
  ok = out->Close() && ok;
  if (!ok) files_.Remove(file);
  return ok;
}

}  // namespace vx::scan
