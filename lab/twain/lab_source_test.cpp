#include "lab/twain/lab_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "scan/bmp.h"
#include "scan/test_support.h"
#include "scan/twain/qvtwain.h"
#include "scan/twain/twain_identity.h"
#include "scan/twain/twain_scan_job.h"

namespace vx::lab::twain {
namespace {

using ::testing::HasSubstr;
using namespace vx::scan;

TEST(LabScannerConfigTest, ReadsEveryKey) {
  std::string error;
  auto c = ParseLabScannerConfig(
      "# lab scanner\n"
      "name = Desk Scanner\n"
      "pages = 10\r\n"
      "size = 210x297, 148x210\n"
      "bits = 24,8,1\n"
      "resolutions = 75,300\n"
      "dpi = 300   # start\n"
      "fail_after = 2\ncancel_after = 3\nclose_after = 4\nready_twice = yes\n",
      &error);
  ASSERT_TRUE(c) << error;
  EXPECT_EQ(c->name, "Desk Scanner");
  EXPECT_EQ(c->pages, 10);
  ASSERT_EQ(c->sizes.size(), 2u);
  EXPECT_EQ(c->sizes[1].width_mm, 148);
  EXPECT_EQ(c->bits, (std::vector<int>{24, 8, 1}));
  EXPECT_EQ(c->dpi, 300);
  EXPECT_EQ(c->fail_after, 2);
  EXPECT_EQ(c->cancel_after, 3);
  EXPECT_EQ(c->close_after, 4);
  EXPECT_TRUE(c->ready_twice);
  EXPECT_TRUE(ParseLabScannerConfig(""));
}

TEST(LabScannerConfigTest, RefusesWhatItDoesNotKnowNamingTheLine) {
  std::string error;
  EXPECT_FALSE(ParseLabScannerConfig("pages = 2\ncolour = red\n", &error));
  EXPECT_EQ(error, "line 2: unknown key 'colour'");
  EXPECT_FALSE(ParseLabScannerConfig("bits = 7", &error));
  EXPECT_FALSE(ParseLabScannerConfig("size = 0x10", &error));
  EXPECT_FALSE(ParseLabScannerConfig("size = 210", &error));
  EXPECT_FALSE(ParseLabScannerConfig("pages", &error));
  EXPECT_FALSE(ParseLabScannerConfig("pages = -1", &error));
  EXPECT_FALSE(ParseLabScannerConfig("resolutions = 75,\n", &error));
  EXPECT_FALSE(ParseLabScannerConfig("name = " + std::string(33, 'n'), &error));
  EXPECT_FALSE(ParseLabScannerConfig("resolutions = 75,150\ndpi = 300", &error));
  EXPECT_THAT(error, HasSubstr("not among the resolutions"));
}

TEST(LabScannerPagesTest, A4At300DpiHasThePrintersSizeAndEveryDepthIsAReadableDib) {
  EXPECT_EQ(SideInPixels(210, 300), 2480);
  EXPECT_EQ(SideInPixels(297, 300), 3508);
  LabScannerConfig config;
  config.sizes = {{40, 30}};
  config.bits = {24, 8, 1};
  for (int n = 0; n < 3; ++n) {
    auto dib = DrawPage(config, n, 150, 100);
    auto info = scan::twain::InspectDib(dib);
    ASSERT_TRUE(info) << n;
    EXPECT_EQ(info->width, 236);
    EXPECT_EQ(info->height, 118);
    EXPECT_EQ(info->bit_count, config.bits[static_cast<size_t>(n)]);
    EXPECT_EQ(dib.size(), DibSize(config, n, 150, 100));
  }
  // Pages differ (their number is drawn on them).
  config.bits = {24};
  EXPECT_NE(DrawPage(config, 0, 100, 100), DrawPage(config, 1, 100, 100));
}

// A manager in front of one LabSource, as the Windows one forwards calls.
class OneSourceManager final : public TwainManagerLibrary {
 public:
  explicit OneSourceManager(LabSource& source) : source_(source) {}
  bool Load() override { return loaded_ = true; }
  void Unload() override { loaded_ = false; }
  bool Loaded() const override { return loaded_; }
  uint16_t Call(TW_IDENTITY* origin, TW_IDENTITY* destination, uint32_t dg, uint16_t dat, uint16_t msg,
                void* data) override {
    if (destination) return source_.Entry(origin, dg, dat, msg, data);
    if (dat == DAT_PARENT) return TWRC_SUCCESS;
    if (dat != DAT_IDENTITY) return TWRC_FAILURE;
    if (msg == MSG_GETFIRST) return source_.Entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, data);
    if (msg == MSG_GETNEXT) return TWRC_ENDOFLIST;
    if (msg == MSG_OPENDS) static_cast<TW_IDENTITY*>(data)->Id = 7;
    return source_.Entry(origin, DG_CONTROL, dat, msg, data);
  }
  bool AnySourceInstalled() const override { return true; }
  std::string Name() const override { return "one source"; }

