#include "scan/twain/qvtwain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "scan/twain/fake_dsm.h"

namespace vx::scan::twain {
namespace {

using ::testing::ElementsAre;
using testing::FakeDsm;

class TwainTest : public ::testing::Test {
 protected:
  // Passes one application message through the hook; true when handled.
  bool Pump() { return messages.Filter(&message); }
  // Runs InitTWAIN and Acquire with the fake's first source.
  void StartScan() {
    twain.InitTWAIN(parent);
    auto sources = EnumerateSources(twain);
    ASSERT_FALSE(sources.empty());
    twain.SetDataSource(sources[0].identity);
    twain.Acquire();
    ASSERT_TRUE(twain.IsDataSourceEnabled());
  }
  // Records the events in order, with IsLastPage and whether a page came.
  void Record() {
    twain.OnScanStart = [this](TQVTWAIN&) { events.push_back("start"); };
    twain.OnScanReady = [this](TQVTWAIN& t) {
      GlobalBlock dib = t.GetBmpHandle();
      events.push_back(std::string("ready") + (dib ? "+page" : "") + (t.IsLastPage() ? " last" : ""));
    };
    twain.OnScanCancel = [this](TQVTWAIN&) { events.push_back("cancel"); };
    twain.OnScanClose = [this](TQVTWAIN&) { events.push_back("close"); };
  }

