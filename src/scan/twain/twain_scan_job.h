// One scan through the TWAIN component, from Acquire to the saved group: the
// resolution check before each transfer, each page's DIB checked and written
// as the group's BMP page as it arrives, and the end of the batch, after which
// the pages received are saved by the scan saving (TSaveScanningThread).
// The command line's `scan` runs it; it holds no window state.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scan/file_store.h"
#include "scan/save_scanning.h"
#include "scan/scan_naming.h"
#include "scan/twain/qvtwain.h"

namespace vx::scan::twain {

// What a page's DIB says about itself.
struct DibInfo {
  int width = 0;
  int height = 0;  // always positive
  int bit_count = 0;
};
// Checks a DIB handed over by a source before it is written: an info header
// of 40 bytes or more inside the block, a width and height above zero and
// within 2^20, a bit count of 1, 4, 8, 16, 24 or 32, no compression other than
// bit-field masks, and the pixels inside the block. `error` says why not.
std::optional<DibInfo> InspectDib(std::span<const uint8_t> dib, std::string* error = nullptr);

// The scan window's rule before each transfer: a resolution above 600 dpi
// (600 and above for depths other than 1, 8 and 24) is lowered to 600, then
// by 50 until the source accepts it (not below 100). With `asked_dpi` the
// source must accept exactly that resolution instead. False when no
// resolution was accepted; `info` holds the image information last read.
bool NegotiateResolution(TQVTWAIN& twain, int asked_dpi, TW_IMAGEINFO& info);

struct ScanJobOptions {
  GroupFormat format = GroupFormat::kPdf;
  GroupNames names;   // target, base and (for PDF) temp base
  int dpi = 0;        // the resolution asked for; 0 keeps the source's own
  int max_pages = 0;  // 0: every page the source gives
};

struct ScannedPage {
  int number = 0;    // from 1
  std::string file;  // the BMP page file
  DibInfo dib;
  int dpi = 0;
};

class TwainScanJob {
 public:
  TwainScanJob(TQVTWAIN& twain, FileStore& files, ScanJobOptions options);
  ~TwainScanJob();
  TwainScanJob(const TwainScanJob&) = delete;
  TwainScanJob& operator=(const TwainScanJob&) = delete;

  // Called for each page written (before the next transfer).
  std::function<void(const ScannedPage&)> OnPage;

  // Takes the component's events and starts the acquisition; false when the
  // source could not be opened or enabled (`Errors()` says so).
  bool Start();
  // The batch has ended (the source is no longer enabled).
  bool BatchOver() const { return started_ && !twain_.IsDataSourceEnabled(); }

  int Pages() const { return static_cast<int>(pages_.size()); }
  int Dpi() const { return dpi_; }
  int Bpp() const { return bpp_; }
  // The source failed a transfer, refused the resolution, or a page could not
  // be written.
  bool Failed() const { return !errors_.empty(); }
  bool ClosedBySource() const { return closed_; }
  const std::vector<std::string>& Errors() const { return errors_; }

  // The saving of the pages received, as the scan window starts it.
  SaveJob MakeSaveJob() const;

 private:
  void ScanStart(TQVTWAIN& twain);
  void ScanReady(TQVTWAIN& twain);

  TQVTWAIN& twain_;
  FileStore& files_;
  ScanJobOptions options_;
  bool started_ = false;
  bool closed_ = false;
  int dpi_ = 0;
  int bpp_ = 0;
  int transfers_ = 0;
  std::vector<ScannedPage> pages_;
  std::vector<std::string> errors_;
};

}  // namespace vx::scan::twain
