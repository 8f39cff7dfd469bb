#include "scan/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "platform/trace.h"

namespace vx::scan {
namespace {

// libjpeg reports a fatal error through error_exit, whose default ends the
// process. Ours jumps back to the call that started the work instead; the
// functions that set the jump point keep no object with a destructor alive
// between the jump point and the libjpeg calls.
struct ErrorTrap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
  cinfo->err->format_message(cinfo, trap->message);
  std::longjmp(trap->jump, 1);
}

void OutputMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, text);
  TraceLine(std::string("jpeg: ") + text);
}

void InstallTrap(ErrorTrap& trap) {
  jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = ErrorExit;
  trap.mgr.output_message = OutputMessage;
  trap.message[0] = '\0';
}

// Destination manager that writes into a std::vector and grows it.
struct VectorDestination {
  jpeg_destination_mgr mgr;
  std::vector<uint8_t>* out;
};

bool Grow(std::vector<uint8_t>& out, size_t size) {
  try {
    out.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  std::vector<uint8_t>& out = *dest->out;
  if (!Grow(out, std::max<size_t>(out.capacity(), 1 << 16))) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
  dest->mgr.next_output_byte = out.data();
  dest->mgr.free_in_buffer = out.size();
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  std::vector<uint8_t>& out = *dest->out;
  const size_t used = out.size();
  if (!Grow(out, used * 2)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 2);
  dest->mgr.next_output_byte = out.data() + used;
  dest->mgr.free_in_buffer = out.size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
  dest->out->resize(dest->out->size() - dest->mgr.free_in_buffer);
}

uint16_t Be16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

}  // namespace

struct JpegEncoder::Impl {
  jpeg_compress_struct cinfo;
  ErrorTrap trap;
  VectorDestination dest;
  std::vector<uint8_t> row;  // one converted row for depths libjpeg cannot take directly

  Impl() {
    std::memset(&cinfo, 0, sizeof cinfo);
    InstallTrap(trap);
    cinfo.err = &trap.mgr;
    jpeg_create_compress(&cinfo);  // only allocates; cannot fail short of memory
    dest.mgr.init_destination = InitDestination;
    dest.mgr.empty_output_buffer = EmptyOutputBuffer;
    dest.mgr.term_destination = TermDestination;
    cinfo.dest = &dest.mgr;
  }
  ~Impl() { jpeg_destroy_compress(&cinfo); }

  // The libjpeg calls, behind the jump point.
  bool Run(const BmpImage& picture, int quality, bool direct) {
    if (setjmp(trap.jump)) {
      jpeg_abort_compress(&cinfo);
      return false;
    }
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    if (direct) {
      // Plain 24- and 32-bit rows are handed to libjpeg as they lie in the file.
      cinfo.input_components = picture.bit_count / 8;
      cinfo.in_color_space = picture.bit_count == 24 ? JCS_EXT_BGR : JCS_EXT_BGRX;
    } else {
      cinfo.input_components = 3;
      cinfo.in_color_space = JCS_RGB;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      const int y = static_cast<int>(cinfo.next_scanline);
      JSAMPROW rows[1];
      if (direct) {
        rows[0] = const_cast<JSAMPROW>(picture.Row(y));
      } else {
        picture.RowToRgb(y, row.data());
        rows[0] = row.data();
      }
      jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
  }
};

JpegEncoder::JpegEncoder() : impl_(std::make_unique<Impl>()) {}
JpegEncoder::~JpegEncoder() = default;

bool JpegEncoder::Encode(const BmpImage& picture, int quality, std::vector<uint8_t>& out,
                         std::string* error) {
  if (picture.width <= 0 || picture.height <= 0 || picture.width > JPEG_MAX_DIMENSION ||
      picture.height > JPEG_MAX_DIMENSION) {
    if (error) *error = "picture size not encodable as JPEG";
    return false;
  }
  const bool direct = picture.compression == 0 && (picture.bit_count == 24 || picture.bit_count == 32);
  try {
    if (!direct) impl_->row.resize(static_cast<size_t>(picture.width) * 3);
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
    return false;
  }
  impl_->dest.out = &out;
  if (!impl_->Run(picture, quality, direct)) {
    if (error) *error = impl_->trap.message;
    out.clear();
    return false;
  }
  return true;
}

namespace {

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorTrap trap;

  Decoder() {
    std::memset(&cinfo, 0, sizeof cinfo);
    InstallTrap(trap);
    cinfo.err = &trap.mgr;
    jpeg_create_decompress(&cinfo);
  }
  ~Decoder() { jpeg_destroy_decompress(&cinfo); }

