// Fuzzes everything that reads BMP bytes: the file reader with its row
// conversion, the resolution fields, the DIB writer (whose input comes from a
// scanner driver) and the JPEG encoding of whatever the reader accepts.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory_store.h"
#include "scan/bmp.h"
#include "scan/jpeg.h"

using namespace vx::scan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  fuzzing::MemoryStore store;

  // As a BMP file.
  if (auto img = ParseBmp(bytes)) {
    std::vector<uint8_t> row(static_cast<size_t>(img->width) * 3);
    for (int y = 0; y < img->height; ++y) img->RowToRgb(y, row.data());
    (void)img->ShownBitsPerPixel();
    if (static_cast<uint64_t>(img->width) * img->height <= 64 * 64) {
      JpegEncoder encoder;
      std::vector<uint8_t> jpeg;
      if (encoder.Encode(*img, kJpegQuality, jpeg) && !ReadJpegFrame(jpeg)) __builtin_trap();
    }
  }
  (void)ReadBmpDpi(bytes);
  std::vector<uint8_t> copy(bytes.begin(), bytes.end());
  (void)SetBmpResolution(copy, 300);

  // As a DIB handed over by a scanner: the file holds exactly the header's promise.
  if (WriteDibAsBmp(bytes, store, "page.bmp") == kDibWritten) {
    const auto& file = store.files["page.bmp"];
    if (file.size() < kBmpFileHeaderSize || file.size() - kBmpFileHeaderSize > size) __builtin_trap();
    (void)WriteBmpResolution(store, "page.bmp", 600);
  }
  return 0;
}
