#include "scan/save_scanning.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <thread>

#include "platform/testing/queue_main_thread.h"
#include "platform/trace.h"
#include "scan/bmp.h"
#include "scan/shown_picture.h"
#include "scan/test_support.h"

namespace vx::scan {
namespace {

using testing::Le32At;
using testing::ReadAll;
using testing::TempFolder;
using testing::Text;

class RecordingView final : public SaveScanningView {
 public:
  std::vector<std::string> steps;
  SaveOutcome outcome;
  void EnablePageNavigation() override { steps.push_back("navigation"); }
  void SavingDone(const SaveOutcome& o) override {
    steps.push_back("done");
    outcome = o;
  }
};

const testing::FixedClock kClock(LocalTime{2024, 1, 2, 3, 4, 5});

// Writes `pages` as the BMP page files of a group under `base`.
void WritePages(const std::string& base, const std::vector<std::vector<uint8_t>>& pages) {
  for (size_t n = 1; n <= pages.size(); ++n)
    ASSERT_TRUE(LocalFileStore().WriteAll(PageFileName(base, static_cast<int>(n), ".bmp"), pages[n - 1]));
}

SaveOutcome SaveGroup(SaveJob job, RecordingView& view) {
  TSaveScanningThread thread(std::move(job), LocalFileStore(), kClock, InlineMainThread(), &view);
  thread.Execute();
  EXPECT_TRUE(thread.Finished());
  return thread.Outcome();
}

SaveJob Job(GroupFormat format, int pages, const std::string& target, const std::string& temp_base = "") {
  SaveJob job;
  job.format = format;
  job.page_count = pages;
  job.dpi = 300;
  job.bpp = 24;
  job.names = MakeGroupNames(target, temp_base);
  return job;
}

TEST(TSaveScanningThread, JpgGroupLeavesDensityTaggedJpegsAndNoBmp) {
  TempFolder dir;
  WritePages(dir / "Picture",
             {testing::Gradient(40, 30), testing::Gradient(30, 40), testing::Gradient(8, 8)});
  RecordingView view;
  TSaveScanningThread thread(Job(GroupFormat::kJpg, 3, dir / "Picture.jpg"), LocalFileStore(), kClock,
                             InlineMainThread(), &view);
  std::thread::id worker;
  thread.Start([&] { worker = std::this_thread::get_id(); });
  thread.Wait();
  ASSERT_TRUE(thread.Finished());
  EXPECT_NE(worker, std::this_thread::get_id());
  const SaveOutcome& outcome = thread.Outcome();
  EXPECT_FALSE(outcome.error);
  EXPECT_FALSE(SaveErrorFlag());
  EXPECT_EQ(outcome.files,
            (std::vector<std::string>{dir / "Picture.jpg", dir / "Picture_2.jpg", dir / "Picture_3.jpg"}));
  for (const auto& file : outcome.files) {
    EXPECT_EQ(GetJpegDensity(LocalFileStore(), file), 300) << file;
    EXPECT_EQ(ReadJfifDensity(ReadAll(file)), 300);
  }
  for (const char* bmp : {"Picture.bmp", "Picture_2.bmp", "Picture_3.bmp"})
    EXPECT_FALSE(LocalFileStore().Exists(dir / bmp));
  EXPECT_EQ(view.steps, (std::vector<std::string>{"navigation", "done"}));
  EXPECT_EQ(view.outcome.files, outcome.files);
}

TEST(TSaveScanningThread, BmpGroupCarriesItsResolution) {
  TempFolder dir;
  WritePages(dir / "Scan", {testing::Gradient(5, 5), testing::Gradient(6, 6)});
  RecordingView view;
  auto outcome = SaveGroup(Job(GroupFormat::kBmp, 2, dir / "Scan.bmp"), view);
  ASSERT_FALSE(outcome.error);
  ASSERT_EQ(outcome.files.size(), 2u);
  for (const auto& file : outcome.files) {
    auto bytes = ReadAll(file);
    EXPECT_EQ(Le32At(bytes, 38), 11811u);
    EXPECT_EQ(Le32At(bytes, 42), 11811u);
  }
}

TEST(TSaveScanningThread, PdfGroupKeepsItsJpegPagesForShowing) {
  TempFolder dir, temp;
  WritePages(temp / "page", {testing::Gradient(40, 30), testing::Gradient(30, 40), testing::Gradient(8, 8)});
  RecordingView view;
  auto outcome = SaveGroup(Job(GroupFormat::kPdf, 3, dir / "Picture.pdf", temp / "page"), view);
  ASSERT_FALSE(outcome.error);
  EXPECT_EQ(outcome.files, std::vector<std::string>{dir / "Picture.pdf"});
  EXPECT_TRUE(outcome.pdf_temp_present);
  EXPECT_EQ(outcome.pdf_name, dir / "Picture.pdf");
  const std::string pdf = Text(ReadAll(dir / "Picture.pdf"));
  EXPECT_NE(pdf.find("/Size 15\n"), std::string::npos);
  EXPECT_NE(pdf.find("/MediaBox [0 0 30 40]"), std::string::npos);
  EXPECT_NE(pdf.find("/CreationDate (D:20240102030405)"), std::string::npos);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_FALSE(LocalFileStore().Exists(PageFileName(temp / "page", n, ".bmp")));
    auto jpeg = ReadAll(PageFileName(temp / "page", n, ".jpg"));
    ASSERT_FALSE(jpeg.empty());
    EXPECT_NE(pdf.find(Text(jpeg)), std::string::npos) << "page " << n << " embedded unchanged";
  }
  // What the window shows afterwards: the first temporary JPEG with its density.
  auto shown =
      LoadShownPage(LocalFileStore(), GroupFormat::kPdf,
                    ShownPageFile(GroupFormat::kPdf, MakeGroupNames(dir / "Picture.pdf", temp / "page"), 0));
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->width, 40);
  EXPECT_EQ(shown->dpi, 300);
  EXPECT_EQ(shown->bpp, 24);
}