  // Reads the header and checks the picture may be decoded.
  bool Start(std::span<const uint8_t> jpeg, uint64_t max_pixels, std::string& refusal) {
    if (setjmp(trap.jump)) return false;
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    const uint64_t pixels = uint64_t{cinfo.image_width} * cinfo.image_height;
    if (pixels == 0 || pixels > max_pixels) {
      refusal = "picture too large to show";
      return false;
    }
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
      refusal = "CMYK pictures are not shown";
      return false;
    }
    cinfo.out_color_space = JCS_RGB;
    return true;
  }

  bool Run(RgbPicture& out) {
    if (setjmp(trap.jump)) return false;
    jpeg_start_decompress(&cinfo);
    const size_t row_bytes = static_cast<size_t>(cinfo.output_width) * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW rows[1] = {out.rgb.data() + cinfo.output_scanline * row_bytes};
      jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
  }
};

}  // namespace

bool DecodeJpeg(std::span<const uint8_t> jpeg, RgbPicture& out, std::string* error, uint64_t max_pixels) {
  out = RgbPicture{};
  Decoder d;
  std::string refusal;
  if (!d.Start(jpeg, max_pixels, refusal)) {
    if (error) *error = refusal.empty() ? d.trap.message : refusal;
    return false;
  }
  try {
    out.rgb.resize(uint64_t{d.cinfo.image_width} * d.cinfo.image_height * 3);
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
    return false;
  }
  if (!d.Run(out)) {
    if (error) *error = d.trap.message;
    out = RgbPicture{};
    return false;
  }
  out.width = static_cast<int>(d.cinfo.output_width);
  out.height = static_cast<int>(d.cinfo.output_height);
  return true;
}

std::optional<size_t> FindJfifDensity(std::span<const uint8_t> jpeg) {
  static constexpr uint8_t kTag[4] = {'J', 'F', 'I', 'F'};
  const size_t limit = std::min<size_t>(jpeg.size(), 64);
  for (size_t at = 0; at + 4 <= limit; ++at) {
    if (std::memcmp(jpeg.data() + at, kTag, 4) != 0) continue;
    if (at + 12 > jpeg.size()) return std::nullopt;
    return at + 7;
  }
  return std::nullopt;
}

bool PatchJfifDensity(std::span<uint8_t> jpeg, int dpi) {
  auto at = FindJfifDensity(jpeg);
  if (!at || dpi < 0 || dpi > 0xffff) return false;
  uint8_t* p = jpeg.data() + *at;
  p[0] = 1;
  p[1] = p[3] = static_cast<uint8_t>(dpi >> 8);
  p[2] = p[4] = static_cast<uint8_t>(dpi);
  return true;
}

int ReadJfifDensity(std::span<const uint8_t> jpeg) {
  auto at = FindJfifDensity(jpeg);
  return at ? Be16(jpeg, *at + 3) : 0;
}

namespace {
// Enough of a file to hold a marker in its first 64 bytes and its densities.
constexpr size_t kDensityWindow = 64 + 8;
}  // namespace

bool SetJpegDensity(FileStore& files, const std::string& file, int dpi) {
  std::vector<uint8_t> head;
  if (!files.Read(file, head, kDensityWindow)) return false;
  auto at = FindJfifDensity(head);
  if (!at || !PatchJfifDensity(head, dpi)) return false;
  return files.Patch(file, *at, std::span(head).subspan(*at, 5));
}

int GetJpegDensity(const FileStore& files, const std::string& file) {
  std::vector<uint8_t> head;
  if (!files.Read(file, head, kDensityWindow)) return 0;
  return ReadJfifDensity(head);
}

std::optional<JpegFrame> ReadJpegFrame(std::span<const uint8_t> jpeg) {
  const size_t size = jpeg.size();
  if (size < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return std::nullopt;
  size_t pos = 2;
  while (pos < size) {
    if (jpeg[pos] != 0xFF) return std::nullopt;
    while (pos < size && jpeg[pos] == 0xFF) ++pos;  // fill bytes
    if (pos >= size) return std::nullopt;
    const uint8_t marker = jpeg[pos++];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // no frame before the data
    if (pos + 2 > size) return std::nullopt;
    const size_t length = Be16(jpeg, pos);
    if (length < 2 || pos + length > size) return std::nullopt;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8) return std::nullopt;
      JpegFrame f;
      f.marker = marker;
      f.bits_per_component = jpeg[pos + 2];
      f.height = Be16(jpeg, pos + 3);
      f.width = Be16(jpeg, pos + 5);
      f.components = jpeg[pos + 7];
      if (length < 8 + 3 * static_cast<size_t>(f.components)) return std::nullopt;
      if (f.width == 0 || f.height == 0 || f.bits_per_component == 0) return std::nullopt;
      if (f.components != 1 && f.components != 3 && f.components != 4) return std::nullopt;
      return f;
    }
    pos += length;
  }
  return std::nullopt;
}

}  // namespace vx::scan
