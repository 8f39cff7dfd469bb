// BMP files: writing a scanner's device-independent bitmap (DIB) as a file,
// reading every layout a scanner delivers or we write, and the resolution
// fields of the info header. Every read is bounds-checked against the bytes
// given; nothing here trusts a header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scan/file_store.h"

namespace vx::scan {

// Results of WriteDibAsBmp.
inline constexpr int kDibWritten = 0;
inline constexpr int kDibUnavailable = -3;  // no DIB, or one too short for its own header
inline constexpr int kDibWriteFailed = -4;  // the file is not complete (or the DIB is)

inline constexpr size_t kBmpFileHeaderSize = 14;
inline constexpr size_t kBmpInfoHeaderSize = 40;
// File offsets of the horizontal and vertical pixels-per-metre fields.
inline constexpr size_t kBmpXPelsOffset = 38;
inline constexpr size_t kBmpYPelsOffset = 42;

// Writes a packed DIB (info header, colour table or masks, bits) as a BMP file:
// the 14-byte file header followed by the DIB. A DIB that is shorter than its
// header says is refused rather than read past its end.
int WriteDibAsBmp(std::span<const uint8_t> dib, FileStore& files, const std::string& file);

// dpi -> pixels per metre as the BMP carries it: 300 -> 11811, 600 -> 23622.
int32_t PixelsPerMetre(int dpi);
// Pixels per metre -> dpi as the picture information shows it.
int DpiFromPixelsPerMetre(int32_t ppm);

// Writes the pixels-per-metre of `dpi` into both resolution fields of a BMP in
// memory; false when the bytes are no BMP with an info header.
bool SetBmpResolution(std::span<uint8_t> bmp, int dpi);
// The same on a file, patched in place.
bool WriteBmpResolution(FileStore& files, const std::string& file, int dpi);
// The dpi a BMP file carries: the vertical field wins. 0 when it is too short.
int ReadBmpDpi(std::span<const uint8_t> bmp);

// A BMP file's picture, as a view into the file's bytes (which must outlive it).
struct BmpImage {
  int width = 0;
  int height = 0;  // always positive
  bool top_down = false;
  int bit_count = 0;
  uint32_t compression = 0;          // 0 plain, 3 bit-field masks (16 and 32 bits)
  uint32_t masks[3] = {0, 0, 0};     // red, green, blue for 16 and 32 bits
  std::span<const uint8_t> palette;  // 4 bytes (B, G, R, 0) per entry
  std::span<const uint8_t> pixels;
  size_t stride = 0;
  int32_t x_ppm = 0, y_ppm = 0;

  // Row `y` counted from the top of the picture.
  const uint8_t* Row(int y) const;
  // Converts row `y` (from the top) to width × 3 bytes of R, G, B.
  void RowToRgb(int y, uint8_t* rgb) const;
  // The depth the shown picture reports: 16-bit 5-5-5 pictures count as 15.
  int ShownBitsPerPixel() const;
};

// Parses a BMP file. Refuses truncated files, widths or heights of zero or
// less, bit counts other than 1, 4, 8, 16, 24 and 32, compressed pictures,
// colour tables beyond the file and sizes that overflow; `error` says why.
std::optional<BmpImage> ParseBmp(std::span<const uint8_t> file, std::string* error = nullptr);

// Builds a bottom-up 24-bit BMP file from top-down rows of R, G, B.
std::vector<uint8_t> MakeBmp24(int width, int height, std::span<const uint8_t> rgb, int dpi);

}  // namespace vx::scan