TEST(TSaveScanningThread, ABadPageSetsTheFlagAndSparesTheOthers) {
  TempFolder dir, temp;
  auto truncated = testing::Gradient(20, 20);
  truncated.resize(truncated.size() / 2);
  WritePages(dir / "Picture", {testing::Gradient(8, 8), truncated, testing::Gradient(8, 8)});
  RecordingView view;
  auto outcome = SaveGroup(Job(GroupFormat::kJpg, 3, dir / "Picture.jpg"), view);
  EXPECT_TRUE(outcome.error);
  EXPECT_TRUE(SaveErrorFlag());
  EXPECT_EQ(outcome.files, (std::vector<std::string>{dir / "Picture.jpg", dir / "Picture_3.jpg"}));
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_NE(outcome.failures[0].find("page 2"), std::string::npos);
  EXPECT_FALSE(LocalFileStore().Exists(dir / "Picture_2.jpg"));
  EXPECT_TRUE(LocalFileStore().Exists(dir / "Picture_2.bmp"));  // the scanned page is not lost
  EXPECT_EQ(view.steps, std::vector<std::string>{"done"});      // no page navigation

  // In a PDF group the same page means no PDF at all; the flag is cleared at the next batch's start.
  WritePages(temp / "page", {testing::Gradient(8, 8), truncated});
  RecordingView pdf_view;
  outcome = SaveGroup(Job(GroupFormat::kPdf, 2, dir / "Group.pdf", temp / "page"), pdf_view);
  EXPECT_TRUE(outcome.error);
  EXPECT_FALSE(LocalFileStore().Exists(dir / "Group.pdf"));
  EXPECT_TRUE(outcome.pdf_temp_present);
  // Every page of the group survives as a BMP beside where the PDF would be,
  // byte for byte, the bad one too; none is left in the private folder.
  EXPECT_EQ(outcome.files, (std::vector<std::string>{dir / "Group.bmp", dir / "Group_2.bmp"}));
  EXPECT_EQ(ReadAll(dir / "Group.bmp"), testing::Gradient(8, 8));
  EXPECT_EQ(ReadAll(dir / "Group_2.bmp"), truncated);
  for (int n = 1; n <= 2; ++n) EXPECT_FALSE(LocalFileStore().Exists(PageFileName(temp / "page", n, ".bmp")));
  WritePages(temp / "page", {testing::Gradient(8, 8)});
  outcome = SaveGroup(Job(GroupFormat::kPdf, 1, dir / "Group.pdf", temp / "page"), pdf_view);
  EXPECT_FALSE(SaveErrorFlag());
  EXPECT_TRUE(LocalFileStore().Exists(dir / "Group.pdf"));
}

TEST(TSaveScanningThread, WriteFailuresAreReportedPerPage) {
  TempFolder dir, temp;
  // Folders where the files should go: nothing can be written there.
  for (const char* name : {"P.jpg", "P_2.jpg", "Q.pdf"})
    std::filesystem::create_directories(std::filesystem::path(dir / name) / "x");
  WritePages(dir / "P", {testing::Gradient(8, 8), testing::Gradient(8, 8)});
  RecordingView view;
  auto outcome = SaveGroup(Job(GroupFormat::kJpg, 2, dir / "P.jpg"), view);
  EXPECT_EQ(outcome.failures.size(), 2u);
  EXPECT_TRUE(outcome.files.empty());

  // A BMP group whose page files are missing.
  outcome = SaveGroup(Job(GroupFormat::kBmp, 2, dir / "Missing.bmp"), view);
  EXPECT_EQ(outcome.failures.size(), 2u);

  // The PDF itself cannot be written: its page is kept as a BMP instead.
  WritePages(temp / "page", {testing::Gradient(8, 8)});
  outcome = SaveGroup(Job(GroupFormat::kPdf, 1, dir / "Q.pdf", temp / "page"), view);
  EXPECT_TRUE(outcome.error);
  EXPECT_EQ(outcome.files, std::vector<std::string>{dir / "Q.bmp"});
  EXPECT_EQ(ReadAll(dir / "Q.bmp"), testing::Gradient(8, 8));
}

