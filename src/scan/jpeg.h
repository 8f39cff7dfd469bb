// JPEG pictures: encoding scanned pages with libjpeg (baseline, three
// components), decoding for previews, the JFIF density, and the frame header
// the PDF writer describes each picture with. Bad data never ends the process:
// libjpeg's errors come back as false with a message.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scan/bmp.h"
#include "scan/file_store.h"

namespace vx::scan {

inline constexpr int kJpegQuality = 75;

// One compressor, reused for every page of a batch together with the caller's
// output vector, so a long batch allocates its buffers once.
class JpegEncoder {
 public:
  JpegEncoder();
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  // Encodes `picture` with libjpeg's default settings at `quality` into `out`
  // (replaced; its capacity is kept). False with `error` set on failure.
  bool Encode(const BmpImage& picture, int quality, std::vector<uint8_t>& out, std::string* error = nullptr);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top-down rows of R, G, B
};

// Decodes a JPEG for showing it. Pictures above `max_pixels` are refused
// before anything is allocated for them.
bool DecodeJpeg(std::span<const uint8_t> jpeg, RgbPicture& out, std::string* error = nullptr,
                uint64_t max_pixels = uint64_t{1} << 28);

// The JFIF density. The marker "JFIF" is looked for in the first 64 bytes; the
// units byte lies 7 bytes past its start, followed by the X and Y density
// (16-bit big-endian). Offset of the units byte, or none when the file has no
// such marker or ends before the densities.
std::optional<size_t> FindJfifDensity(std::span<const uint8_t> jpeg);
// Sets units 1 (dots per inch) and both densities to `dpi` (0 … 65535).
bool PatchJfifDensity(std::span<uint8_t> jpeg, int dpi);
// The Y density; 0 when the bytes carry none.
int ReadJfifDensity(std::span<const uint8_t> jpeg);

// The same on files (the file is patched in place).
bool SetJpegDensity(FileStore& files, const std::string& file, int dpi);
int GetJpegDensity(const FileStore& files, const std::string& file);

// The frame header of a JPEG: its start-of-frame marker and picture geometry.
struct JpegFrame {
  uint8_t marker = 0;  // 0xC0 for baseline
  int width = 0;
  int height = 0;
  int bits_per_component = 0;
  int components = 0;  // 1, 3 or 4
};

// Walks the marker segments up to the first frame header. None for anything
// that is not a JPEG with a usable frame (zero size, 2 components, ...).
std::optional<JpegFrame> ReadJpegFrame(std::span<const uint8_t> jpeg);

}  // namespace vx::scan
