#include "scan/twain/twain_scan_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/main_thread.h"
#include "scan/bmp.h"
#include "scan/test_support.h"
#include "scan/twain/fake_dsm.h"

namespace vx::scan::twain {
namespace {

using testing::FakeDsm;
using ::testing::HasSubstr;
using testing::MakeDib;
using Transfer = FakeDsm::Transfer;

class ScanJobTest : public ::testing::Test {
 protected:
  // Runs one scan to its end; returns whether it started.
  bool Scan(GroupFormat format, int dpi = 0, int max_pages = 0) {
    twain.InitTWAIN(&window);
    twain.SetDataSource(EnumerateSources(twain).at(0).identity);
    ScanJobOptions options;
    options.format = format;
    options.dpi = dpi;
    options.max_pages = max_pages;
    const auto extension = "." + std::string(FormatExtension(format));
    options.names = MakeGroupNames(folder / ("Picture" + extension), folder / "tmp-page");
    job = std::make_unique<TwainScanJob>(twain, LocalFileStore(), options);
    job->OnPage = [this](const ScannedPage& page) { written.push_back(page); };
    if (!job->Start()) return false;
    dsm.events = {MSG_XFERREADY};
    messages.Filter(&message);
    EXPECT_TRUE(job->BatchOver());
    return true;
  }
  SaveOutcome Save() {
    vx::scan::testing::FixedClock clock({2026, 12, 9, 10, 0, 0});
    TSaveScanningThread thread(job->MakeSaveJob(), LocalFileStore(), clock, InlineMainThread(), nullptr);
    thread.Execute();
    return thread.Outcome();
  }
  std::vector<std::string> ErrorsJoined() const { return job->Errors(); }

  vx::scan::testing::TempFolder folder;
  FakeDsm dsm;
  ApplicationMessages messages;
  TQVTWAIN twain{TwainPorts{dsm, HeapMemory(), messages}};
  std::unique_ptr<TwainScanJob> job;
  std::vector<ScannedPage> written;
  int window = 0, message = 0;
};

TEST_F(ScanJobTest, ThreePagesOfEveryDepthBecomeOnePdf) {
  dsm.pages = {{Transfer::kPage, 64, 48, 24}, {Transfer::kPage, 50, 40, 8}, {Transfer::kPage, 33, 20, 1}};
  ASSERT_TRUE(Scan(GroupFormat::kPdf));
  EXPECT_FALSE(job->Failed());
  ASSERT_EQ(job->Pages(), 3);
  EXPECT_EQ(written[0].file, folder / "tmp-page.bmp");
  EXPECT_EQ(written[2].file, folder / "tmp-page_3.bmp");
  EXPECT_EQ(written[1].dib.bit_count, 8);
  EXPECT_EQ(job->Dpi(), 300);

  SaveOutcome outcome = Save();
  EXPECT_FALSE(outcome.error);
  ASSERT_EQ(outcome.files.size(), 1u);
  const std::string pdf = vx::scan::testing::Text(vx::scan::testing::ReadAll(folder / "Picture.pdf"));
  EXPECT_THAT(pdf, HasSubstr("/Count 3\n"));
  EXPECT_THAT(pdf, HasSubstr("/MediaBox [0 0 33 20]"));
}

TEST_F(ScanJobTest, AFailureOnPageTwoKeepsPageOne) {
  dsm.pages = {{}, {Transfer::kFail}, {}};
  ASSERT_TRUE(Scan(GroupFormat::kJpg));
  EXPECT_EQ(job->Pages(), 1);
  EXPECT_TRUE(job->Failed());
  EXPECT_THAT(job->Errors().at(0), HasSubstr("failed a transfer"));
  SaveOutcome outcome = Save();
  EXPECT_FALSE(outcome.error);
  ASSERT_EQ(outcome.files.size(), 1u);
  EXPECT_EQ(outcome.files[0], folder / "Picture.jpg");
  EXPECT_FALSE(LocalFileStore().Exists(folder / "Picture.bmp"));
}

TEST_F(ScanJobTest, ACancelInTheSourceMidBatchKeepsThePagesBefore) {
  dsm.pages = {{}, {}, {Transfer::kCancel}};
  ASSERT_TRUE(Scan(GroupFormat::kBmp));
  EXPECT_EQ(job->Pages(), 2);
  EXPECT_EQ(Save().files.size(), 2u);
  EXPECT_EQ(ReadBmpDpi(vx::scan::testing::ReadAll(folder / "Picture_2.bmp")), 300);
}

TEST_F(ScanJobTest, BadPicturesFailAloneAndTheOthersAreNumberedWithoutGaps) {
  dsm.pages = {{Transfer::kNoPicture},
               {},
               {Transfer::kBadBits, 8, 8, 7},
               {Transfer::kBadBits, 8, 8, 0},
               {Transfer::kEmptyPage},
               {Transfer::kShortPicture},
               {}};
  ASSERT_TRUE(Scan(GroupFormat::kBmp));
  EXPECT_EQ(job->Pages(), 2);
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1].file, folder / "Picture_2.bmp");
  const auto& errors = job->Errors();
  ASSERT_EQ(errors.size(), 5u);
  EXPECT_THAT(errors[0], HasSubstr("no picture"));
  EXPECT_THAT(errors[1], HasSubstr("7 bits per pixel"));
  EXPECT_THAT(errors[2], HasSubstr("0 bits per pixel"));
  EXPECT_THAT(errors[3], HasSubstr("0 x 0 pixels"));
  EXPECT_THAT(errors[4], HasSubstr("shorter than its pixels"));
  EXPECT_FALSE(LocalFileStore().Exists(folder / "Picture_3.bmp"));
  EXPECT_FALSE(Save().error);
}

