#include "scan/save_scanning.h"

#include "platform/trace.h"
#include "scan/bmp.h"
#include "scan/pdf_document.h"

namespace vx::scan {
namespace {

std::atomic<bool> g_save_error{false};

}  // namespace

bool SaveErrorFlag() { return g_save_error.load(); }

bool PageConverter::BmpToJpeg(const std::string& bmp_file, const std::string& jpeg_file, int dpi,
                              std::string* error, int* width, int* height) {
  if (!files_.Read(bmp_file, bmp_)) {
    if (error) *error = "cannot read " + bmp_file;
    return false;
  }
  std::string why;
  auto picture = ParseBmp(bmp_, &why);
  if (!picture) {
    if (error) *error = bmp_file + ": " + why;
    return false;
  }
  if (width) *width = picture->width;
  if (height) *height = picture->height;
  return PictureToJpeg(*picture, jpeg_file, dpi, error);
}

bool PageConverter::PictureToJpeg(const BmpImage& picture, const std::string& jpeg_file, int dpi,
                                  std::string* error) {
  std::string why;
  if (!encoder_.Encode(picture, kJpegQuality, jpeg_, &why)) {
    if (error) *error = "cannot encode JPEG: " + why;
    return false;
  }
  if (!files_.WriteAll(jpeg_file, jpeg_)) {
    if (error) *error = "cannot write " + jpeg_file;
    return false;
  }
  if (!SetJpegDensity(files_, jpeg_file, dpi)) {
    files_.Remove(jpeg_file);
    if (error) *error = "cannot set the density of " + jpeg_file;
    return false;
  }
  return true;
}

TSaveScanningThread::TSaveScanningThread(SaveJob job, FileStore& files, const Clock& clock,
                                         MainThread& main_thread, SaveScanningView* view)
    : job_(std::move(job)),
      files_(files),
      clock_(clock),
      main_thread_(main_thread),
      view_(view),
      converter_(files),
      worker_(main_thread, "TSaveScanningThread") {}

TSaveScanningThread::~TSaveScanningThread() { Wait(); }

void TSaveScanningThread::Start(std::function<void()> on_start) {
  worker_.Start([this, on_start = std::move(on_start)](Worker& w) {
    if (on_start) on_start();
    Execute(w);
  });
}

void TSaveScanningThread::Wait() { worker_.WaitFor(); }

void TSaveScanningThread::Fail(int page, const std::string& why) {
  outcome_.error = true;
  g_save_error.store(true);
  const std::string line = (page > 0 ? "page " + std::to_string(page) + ": " : std::string()) + why;
  outcome_.failures.push_back(line);
  TraceLine("save scanning: " + line);
}

void TSaveScanningThread::Execute() {
  Worker here(main_thread_, "TSaveScanningThread");
  Execute(here);
}

void TSaveScanningThread::Execute(Worker& w) {
  g_save_error.store(false);
  outcome_ = SaveOutcome{};
  switch (job_.format) {
    case GroupFormat::kBmp:
      SaveBmp();
      break;
    case GroupFormat::kJpg:
      SaveJpg();
      break;
    case GroupFormat::kPdf:
      SavePdf();
      break;
  }
  if (view_) {
    if (!outcome_.error && job_.page_count >= 2) w.RunOnMainThread([this] { view_->EnablePageNavigation(); });
    w.RunOnMainThread([this] { view_->SavingDone(outcome_); });
  }
  finished_.store(true);
}

void TSaveScanningThread::SaveBmp() {
  for (int n = 1; n <= job_.page_count; ++n) {
    const std::string page = PageFileName(job_.names.base, n, ".bmp");
    if (WriteBmpResolution(files_, page, job_.dpi)) {
      outcome_.files.push_back(page);
    } else {
      Fail(n, "cannot write the resolution into " + page);
    }
  }
}

void TSaveScanningThread::SaveJpg() {
  for (int n = 1; n <= job_.page_count; ++n) {
    const std::string bmp = PageFileName(job_.names.base, n, ".bmp");
    const std::string jpg = PageFileName(job_.names.base, n, ".jpg");
    std::string why;
    if (converter_.BmpToJpeg(bmp, jpg, job_.dpi, &why)) {
      outcome_.files.push_back(jpg);
      files_.Remove(bmp);
    } else {
      // The BMP is the only copy of the scanned page: it stays.
      Fail(n, why);
    }
  }
}

void TSaveScanningThread::SavePdf() {
  PdfDocument document(files_, clock_);
  for (int n = 1; n <= job_.page_count; ++n) {
    const std::string bmp = PageFileName(job_.names.temp_base, n, ".bmp");
    const std::string jpg = PageFileName(job_.names.temp_base, n, ".jpg");
    std::string why;
    int width = 0, height = 0;
    if (!converter_.BmpToJpeg(bmp, jpg, job_.dpi, &why, &width, &height)) {
      Fail(n, why);
    } else if (!outcome_.error) {
      const std::string box = "0 0 " + std::to_string(width) + " " + std::to_string(height);
      if (!document.BeginPage(n, box) || !document.PlaceJpeg(jpg)) Fail(n, "cannot place the page");
    }
  }
  const bool finished = !outcome_.error && document.FinishDocument();
  if (!outcome_.error) {
    if (finished && document.SaveDocument(job_.names.target)) {
      outcome_.files.push_back(job_.names.target);
    } else {
      Fail(0, "cannot write " + job_.names.target);
    }
  }
  if (outcome_.error) {
    KeepPdfPages();
  } else {
    for (int n = 1; n <= job_.page_count; ++n) files_.Remove(PageFileName(job_.names.temp_base, n, ".bmp"));
  }
  outcome_.pdf_temp_present = true;
  outcome_.pdf_name = job_.names.target;
}

// No PDF was written, and the private folder's files go with the window: the
// scanned pages would be lost. Each page stays as a BMP under the group's base
// (base.bmp, base_2.bmp, ...), as a JPG group keeps a page it could not
// convert; a name the user already has is never overwritten (base_2-2.bmp,
// base_2-3.bmp, ... are tried instead).
void TSaveScanningThread::KeepPdfPages() {
  constexpr int kTries = 100;
  std::vector<uint8_t> bytes;
  for (int n = 1; n <= job_.page_count; ++n) {
    const std::string temp = PageFileName(job_.names.temp_base, n, ".bmp");
    if (!files_.Exists(temp)) continue;
    std::string kept = PageFileName(job_.names.base, n, ".bmp");
    for (int k = 2; k <= kTries && files_.Exists(kept); ++k) {
      std::string ext = std::to_string(k);  // built in place: "-" + text trips GCC's -Wrestrict at -O3
      ext.insert(0, 1, '-').append(".bmp");
      kept = PageFileName(job_.names.base, n, ext);
    }
    if (files_.Exists(kept)) {
      Fail(n, "cannot keep the page: " + kept + " and the names before it exist");
    } else if (!files_.Read(temp, bytes) || !files_.WriteAll(kept, bytes)) {
      Fail(n, "cannot keep the page as " + kept);
    } else {
      outcome_.files.push_back(kept);
      files_.Remove(temp);
    }
  }
}

}  // namespace vx::scan
