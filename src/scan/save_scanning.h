// The saving of a finished scan group: the thread that turns the BMP pages of
// a batch into their final form (BMP files with their resolution, JPEG files,
// or one PDF), and the page conversion it shares with Save as.
//
// The scan window starts the thread after the last page with plain inputs
// (names, page count, dpi) and polls Finished(); the thread hands its two
// closing steps to the main thread through the worker base, so an exception
// of one step does not keep the other from running.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/main_thread.h"
#include "platform/worker_thread.h"
#include "scan/file_store.h"
#include "scan/jpeg.h"
#include "scan/scan_naming.h"

namespace vx::scan {

// Converts BMP pages to JPEG files; one BMP buffer, one JPEG buffer and one
// compressor serve a whole batch.
class PageConverter {
 public:
  explicit PageConverter(FileStore& files) : files_(files) {}

  // Loads a BMP, encodes it at quality 75 into `jpeg_file` and writes `dpi`
  // into its JFIF density. On failure no JPEG is left and `error` says why.
  // `width` and `height` receive the picture's size.
  bool BmpToJpeg(const std::string& bmp_file, const std::string& jpeg_file, int dpi, std::string* error,
                 int* width = nullptr, int* height = nullptr);
  // The same for a picture already in memory.
  bool PictureToJpeg(const BmpImage& picture, const std::string& jpeg_file, int dpi, std::string* error);

 private:
  FileStore& files_;
  JpegEncoder encoder_;
  std::vector<uint8_t> bmp_;
  std::vector<uint8_t> jpeg_;
};

struct SaveJob {
  GroupFormat format = GroupFormat::kJpg;
  int page_count = 0;
  int dpi = 0;
  int bpp = 0;  // of the scan; kept for the window, not used by the saving
  GroupNames names;
};

struct SaveOutcome {
  bool error = false;                 // a page failed (the SaveErrorFlag of this batch)
  std::vector<std::string> files;     // the final files written, in page order (the pages
                                      // kept as BMP files when a PDF could not be written)
  std::vector<std::string> failures;  // one line per failure, naming the page
  bool pdf_temp_present = false;      // the PDF group's temporary JPEG pages exist
  std::string pdf_name;               // the PDF group's target
};

// The two steps the thread hands to the main thread at its end.
class SaveScanningView {
 public:
  virtual ~SaveScanningView() = default;
  // Two or more pages and none failed: page navigation becomes possible.
  virtual void EnablePageNavigation() = 0;
  // Always last: the window shows the first page (unless a page failed) and
  // becomes usable again.
  virtual void SavingDone(const SaveOutcome& outcome) = 0;
};

// Set by the saving when any page of the last batch failed; cleared when a
// batch starts. One for the program.
bool SaveErrorFlag();

class TSaveScanningThread {
 public:
  TSaveScanningThread(SaveJob job, FileStore& files, const Clock& clock, MainThread& main_thread,
                      SaveScanningView* view);
  ~TSaveScanningThread();  // waits for the thread
  TSaveScanningThread(const TSaveScanningThread&) = delete;
  TSaveScanningThread& operator=(const TSaveScanningThread&) = delete;

  // Runs Execute() on a new thread; `on_start` runs there first (the window
  // raises the thread's priority in it).
  void Start(std::function<void()> on_start = {});
  // True once the work and both main-thread steps are done.
  bool Finished() const { return finished_.load(); }
  // Waits for the thread, running the main thread's hand-overs meanwhile
  // (the closing steps among them).
  void Wait();
  // The whole work on the calling thread.
  void Execute();
  // Valid once Finished().
  const SaveOutcome& Outcome() const { return outcome_; }

 private:
  void Execute(Worker& w);
  void SaveBmp();
  void SaveJpg();
  void SavePdf();
  void KeepPdfPages();
  // Records a failure of page `page` (0: of the document as a whole).
  void Fail(int page, const std::string& why);

  SaveJob job_;
  FileStore& files_;
  const Clock& clock_;
  MainThread& main_thread_;
  SaveScanningView* view_;
  PageConverter converter_;
  SaveOutcome outcome_;
  std::atomic<bool> finished_{false};
  WorkerThread worker_;  // last: it ends before the members its body uses
};

}  // namespace vx::scan