TEST_F(ScanJobTest, APageLimitCancelsTheRest) {
  dsm.pages.assign(5, {});
  ASSERT_TRUE(Scan(GroupFormat::kBmp, 0, 2));
  EXPECT_EQ(job->Pages(), 2);
  EXPECT_FALSE(job->Failed());
  EXPECT_EQ(dsm.transfers, 2);
  EXPECT_EQ(dsm.Count("PENDINGXFERS/RESET"), 1u);
}

TEST_F(ScanJobTest, AnAskedResolutionIsSetOrTheScanIsRefused) {
  ASSERT_TRUE(Scan(GroupFormat::kBmp, 150));
  EXPECT_EQ(dsm.resolution, 150);
  EXPECT_EQ(job->Dpi(), 150);
  EXPECT_EQ(job->Pages(), 3);
}

TEST_F(ScanJobTest, AResolutionTheSourceRefusesScansNothing) {
  ASSERT_TRUE(Scan(GroupFormat::kBmp, 200));
  EXPECT_EQ(job->Pages(), 0);
  EXPECT_EQ(dsm.transfers, 0);
  EXPECT_THAT(job->Errors().at(0), HasSubstr("does not support 200 dpi"));
}

TEST_F(ScanJobTest, A1200DpiScannerIsLoweredTo600) {
  dsm.resolution = 1200;
  ASSERT_TRUE(Scan(GroupFormat::kBmp));
  EXPECT_EQ(dsm.resolution, 600);
  EXPECT_EQ(job->Dpi(), 600);
}

TEST_F(ScanJobTest, AScannerThatOnlyTakes75DpiFromTooHighIsRefused) {
  dsm.resolution = 1200;
  dsm.resolutions = {75};
  ASSERT_TRUE(Scan(GroupFormat::kBmp));
  EXPECT_EQ(job->Pages(), 0);
  EXPECT_THAT(job->Errors().at(0), HasSubstr("600 down to 100"));
}

TEST_F(ScanJobTest, ASourceThatWillNotOpenIsReported) {
  dsm.open_source_fails = true;
  EXPECT_FALSE(Scan(GroupFormat::kPdf));
  EXPECT_TRUE(job->Failed());
  EXPECT_THAT(job->Errors().at(0), HasSubstr("could not be opened"));
}

TEST_F(ScanJobTest, TheSourceClosingItselfEndsTheBatch) {
  twain.InitTWAIN(&window);
  twain.SetDataSource(EnumerateSources(twain).at(0).identity);
  ScanJobOptions options;
  options.names = MakeGroupNames(folder / "Picture.pdf", folder / "tmp");
  TwainScanJob close_job(twain, LocalFileStore(), options);
  ASSERT_TRUE(close_job.Start());
  dsm.events = {MSG_CLOSEDSREQ};
  messages.Filter(&message);
  EXPECT_TRUE(close_job.BatchOver());
  EXPECT_TRUE(close_job.ClosedBySource());
  EXPECT_EQ(close_job.Pages(), 0);
}

TEST(InspectDibTest, AcceptsScannerDepthsAndRefusesWhatCannotBeRead) {
  for (int bits : {1, 4, 8, 24, 32}) {
    auto info = InspectDib(MakeDib(13, 7, bits));
    ASSERT_TRUE(info) << bits;
    EXPECT_EQ(info->width, 13);
    EXPECT_EQ(info->height, 7);
  }
  std::string why;
  EXPECT_FALSE(InspectDib({}, &why));
  EXPECT_EQ(why, "no picture");
  auto dib = MakeDib(13, 7, 24);
  EXPECT_FALSE(InspectDib(std::span(dib).first(39), &why));
  dib[0] = 12;  // an old core header
  EXPECT_FALSE(InspectDib(dib, &why));
  EXPECT_THAT(why, HasSubstr("header of 12 bytes"));
  dib = MakeDib(13, 7, 24);
  dib[16] = 1;  // run-length compressed
  EXPECT_FALSE(InspectDib(dib, &why));
  EXPECT_EQ(why, "compressed picture");
  dib = MakeDib(13, 7, 24);
  dib[8] = 0xF9, dib[9] = dib[10] = dib[11] = 0xFF;  // top-down: height -7
  EXPECT_TRUE(InspectDib(dib));
  dib[7] = 0x7F;  // a width far beyond the block
  EXPECT_FALSE(InspectDib(dib, &why));
  dib = MakeDib(13, 7, 8);
  dib[32] = 0x01, dib[33] = 0x01;  // 257 colours
  EXPECT_FALSE(InspectDib(dib, &why));
  dib = MakeDib(13, 7, 24);
  dib[20] = 32, dib[21] = 0;  // a size field that would cut the page short when written
  EXPECT_FALSE(InspectDib(dib, &why));
  EXPECT_EQ(why, "picture size field smaller than its pixels");
}

}  // namespace
}  // namespace vx::scan::twain
