#include "scan/bmp.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

namespace vx::scan {
namespace {

uint16_t Le16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint32_t kPlain = 0;
constexpr uint32_t kBitFields = 3;
// Beyond this a picture is refused: it keeps every size computation far from
// overflow and is well above any scanner's page (A3 at 2400 dpi is 28000 wide).
constexpr int64_t kMaxSide = 1 << 20;

std::nullopt_t Reject(std::string* error, const char* why) {
  if (error) *error = why;
  return std::nullopt;
}

// Bytes of the masks that follow a 40-byte info header of a bit-field picture.
size_t MaskBytes(uint32_t header_size, uint32_t compression) {
  return header_size == kBmpInfoHeaderSize && compression == kBitFields ? 12 : 0;
}

struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
};

Channel MakeChannel(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask) {
    c.shift = std::countr_zero(mask);
    c.max = mask >> c.shift;
  }
  return c;
}

uint8_t Scale(uint32_t pixel, const Channel& c) {
  if (!c.max) return 0;
  uint64_t v = (pixel & c.mask) >> c.shift;
  return static_cast<uint8_t>((v * 255 + c.max / 2) / c.max);
}

}  // namespace

int WriteDibAsBmp(std::span<const uint8_t> dib, FileStore& files, const std::string& file) {
  if (dib.size() < kBmpInfoHeaderSize) return kDibUnavailable;
  uint32_t header_size = Le32(dib, 0);
  if (header_size < kBmpInfoHeaderSize || header_size > dib.size()) return kDibUnavailable;
  int64_t width = static_cast<int32_t>(Le32(dib, 4));
  int64_t height = static_cast<int32_t>(Le32(dib, 8));
  uint32_t bit_count = Le16(dib, 14);
  uint32_t compression = Le32(dib, 16);
  uint64_t image_size = Le32(dib, 20);
  uint64_t colours = Le32(dib, 32);
  if (colours == 0 && bit_count <= 8) colours = uint64_t{1} << bit_count;
  if (image_size == 0) {
    if (compression != kPlain) return kDibWriteFailed;
    // A top-down DIB has a negative height; its size is the same.
    if (width < 0 || width > kMaxSide || std::llabs(height) > kMaxSide) return kDibWriteFailed;
    image_size =
        static_cast<uint64_t>((width * bit_count + 31) / 32) * 4 * static_cast<uint64_t>(std::llabs(height));
  }
  uint64_t offset = kBmpFileHeaderSize + header_size + MaskBytes(header_size, compression) + 4 * colours;
  uint64_t file_size = offset + image_size;
  if (file_size > 0xffffffffu || file_size - kBmpFileHeaderSize > dib.size()) return kDibWriteFailed;

  uint8_t head[kBmpFileHeaderSize] = {'B', 'M'};
  PutLe32(head + 2, static_cast<uint32_t>(file_size));
  PutLe32(head + 10, static_cast<uint32_t>(offset));
  std::unique_ptr<OutputFile> out = files.Create(file);
  if (!out) return kDibWriteFailed;
  bool ok = out->Write(head) && out->Write(dib.first(file_size - kBmpFileHeaderSize));
  ok = out->Close() && ok;
  if (!ok) {
    files.Remove(file);
    return kDibWriteFailed;
  }
  return kDibWritten;
}

int32_t PixelsPerMetre(int dpi) {
  // round(dpi × 39.37 + 0.5) with 39.37 as its double (a little below) and the
  // product taken exactly: at 300 dpi it is 11810.99999999999923, so the sum
  // lies just below 11811.5 and gives 11811. A plain double product rounds to
  // 11811.0 first and would give 11812; fma recovers the lost part.
  const double factor = 39.37;
  const double product = dpi * factor;
  const double lost = std::fma(dpi, factor, -product);
  const double sum = product + 0.5;  // exact: product is far below 2^52
  double result = std::nearbyint(sum);
  if (sum - std::floor(sum) == 0.5 && lost != 0) result = lost < 0 ? std::floor(sum) : std::floor(sum) + 1;
  return static_cast<int32_t>(result);
}

