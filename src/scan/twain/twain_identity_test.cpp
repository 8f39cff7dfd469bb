#include "scan/twain/twain_identity.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scan/twain/fake_dsm.h"
#include "scan/twain/qvtwain.h"

namespace vx::scan::twain {
namespace {

TEST(TwainCodesTest, EveryLanguageAndCountryMapsBackToItself) {
  for (int i = 0; i <= static_cast<int>(TLanguageType::lgTurkish); ++i) {
    auto language = static_cast<TLanguageType>(i);
    EXPECT_EQ(LanguageFromCode(LanguageCode(language)), language) << i;
  }
  for (int i = 0; i <= static_cast<int>(TCountryType::ctTurkey); ++i) {
    auto country = static_cast<TCountryType>(i);
    EXPECT_EQ(CountryFromCode(CountryCode(country)), country) << i;
  }
  EXPECT_EQ(LanguageCode(TLanguageType::lgDanish), 0);
  EXPECT_EQ(LanguageCode(TLanguageType::lgGreek), 63);
  EXPECT_EQ(CountryCode(TCountryType::ctPortugal), 351);
  EXPECT_EQ(LanguageFromCode(0xFFFF), TLanguageType::lgDutch);
  EXPECT_EQ(CountryFromCode(0), TCountryType::ctNetherlands);
}

TEST(TwainCodesTest, AFieldWithoutTerminatorIsReadToItsEndOnly) {
  TW_IDENTITY id{};
  // Manufacturer and ProductFamily lie back to back in the record.
  std::memset(id.Manufacturer, 'm', kStr32Size);
  std::memset(id.ProductFamily, 'f', kStr32Size);
  EXPECT_EQ(Str32(id.Manufacturer), std::string(34, 'm'));
  EXPECT_EQ(Str32(id.ProductName), "");
}

class SourceListTest : public ::testing::Test {
 protected:
  std::vector<TwainSource> List() {
    twain.InitTWAIN(&window);
    return EnumerateSources(twain);
  }
  testing::FakeDsm dsm;
  ApplicationMessages messages;
  TQVTWAIN twain{TwainPorts{dsm, HeapMemory(), messages}};
  int window = 0;
};

TEST_F(SourceListTest, NoSourceGivesAnEmptyList) {
  dsm.source_names.clear();
  EXPECT_TRUE(List().empty());
  EXPECT_EQ(dsm.Count("IDENTITY/GETFIRST"), 1u);
}

TEST_F(SourceListTest, FortySourcesAreAllListedAndALimitCutsTheList) {
  dsm.source_names.clear();
  for (int i = 0; i < 40; ++i) dsm.source_names.push_back("Scanner " + std::to_string(i));
  auto sources = List();
  ASSERT_EQ(sources.size(), 40u);
  EXPECT_EQ(sources[39].name, "Scanner 39");
  EXPECT_EQ(EnumerateSources(twain, 32).size(), 32u);
}

TEST_F(SourceListTest, NamesOf32And33CharactersAndAFullFieldReadBack) {
  const std::string n32(32, 'a'), n33(33, 'b'), n34(34, 'c');
  dsm.source_names = {n32, n33, n34};
  auto sources = List();
  ASSERT_EQ(sources.size(), 3u);
  EXPECT_EQ(sources[0].name, n32);
  EXPECT_EQ(sources[1].name, n33);
  EXPECT_EQ(sources[2].name, n34);  // never beyond the field
}

TEST_F(SourceListTest, WithoutAnOpenManagerNothingIsListed) { EXPECT_TRUE(EnumerateSources(twain).empty()); }

}  // namespace
}  // namespace vx::scan::twain
