// The PDF writer of the scan saving: one JPEG picture per page, each page as
// large in points as its picture in pixels, the JPEG bytes embedded unchanged.
// The file layout is fixed (object numbers, order, texts), so two runs with the
// same pictures and the same local time give the same bytes.
//
// Use: BeginPage(1, "0 0 W H"), PlaceJpeg(file), BeginPage(2, ...), ...,
// FinishDocument(), SaveDocument(target). The JPEG files are read during
// FinishDocument (geometry and size) and again by SaveDocument (their bytes,
// copied one picture at a time), so they must stay until the file is saved.
// The number of pages is not limited.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "scan/file_store.h"
#include "scan/jpeg.h"

namespace vx::scan {

class PdfDocument {
 public:
  PdfDocument(FileStore& files, const Clock& clock);

  // Starts page `number`; pages are numbered from 1 and begun in order. The
  // media box text is "0 0 " + width + " " + height. False for a page out of
  // order, a media box text that is not four numbers, or a previous page that
  // has no picture yet.
  bool BeginPage(int number, const std::string& media_box);
  // Places a JPEG file as the picture of the current page (one per page).
  bool PlaceJpeg(const std::string& jpeg_file);
  // Reads each picture's frame header and size, takes the local time for the
  // document information and lays out the whole file. False when a picture is
  // unreadable or no JPEG, or the document has no page.
  bool FinishDocument();
  // Writes the laid-out file. False (and no file left behind) when it cannot
  // be written or a picture changed since FinishDocument.
  bool SaveDocument(const std::string& file);

  int PageCount() const { return static_cast<int>(pages_.size()); }
  // The laid-out size of the file in bytes (after FinishDocument).
  uint64_t FileSize() const { return size_; }

 private:
  struct Page {
    std::string media_box;
    std::string jpeg_file;
    JpegFrame frame;
    uint64_t jpeg_size = 0;
  };
  // A run of generated text, or the bytes of one picture.
  struct Piece {
    std::string text;
    int picture = -1;
  };

  void Emit(const std::string& text);
  void EmitPicture(int page);

  FileStore& files_;
  const Clock& clock_;
  std::vector<Page> pages_;
  std::vector<Piece> pieces_;
  uint64_t size_ = 0;
  bool finished_ = false;
  std::vector<uint8_t> buffer_;  // one picture's bytes at a time
};

}  // namespace vx::scan