int DpiFromPixelsPerMetre(int32_t ppm) { return static_cast<int>(std::nearbyint(ppm * 0.0254000508001016)); }

bool SetBmpResolution(std::span<uint8_t> bmp, int dpi) {
  if (bmp.size() < kBmpFileHeaderSize + kBmpInfoHeaderSize || bmp[0] != 'B' || bmp[1] != 'M' ||
      Le32(bmp, kBmpFileHeaderSize) < kBmpInfoHeaderSize)
    return false;
  uint32_t ppm = static_cast<uint32_t>(PixelsPerMetre(dpi));
  PutLe32(bmp.data() + kBmpXPelsOffset, ppm);
  PutLe32(bmp.data() + kBmpYPelsOffset, ppm);
  return true;
}

bool WriteBmpResolution(FileStore& files, const std::string& file, int dpi) {
  std::vector<uint8_t> head;
  if (!files.Read(file, head, kBmpFileHeaderSize + kBmpInfoHeaderSize)) return false;
  if (!SetBmpResolution(head, dpi)) return false;
  return files.Patch(file, kBmpXPelsOffset, std::span(head).subspan(kBmpXPelsOffset, 8));
}

int ReadBmpDpi(std::span<const uint8_t> bmp) {
  if (bmp.size() < kBmpYPelsOffset + 4) return 0;
  return DpiFromPixelsPerMetre(static_cast<int32_t>(Le32(bmp, kBmpYPelsOffset)));
}

std::optional<BmpImage> ParseBmp(std::span<const uint8_t> file, std::string* error) {
  const size_t size = file.size();
  if (size < kBmpFileHeaderSize + kBmpInfoHeaderSize) return Reject(error, "file too short");
  if (file[0] != 'B' || file[1] != 'M') return Reject(error, "no BMP signature");
  uint64_t data_offset = Le32(file, 10);
  uint64_t header_size = Le32(file, 14);
  if (header_size < kBmpInfoHeaderSize || kBmpFileHeaderSize + header_size > size)
    return Reject(error, "unsupported or truncated info header");

  BmpImage img;
  int64_t width = static_cast<int32_t>(Le32(file, 18));
  int64_t height = static_cast<int32_t>(Le32(file, 22));
  img.bit_count = Le16(file, 28);
  img.compression = Le32(file, 30);
  uint64_t colours_used = Le32(file, 46);
  img.x_ppm = static_cast<int32_t>(Le32(file, kBmpXPelsOffset));
  img.y_ppm = static_cast<int32_t>(Le32(file, kBmpYPelsOffset));

  if (width <= 0 || height == 0) return Reject(error, "width or height is zero or negative");
  if (width > kMaxSide || std::llabs(height) > kMaxSide) return Reject(error, "picture too large");
  img.top_down = height < 0;
  img.width = static_cast<int>(width);
  img.height = static_cast<int>(std::llabs(height));
  switch (img.bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return Reject(error, "unsupported bit count");
  }
  bool bit_fields = img.compression == kBitFields && (img.bit_count == 16 || img.bit_count == 32);
  if (img.compression != kPlain && !bit_fields) return Reject(error, "compressed picture");

  uint64_t after_header = kBmpFileHeaderSize + header_size;
  if (bit_fields) {
    size_t at = header_size == kBmpInfoHeaderSize ? after_header : kBmpFileHeaderSize + kBmpInfoHeaderSize;
    if (at + 12 > size) return Reject(error, "truncated colour masks");
    for (int i = 0; i < 3; ++i) img.masks[i] = Le32(file, at + 4 * i);
  } else if (img.bit_count == 16) {
    img.masks[0] = 0x7c00, img.masks[1] = 0x03e0, img.masks[2] = 0x001f;
  } else if (img.bit_count == 32) {
    img.masks[0] = 0xff0000, img.masks[1] = 0x00ff00, img.masks[2] = 0x0000ff;
  }

  uint64_t palette_at = after_header + MaskBytes(static_cast<uint32_t>(header_size), img.compression);
  uint64_t colours = colours_used;
  if (colours == 0 && img.bit_count <= 8) colours = uint64_t{1} << img.bit_count;
  if (palette_at > size || colours * 4 > size - palette_at)
    return Reject(error, "colour table larger than the file");
  // Pictures above 8 bits may carry a colour table as a hint; it is skipped.
  if (img.bit_count <= 8) img.palette = file.subspan(palette_at, colours * 4);

  img.stride = static_cast<size_t>((width * img.bit_count + 31) / 32 * 4);
  if (data_offset < after_header || data_offset > size) return Reject(error, "bad pixel data offset");
  if (img.stride > (size - data_offset) / img.height) return Reject(error, "pixel data truncated");
  img.pixels = file.subspan(data_offset, img.stride * img.height);
  return img;
}