 private:
  LabSource& source_;
  bool loaded_ = false;
};

class LabScanTest : public ::testing::Test {
 protected:
  struct Token {
    int kind;
  };
  // Scans with the lab source and returns the job (valid until the next scan).
  scan::twain::TwainScanJob* Scan(const std::string& config_text, int dpi = 0) {
    job_.reset();  // before the component it refers to
    twain.reset();
    manager.reset();
    source.reset();
    queue.clear();
    std::string error;
    auto config = ParseLabScannerConfig(config_text, &error);
    EXPECT_TRUE(config) << error;
    source = std::make_unique<LabSource>(
        *config, HeapMemory(), [this](void*) { queue.push_back(Token{1}); },
        [](void* m) { return static_cast<Token*>(m)->kind == 1; });
    manager = std::make_unique<OneSourceManager>(*source);
    twain =
        std::make_unique<scan::twain::TQVTWAIN>(scan::twain::TwainPorts{*manager, HeapMemory(), messages});
    twain->InitTWAIN(this);
    auto sources = scan::twain::EnumerateSources(*twain);
    EXPECT_EQ(sources.at(0).name, config->name);
    twain->SetDataSource(sources.at(0).identity);
    scan::twain::ScanJobOptions options;
    options.format = GroupFormat::kBmp;
    options.dpi = dpi;
    options.names = MakeGroupNames(folder / "Picture.bmp", "");
    job_ = std::make_unique<scan::twain::TwainScanJob>(*twain, LocalFileStore(), options);
    scan::twain::TwainScanJob* job = job_.get();
    if (!job->Start()) return job;
    Token other{0};
    EXPECT_FALSE(messages.Filter(&other));  // not the source's
    while (!queue.empty()) {
      Token t = queue.front();
      queue.pop_front();
      messages.Filter(&t);
    }
    EXPECT_TRUE(job->BatchOver());
    return job;
  }

  vx::scan::testing::TempFolder folder;
  ApplicationMessages messages;
  std::deque<Token> queue;
  std::unique_ptr<LabSource> source;
  std::unique_ptr<OneSourceManager> manager;
  std::unique_ptr<scan::twain::TQVTWAIN> twain;
  std::unique_ptr<scan::twain::TwainScanJob> job_;
};

TEST_F(LabScanTest, ThreePagesAtTheAskedResolution) {
  auto job = Scan("pages = 3\nsize = 50x40\nbits = 24,8,1\n", 300);
  EXPECT_FALSE(job->Failed());
  ASSERT_EQ(job->Pages(), 3);
  EXPECT_EQ(job->Dpi(), 300);
  auto bmp = vx::scan::testing::ReadAll(folder / "Picture_3.bmp");
  auto parsed = ParseBmp(bmp);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->width, 591);
  EXPECT_EQ(parsed->height, 472);
  EXPECT_EQ(parsed->bit_count, 1);
}

TEST_F(LabScanTest, TheSourcesOwnResolutionWhenNoneIsAsked) {
  auto job = Scan("pages = 1\nsize = 20x20\ndpi = 75\n");
  EXPECT_EQ(job->Dpi(), 75);
  EXPECT_EQ(job->Pages(), 1);
}

TEST_F(LabScanTest, FailCancelAndCloseAfterNPages) {
  auto job = Scan("pages = 3\nsize = 20x20\nfail_after = 1\n");
  EXPECT_EQ(job->Pages(), 1);
  EXPECT_TRUE(job->Failed());

  job = Scan("pages = 3\nsize = 20x20\ncancel_after = 2\n");
  EXPECT_EQ(job->Pages(), 2);
  EXPECT_TRUE(job->Failed());

  job = Scan("pages = 3\nsize = 20x20\nclose_after = 1\n");
  EXPECT_EQ(job->Pages(), 1);
  EXPECT_FALSE(job->Failed());
  EXPECT_FALSE(twain->IsDataSourceOpen());
}

TEST_F(LabScanTest, ReadyTwiceScansTheBatchOnce) {
  auto job = Scan("pages = 2\nsize = 20x20\nready_twice = yes\n");
  EXPECT_EQ(job->Pages(), 2);
  EXPECT_EQ(source->PagesDelivered(), 2);
}

TEST_F(LabScanTest, AResolutionOutsideTheListIsRefused) {
  auto job = Scan("pages = 2\nsize = 20x20\nresolutions = 75,150\ndpi = 75\n", 300);
  EXPECT_EQ(job->Pages(), 0);
  EXPECT_THAT(job->Errors().at(0), HasSubstr("does not support 300 dpi"));
  EXPECT_EQ(source->PagesDelivered(), 0);
}

}  // namespace
}  // namespace vx::lab::twain
