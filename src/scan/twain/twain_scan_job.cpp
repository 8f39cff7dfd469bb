#include "scan/twain/twain_scan_job.h"

#include <cstdlib>

#include "scan/bmp.h"

namespace vx::scan::twain {
namespace {

constexpr int64_t kMaxSide = int64_t{1} << 20;
constexpr uint32_t kPlain = 0;
constexpr uint32_t kBitFields = 3;

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

std::nullopt_t Refuse(std::string* error, const std::string& why) {
  if (error) *error = why;
  return std::nullopt;
}

TW_FIX32 Whole(int dpi) { return TW_FIX32{static_cast<int16_t>(dpi), 0}; }

bool Accepted(const TW_IMAGEINFO& info, int dpi) {
  return RoundedDpi(info.XResolution) == dpi && RoundedDpi(info.YResolution) == dpi;
}

}  // namespace

std::optional<DibInfo> InspectDib(std::span<const uint8_t> dib, std::string* error) {
  if (dib.empty()) return Refuse(error, "no picture");
  if (dib.size() < kBmpInfoHeaderSize) return Refuse(error, "picture shorter than its header");
  const uint32_t header = Le32(dib, 0);
  if (header < kBmpInfoHeaderSize || header > dib.size())
    return Refuse(error, "picture header of " + std::to_string(header) + " bytes");
  const int64_t width = static_cast<int32_t>(Le32(dib, 4));
  const int64_t height = std::llabs(static_cast<int32_t>(Le32(dib, 8)));
  const int bits = Le16(dib, 14);
  const uint32_t compression = Le32(dib, 16);
  if (width <= 0 || height == 0 || width > kMaxSide || height > kMaxSide)
    return Refuse(error, "picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Refuse(error, "picture with " + std::to_string(bits) + " bits per pixel");
  if (compression != kPlain && !(compression == kBitFields && (bits == 16 || bits == 32)))
    return Refuse(error, "compressed picture");
  uint64_t colours = Le32(dib, 32);
  if (bits <= 8 && colours == 0) colours = uint64_t{1} << bits;
  if (colours > 256 && bits <= 8) return Refuse(error, "colour table too long");
  if (bits > 8 && colours > 256) colours = 0;  // an optional table is read only up to the file
  const uint64_t masks = (compression == kBitFields && header == kBmpInfoHeaderSize) ? 12 : 0;
  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  const uint64_t needed = header + masks + 4 * colours + stride * static_cast<uint64_t>(height);
  if (needed > dib.size()) return Refuse(error, "picture shorter than its pixels");
  // The page is written with the size its header gives: it must hold the pixels.
  const uint32_t size_field = Le32(dib, 20);
  if (size_field != 0 && size_field < stride * static_cast<uint64_t>(height))
    return Refuse(error, "picture size field smaller than its pixels");
  return DibInfo{static_cast<int>(width), static_cast<int>(height), bits};
}

bool NegotiateResolution(TQVTWAIN& twain, int asked_dpi, TW_IMAGEINFO& info) {
  if (twain.GetImageInfo(info) != TWRC_SUCCESS) return asked_dpi == 0;
  if (asked_dpi > 0) {
    if (Accepted(info, asked_dpi)) return true;
    TW_IMAGEINFO want = info;
    want.XResolution = want.YResolution = Whole(asked_dpi);
    twain.SetImageInfo(want);
    twain.GetImageInfo(info);
    return Accepted(info, asked_dpi);
  }
  const int dpi = RoundedDpi(info.XResolution);
  const int bpp = info.BitsPerPixel;
  const bool common = bpp == 1 || bpp == 8 || bpp == 24;
  if (common ? dpi <= 600 : dpi < 600) return true;
  for (int target = 600; target >= 100; target -= 50) {
    TW_IMAGEINFO want = info;
    want.XResolution = want.YResolution = Whole(target);
    twain.SetImageInfo(want);
    twain.GetImageInfo(info);
    if (info.XResolution.Whole == target && info.YResolution.Whole == target) return true;
  }
  return false;
}

TwainScanJob::TwainScanJob(TQVTWAIN& twain, FileStore& files, ScanJobOptions options)
    : twain_(twain), files_(files), options_(std::move(options)) {}

TwainScanJob::~TwainScanJob() {
  twain_.OnScanStart = nullptr;
  twain_.OnScanReady = nullptr;
  twain_.OnScanCancel = nullptr;
  twain_.OnScanClose = nullptr;
}

bool TwainScanJob::Start() {
  twain_.OnScanStart = [this](TQVTWAIN& t) { ScanStart(t); };
  twain_.OnScanReady = [this](TQVTWAIN& t) { ScanReady(t); };
  twain_.OnScanCancel = [this](TQVTWAIN&) { errors_.push_back("the source failed a transfer"); };
  twain_.OnScanClose = [this](TQVTWAIN&) { closed_ = true; };
  twain_.Acquire();
  started_ = true;
  if (!twain_.IsDataSourceEnabled()) {
    // Close what did open, as the Scan button does after a failed start.
    if (twain_.IsDataSourceOpen()) twain_.CloseDataSource();
    errors_.push_back("the source could not be " +
                      std::string(twain_.IsDataSourceManagerOpen() ? "opened or enabled" : "reached"));
    return false;
  }
  return true;
}

void TwainScanJob::ScanStart(TQVTWAIN& twain) {
  if (options_.max_pages > 0 && Pages() >= options_.max_pages) {
    twain.SetCanel(true);
    return;
  }
  TW_IMAGEINFO info{};
  if (!NegotiateResolution(twain, options_.dpi, info)) {
    twain.SetCanel(true);
    errors_.push_back(options_.dpi > 0
                          ? "the source does not support " + std::to_string(options_.dpi) + " dpi"
                          : "the source supports no resolution from 600 down to 100 dpi");
    return;
  }
  dpi_ = RoundedDpi(info.XResolution);
  bpp_ = info.BitsPerPixel;
}

void TwainScanJob::ScanReady(TQVTWAIN& twain) {
  ++transfers_;
  GlobalBlock dib = twain.GetBmpHandle();
  if (!dib) {
    // A failed transfer is reported by ScanCancel.
    if (!twain.TransferFailed()) errors_.push_back("transfer " + std::to_string(transfers_) + ": no picture");
    return;
  }
  ScannedPage page;
  page.number = Pages() + 1;
  page.file = TransferBmpName(options_.format, options_.names, page.number);
  page.dpi = dpi_;
  std::string why;
  int written = kDibWriteFailed;
  dib.WithBytes([&](std::span<const uint8_t> bytes) {
    auto info = InspectDib(bytes, &why);
    if (!info) return;
    page.dib = *info;
    written = WriteDibAsBmp(bytes, files_, page.file);
    if (written != kDibWritten) why = "cannot write " + page.file;
  });
  dib.Reset();
  if (written != kDibWritten) {
    errors_.push_back("transfer " + std::to_string(transfers_) + ": " + (why.empty() ? "no picture" : why));
    return;
  }
  // Each page carries the depth it came with; the saving does not use it.
  bpp_ = page.dib.bit_count;
  pages_.push_back(page);
  if (OnPage) OnPage(page);
}

SaveJob TwainScanJob::MakeSaveJob() const {
  SaveJob job;
  job.format = options_.format;
  job.page_count = Pages();
  job.dpi = dpi_;
  job.bpp = bpp_;
  job.names = options_.names;
  return job;
}

}  // namespace vx::scan::twain