const uint8_t* BmpImage::Row(int y) const {
  size_t row = top_down ? static_cast<size_t>(y) : static_cast<size_t>(height - 1 - y);
  return pixels.data() + row * stride;
}

void BmpImage::RowToRgb(int y, uint8_t* rgb) const {
  const uint8_t* src = Row(y);
  const size_t entries = palette.size() / 4;
  auto put_index = [&](uint8_t* out, unsigned index) {
    if (index < entries) {
      const uint8_t* e = palette.data() + 4 * index;
      out[0] = e[2], out[1] = e[1], out[2] = e[0];
    } else {
      out[0] = out[1] = out[2] = 0;
    }
  };
  switch (bit_count) {
    case 1:
      for (int x = 0; x < width; ++x) put_index(rgb + 3 * x, (src[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case 4:
      for (int x = 0; x < width; ++x) put_index(rgb + 3 * x, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
      break;
    case 8:
      for (int x = 0; x < width; ++x) put_index(rgb + 3 * x, src[x]);
      break;
    case 24:
      for (int x = 0; x < width; ++x, src += 3, rgb += 3) rgb[0] = src[2], rgb[1] = src[1], rgb[2] = src[0];
      break;
    case 16:
    case 32: {
      const Channel r = MakeChannel(masks[0]), g = MakeChannel(masks[1]), b = MakeChannel(masks[2]);
      const int step = bit_count / 8;
      for (int x = 0; x < width; ++x, src += step, rgb += 3) {
        uint32_t px = step == 2
                          ? static_cast<uint32_t>(src[0] | src[1] << 8)
                          : static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 |
                                static_cast<uint32_t>(src[2]) << 16 | static_cast<uint32_t>(src[3]) << 24;
        rgb[0] = Scale(px, r), rgb[1] = Scale(px, g), rgb[2] = Scale(px, b);
      }
      break;
    }
    default:
      std::memset(rgb, 0, static_cast<size_t>(width) * 3);
  }
}

int BmpImage::ShownBitsPerPixel() const {
  if (bit_count == 16 && masks[1] == 0x03e0) return 15;
  return bit_count;
}

std::vector<uint8_t> MakeBmp24(int width, int height, std::span<const uint8_t> rgb, int dpi) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  const size_t image = stride * static_cast<size_t>(height);
  const size_t offset = kBmpFileHeaderSize + kBmpInfoHeaderSize;
  std::vector<uint8_t> out(offset + image, 0);
  uint8_t* p = out.data();
  p[0] = 'B', p[1] = 'M';
  PutLe32(p + 2, static_cast<uint32_t>(out.size()));
  PutLe32(p + 10, static_cast<uint32_t>(offset));
  PutLe32(p + 14, kBmpInfoHeaderSize);
  PutLe32(p + 18, static_cast<uint32_t>(width));
  PutLe32(p + 22, static_cast<uint32_t>(height));
  PutLe16(p + 26, 1);
  PutLe16(p + 28, 24);
  PutLe32(p + 34, static_cast<uint32_t>(image));
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height && rgb.size() >= (static_cast<size_t>(y) + 1) * row_bytes; ++y) {
    const uint8_t* src = rgb.data() + static_cast<size_t>(y) * row_bytes;
    uint8_t* dst = p + offset + static_cast<size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x, src += 3, dst += 3) dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
  }
  SetBmpResolution(out, dpi);
  return out;
}

}  // namespace vx::scan