  FakeDsm dsm;
  ApplicationMessages messages;
  TQVTWAIN twain{TwainPorts{dsm, HeapMemory(), messages}};
  int window = 0;
  void* parent = &window;
  int message = 0;
  std::vector<std::string> events;
};

TEST_F(TwainTest, ApplicationIdentityDefaultsAndCodes) {
  const TW_IDENTITY& id = twain.ApplicationIdentity();
  EXPECT_EQ(id.Version.Language, 13);
  EXPECT_EQ(id.Version.Country, 1);
  EXPECT_EQ(twain.Language(), TLanguageType::lgAmerican);
  EXPECT_EQ(twain.Country(), TCountryType::ctUSA);
  EXPECT_EQ(id.Version.MajorNum, 1);
  EXPECT_EQ(id.Version.MinorNum, 0);
  EXPECT_EQ(Str32(id.Version.Info), "Twain component");
  EXPECT_EQ(id.ProtocolMajor, 1);
  EXPECT_EQ(id.ProtocolMinor, 7);
  EXPECT_EQ(uint32_t{id.SupportedGroups}, 3u);  // a copy: the field is not aligned

  twain.SetLanguage(TLanguageType::lgRussian);
  twain.SetCountry(TCountryType::ctFinland);
  EXPECT_EQ(twain.ApplicationIdentity().Version.Language, 78);
  EXPECT_EQ(twain.ApplicationIdentity().Version.Country, 358);
  EXPECT_EQ(twain.Language(), TLanguageType::lgRussian);
  EXPECT_EQ(twain.Country(), TCountryType::ctFinland);

  // Codes nobody maps read as the first entries of the tables.
  twain.MutableApplicationIdentity().Version.Language = 3;
  twain.MutableApplicationIdentity().Version.Country = 44;
  EXPECT_EQ(twain.Language(), TLanguageType::lgDutch);
  EXPECT_EQ(twain.Country(), TCountryType::ctNetherlands);
}

TEST_F(TwainTest, IdentityTextsAreCutTo32CharactersInZeroPaddedFields) {
  const std::string exactly32(32, 'a');
  twain.SetProductname(exactly32);
  EXPECT_EQ(twain.Productname(), exactly32);
  twain.SetProductname(exactly32 + "b");
  EXPECT_EQ(twain.Productname(), exactly32);
  const TW_IDENTITY& id = twain.ApplicationIdentity();
  EXPECT_EQ(id.ProductName[32], '\0');
  EXPECT_EQ(id.ProductName[33], '\0');
  twain.SetProductname("short");
  for (size_t i = 5; i < kStr32Size; ++i) EXPECT_EQ(id.ProductName[i], '\0') << i;

  twain.SetFilename(std::string(300, 'x'));
  EXPECT_EQ(twain.Filename().size(), 255u);
  EXPECT_EQ(ImageTypeFromCode(2), TImageType::ffBMP);
  EXPECT_EQ(ImageTypeFromCode(10), TImageType::ffUNKNOWN);
  EXPECT_EQ(ImageTypeFromCode(-1), TImageType::ffUNKNOWN);
}

TEST_F(TwainTest, InitOpensTheManagerWithTheParentAsOriginId) {
  twain.SetProductname("Roro-Ruvedud Udavozi");
  twain.InitTWAIN(parent);
  EXPECT_TRUE(twain.IsDataSourceManagerOpen());
  EXPECT_EQ(dsm.last_parent, parent);
  EXPECT_THAT(dsm.calls, ElementsAre("PARENT/OPENDSM"));
  EXPECT_EQ(uint32_t{dsm.last_origin.Id}, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(parent)));
  EXPECT_EQ(Str32(dsm.last_origin.ProductName), "Roro-Ruvedud Udavozi");
  EXPECT_EQ(dsm.last_origin.ProtocolMinor, 7);
}

TEST_F(TwainTest, MissingManagerAndCallsOutOfOrderRaiseTheirTexts) {
  dsm.load_fails = true;
  EXPECT_FALSE(twain.fLoadTwain());
  try {
    twain.OpenDataSourceManager();
    FAIL() << "no error";
  } catch (const ETwainError& e) {
    EXPECT_STREQ(e.what(), "Unable to load or find: TWAIN_32.DLL");
  }
  try {
    twain.OpenDataSource();
    FAIL() << "no error";
  } catch (const ETwainError& e) {
    EXPECT_STREQ(e.what(), "Data Source Manager must be open");
  }
  EXPECT_THROW(twain.CloseDataSource(), ETwainError);
  try {
    twain.EnableDataSource();
    FAIL() << "no error";
  } catch (const ETwainError& e) {
    EXPECT_STREQ(e.what(), "Data Source must be open");
  }
  EXPECT_THROW(twain.DisableDataSource(), ETwainError);
  // Nothing reached the manager, and the hook ignores every message.
  EXPECT_TRUE(dsm.calls.empty());
  EXPECT_FALSE(twain.ProcessSourceMessage(&message));
}

TEST_F(TwainTest, ClosingTheManagerWithASourceOpenIsRefused) {
  StartScan();
  try {
    twain.CloseDataSourceManager();
    FAIL() << "no error";
  } catch (const ETwainError& e) {
    EXPECT_STREQ(e.what(), "Unable to close the Data Source Manager. Maybe a source is still in use");
  }
  EXPECT_TRUE(twain.IsDataSourceManagerOpen());
  EXPECT_EQ(dsm.Count("PARENT/CLOSEDSM"), 0u);
}

TEST_F(TwainTest, AcquireOpensAsksNativeAndEnablesInOrderAndResetsDestination) {
  twain.InitTWAIN(parent);
  twain.Destination = TTransferType::xfMemory;
  twain.ShowUI = false;
  dsm.calls.clear();
  EXPECT_EQ(twain.Acquire(), TWRC_SUCCESS);
  EXPECT_EQ(twain.Destination, TTransferType::xfNative);
  EXPECT_EQ(dsm.last_xfer_mech, TWSX_NATIVE);
  EXPECT_EQ(dsm.last_show_ui, 0);
  EXPECT_THAT(dsm.calls, ElementsAre("IDENTITY/OPENDS", "CAPABILITY/SET", "USERINTERFACE/ENABLEDS"));
  EXPECT_TRUE(twain.IsDataSourceOpen());
  EXPECT_TRUE(twain.IsDataSourceEnabled());

  // With the source's own dialog wanted.
  twain.DisableDataSource();
  twain.ShowUI = true;
  twain.EnableDataSource();
  EXPECT_EQ(dsm.last_show_ui, 0xFFFF);
}

TEST_F(TwainTest, AFailingOpenOrEnableLeavesTheFlagsAndIgnoresReady) {
  twain.InitTWAIN(parent);
  dsm.open_source_fails = true;
  EXPECT_NE(twain.Acquire(), TWRC_SUCCESS);
  EXPECT_FALSE(twain.IsDataSourceOpen());
  EXPECT_EQ(dsm.Count("USERINTERFACE/ENABLEDS"), 0u);

  dsm.open_source_fails = false;
  dsm.enable_fails = true;
  EXPECT_NE(twain.Acquire(), TWRC_SUCCESS);
  EXPECT_TRUE(twain.IsDataSourceOpen());
  EXPECT_FALSE(twain.IsDataSourceEnabled());
  // A ready from a source that refused to be enabled starts no transfer.
  dsm.events = {MSG_XFERREADY};
  EXPECT_TRUE(Pump());
  EXPECT_EQ(dsm.transfers, 0);
}

TEST_F(TwainTest, ThreePageBatchReportsTheLastPageOnlyOnTheThird) {
  Record();
  StartScan();
  dsm.events = {MSG_XFERREADY};
  EXPECT_TRUE(Pump());
  EXPECT_THAT(events, ElementsAre("start", "ready+page", "start", "ready+page", "start", "ready+page last"));
  EXPECT_EQ(dsm.Count("PENDINGXFERS/ENDXFER"), 3u);
  EXPECT_EQ(dsm.Count("PENDINGXFERS/RESET"), 0u);
  // After the batch the source is disabled and closed; the manager stays open.
  EXPECT_FALSE(twain.IsDataSourceEnabled());
  EXPECT_FALSE(twain.IsDataSourceOpen());
  EXPECT_FALSE(dsm.source_open);
  EXPECT_TRUE(twain.IsDataSourceManagerOpen());
  EXPECT_LT(std::find(dsm.calls.begin(), dsm.calls.end(), "USERINTERFACE/DISABLEDS"),
            std::find(dsm.calls.begin(), dsm.calls.end(), "IDENTITY/CLOSEDS"));
}

TEST_F(TwainTest, CancelBeforeTheFirstPageTransfersNothing) {
  Record();
  twain.OnScanStart = [this](TQVTWAIN& t) {
    events.push_back("start");
    t.SetCanel(true);
  };
  StartScan();
  dsm.events = {MSG_XFERREADY};
  Pump();
  EXPECT_THAT(events, ElementsAre("start"));
  EXPECT_EQ(dsm.transfers, 0);
  EXPECT_EQ(dsm.Count("PENDINGXFERS/RESET"), 1u);
  EXPECT_EQ(dsm.Count("PENDINGXFERS/ENDXFER"), 0u);
  EXPECT_TRUE(twain.IsLastPage());
  EXPECT_FALSE(twain.IsDataSourceOpen());
}

TEST_F(TwainTest, AFailedTransferEndsTheBatchKeepsEarlierPagesAndFiresCancel) {
  Record();
  dsm.pages = {{}, {FakeDsm::Transfer::kFail}, {}};
  StartScan();
  dsm.events = {MSG_XFERREADY};
  Pump();
  EXPECT_THAT(events, ElementsAre("start", "ready+page", "start", "ready last", "cancel"));
  EXPECT_TRUE(twain.TransferFailed());
  EXPECT_EQ(dsm.Count("PENDINGXFERS/RESET"), 1u);
  EXPECT_FALSE(twain.IsDataSourceOpen());
}

TEST_F(TwainTest, ASourceThatCannotEndATransferEndsTheBatch) {
  Record();
  dsm.end_transfer_fails = true;
  StartScan();
  dsm.events = {MSG_XFERREADY};
  Pump();
  EXPECT_THAT(events, ElementsAre("start", "ready+page last"));
  EXPECT_FALSE(twain.IsDataSourceOpen());
}

TEST_F(TwainTest, TheSourcesOwnDialogClosedFiresScanClose) {
  Record();
  StartScan();
  dsm.events = {MSG_CLOSEDSREQ};
  EXPECT_TRUE(Pump());
  EXPECT_THAT(events, ElementsAre("close"));
  EXPECT_FALSE(twain.IsDataSourceOpen());
  EXPECT_FALSE(dsm.source_open);
  EXPECT_EQ(dsm.Count("USERINTERFACE/DISABLEDS"), 1u);

  // Close-OK closes as well, without the event.
  events.clear();
  twain.Acquire();
  dsm.events = {MSG_CLOSEDSOK};
  Pump();
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(twain.IsDataSourceOpen());
}

TEST_F(TwainTest, ASecondReadyAfterTheBatchIsIgnoredAndTheNextAcquireWorks) {
  Record();
  StartScan();
  dsm.events = {MSG_XFERREADY, MSG_XFERREADY};
  EXPECT_TRUE(Pump());
  EXPECT_FALSE(Pump());  // the source is closed: the message is not its
  EXPECT_EQ(dsm.transfers, 3);
  EXPECT_EQ(events.size(), 6u);

  dsm.pages = {{}};
  events.clear();
  twain.Acquire();
  ASSERT_TRUE(twain.IsDataSourceEnabled());
  dsm.events = {MSG_XFERREADY};
  Pump();
  EXPECT_THAT(events, ElementsAre("start", "ready+page last"));
}

TEST_F(TwainTest, TheHookPassesEveryMessageToThePreviousHandlerWithItsVerdict) {
  std::vector<std::pair<void*, bool>> seen;
  messages.SetOnMessage([&](void* m, bool& handled) { seen.emplace_back(m, handled); });
  StartScan();
  EXPECT_FALSE(Pump());  // not the source's
  dsm.events = {MSG_NULL};
  EXPECT_TRUE(Pump());  // the source's, nothing to do
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(static_cast<void*>(&message), false));
  EXPECT_EQ(seen[1], std::make_pair(static_cast<void*>(&message), true));
  // A second InitTWAIN does not chain the component behind itself.
  twain.InitTWAIN(parent);
  Pump();
  EXPECT_EQ(seen.size(), 3u);
}