TEST(TSaveScanningThread, KeptPdfPagesNeverOverwriteTheUsersFiles) {
  TempFolder dir, temp;
  std::filesystem::create_directories(std::filesystem::path(dir / "R.pdf") / "x");  // no PDF can be written
  ASSERT_TRUE(LocalFileStore().WriteAll(dir / "R_2.bmp", std::vector<uint8_t>{'u', 's', 'e', 'r'}));
  WritePages(temp / "page", {testing::Gradient(8, 8), testing::Gradient(9, 9)});
  RecordingView view;
  auto outcome = SaveGroup(Job(GroupFormat::kPdf, 2, dir / "R.pdf", temp / "page"), view);
  EXPECT_TRUE(outcome.error);
  EXPECT_EQ(outcome.files, (std::vector<std::string>{dir / "R.bmp", dir / "R_2-2.bmp"}));
  EXPECT_EQ(Text(ReadAll(dir / "R_2.bmp")), "user");
  EXPECT_EQ(ReadAll(dir / "R_2-2.bmp"), testing::Gradient(9, 9));
  EXPECT_EQ(outcome.failures.size(), 1u);  // the PDF alone
}

// The window's steps on a thread of their own; the first one throws.
class ThrowingView final : public SaveScanningView {
 public:
  void EnablePageNavigation() override { throw std::runtime_error("no page buttons"); }
  void SavingDone(const SaveOutcome& o) override {
    done_on_main = std::this_thread::get_id() == main_id;
    outcome = o;
  }
  std::thread::id main_id;
  std::optional<bool> done_on_main;
  SaveOutcome outcome;
};

TEST(TSaveScanningThread, AFailingWindowStepStillLetsTheLastStepRun) {
  TempFolder dir;
  WritePages(dir / "Two", {testing::Gradient(8, 8), testing::Gradient(8, 8)});
  vx::testing::QueueMainThread main;
  ThrowingView view;
  view.main_id = main.id();
  TraceCapture trace;
  TSaveScanningThread thread(Job(GroupFormat::kJpg, 2, dir / "Two.jpg"), LocalFileStore(), kClock, main,
                             &view);
  thread.Start();
  thread.Wait();
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(view.done_on_main, std::optional<bool>(true));
  EXPECT_EQ(view.outcome.files.size(), 2u);
  EXPECT_TRUE(trace.Contains("TSaveScanningThread : exception in a main-thread step : no page buttons"));
}

TEST(SavePictureAs, WritesByExtensionAndNothingForOthers) {
  TempFolder dir;
  FileStore& files = LocalFileStore();
  ScanTempArea temp(files);
  ASSERT_TRUE(files.WriteAll(dir / "page.bmp",
                             testing::MakePicture(
                                 12, 9, [](int x, int) { return x < 6 ? 0xFF0000u : 0x0000FFu; }, 300)));
  auto shown = LoadShownPage(files, GroupFormat::kBmp, dir / "page.bmp");
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->dpi, 300);
  shown->dpi = 150;  // the picture information shows another resolution

  EXPECT_EQ(SaveAsKindOf("a.TIF"), SaveAsKind::kNothing);
  EXPECT_FALSE(SavePictureAs(files, kClock, temp, *shown, dir / "a.tif"));
  EXPECT_FALSE(SavePictureAs(files, kClock, temp, *shown, dir / "noext"));
  EXPECT_FALSE(files.Exists(dir / "a.tif"));
  EXPECT_FALSE(files.Exists(dir / "noext"));

  ASSERT_TRUE(SavePictureAs(files, kClock, temp, *shown, dir / "a.JPEG"));
  EXPECT_EQ(GetJpegDensity(files, dir / "a.JPEG"), 150);
  ASSERT_TRUE(SavePictureAs(files, kClock, temp, *shown, dir / "a.Bmp"));
  EXPECT_EQ(ReadBmpDpi(ReadAll(dir / "a.Bmp")), 150);
  EXPECT_EQ(ReadAll(dir / "a.Bmp").size(), ReadAll(dir / "page.bmp").size());

  // The PDF's picture never goes next to the user's file: an existing "b.pdf.jpg" survives.
  ASSERT_TRUE(files.WriteAll(dir / "b.pdf.jpg", std::vector<uint8_t>{'u', 's', 'e', 'r'}));
  ASSERT_TRUE(SavePictureAs(files, kClock, temp, *shown, dir / "b.pdf"));
  EXPECT_EQ(Text(ReadAll(dir / "b.pdf.jpg")), "user");
  const std::string pdf = Text(ReadAll(dir / "b.pdf"));
  EXPECT_NE(pdf.find("/MediaBox [0 0 12 9]"), std::string::npos);
  EXPECT_NE(pdf.find("/Size 9\n"), std::string::npos);
  EXPECT_FALSE(files.Exists(*temp.SaveAsJpegName()));
}

}  // namespace
}  // namespace vx::scan