TEST(TwainLifeTest, DestructionClosesInOrderAndPutsThePreviousHandlerBack) {
  FakeDsm dsm;
  ApplicationMessages messages;
  int previous_calls = 0;
  messages.SetOnMessage([&](void*, bool&) { ++previous_calls; });
  int window = 0, message = 0;
  {
    TQVTWAIN twain{TwainPorts{dsm, HeapMemory(), messages}};
    twain.InitTWAIN(&window);
    twain.SetDataSource(EnumerateSources(twain).at(0).identity);
    twain.Acquire();
    dsm.calls.clear();
  }
  EXPECT_THAT(dsm.calls, ElementsAre("USERINTERFACE/DISABLEDS", "IDENTITY/CLOSEDS", "PARENT/CLOSEDSM"));
  EXPECT_FALSE(dsm.Loaded());
  EXPECT_EQ(dsm.unloads, 1);
  EXPECT_FALSE(messages.Filter(&message));
  EXPECT_EQ(previous_calls, 1);
}

TEST_F(TwainTest, ImageInfoIsCopiedOnlyOnSuccessAndResolutionGoesXThenY) {
  TW_IMAGEINFO info{};
  info.ImageWidth = -7;
  StartScan();
  EXPECT_EQ(twain.GetImageInfo(info), TWRC_SUCCESS);
  EXPECT_EQ(RoundedDpi(info.XResolution), 300);
  EXPECT_EQ(int32_t{info.ImageWidth}, 40);

  dsm.calls.clear();
  info.XResolution = TW_FIX32{150, 0};
  EXPECT_TRUE(twain.SetImageInfo(info));
  EXPECT_THAT(dsm.calls, ElementsAre("CAPABILITY/SET", "CAPABILITY/SET"));
  EXPECT_EQ(dsm.resolution, 150);
  info.XResolution = TW_FIX32{1200, 0};
  EXPECT_FALSE(twain.SetImageInfo(info));

  // A closed source answers nothing; the record stays as it was.
  twain.DisableDataSource();
  twain.CloseDataSource();
  info.ImageWidth = -7;
  EXPECT_NE(twain.GetImageInfo(info), TWRC_SUCCESS);
  EXPECT_EQ(int32_t{info.ImageWidth}, -7);
}

}  // namespace
}  // namespace vx::scan::twain
