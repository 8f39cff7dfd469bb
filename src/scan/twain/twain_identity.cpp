#include "scan/twain/twain_identity.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "scan/twain/qvtwain.h"

namespace vx::scan::twain {
namespace {

constexpr std::pair<TLanguageType, uint16_t> kLanguages[] = {
    {TLanguageType::lgDutch, 1},    {TLanguageType::lgEnglish, 2},   {TLanguageType::lgFrench, 5},
    {TLanguageType::lgGerman, 6},   {TLanguageType::lgAmerican, 13}, {TLanguageType::lgItalian, 8},
    {TLanguageType::lgSpanish, 11}, {TLanguageType::lgNorwegian, 9}, {TLanguageType::lgFinnish, 4},
    {TLanguageType::lgDanish, 0},   {TLanguageType::lgRussian, 78},  {TLanguageType::lgPortuguese, 10},
    {TLanguageType::lgSwedish, 12}, {TLanguageType::lgPolish, 75},   {TLanguageType::lgGreek, 63},
    {TLanguageType::lgTurkish, 85},
};

constexpr std::pair<TCountryType, uint16_t> kCountries[] = {
    {TCountryType::ctNetherlands, 31}, {TCountryType::ctEngland, 6},  {TCountryType::ctFrance, 33},
    {TCountryType::ctGermany, 49},     {TCountryType::ctUSA, 1},      {TCountryType::ctSpain, 34},
    {TCountryType::ctItaly, 39},       {TCountryType::ctDenmark, 45}, {TCountryType::ctFinland, 358},
    {TCountryType::ctNorway, 47},      {TCountryType::ctRussia, 7},   {TCountryType::ctPortugal, 351},
    {TCountryType::ctSweden, 46},      {TCountryType::ctPoland, 48},  {TCountryType::ctGreece, 30},
    {TCountryType::ctTurkey, 90},
};

template <typename Table, typename Key>
auto CodeOf(const Table& table, Key key) {
  for (const auto& [k, code] : table)
    if (k == key) return code;
  return table[0].second;
}

template <typename Table, typename Key>
Key KeyOf(const Table& table, uint16_t code, Key fallback) {
  for (const auto& [k, c] : table)
    if (c == code) return k;
  return fallback;
}

}  // namespace

uint16_t LanguageCode(TLanguageType language) { return CodeOf(kLanguages, language); }
TLanguageType LanguageFromCode(uint16_t code) { return KeyOf(kLanguages, code, TLanguageType::lgDutch); }
uint16_t CountryCode(TCountryType country) { return CodeOf(kCountries, country); }
TCountryType CountryFromCode(uint16_t code) { return KeyOf(kCountries, code, TCountryType::ctNetherlands); }

void SetStr32(char (&field)[kStr32Size], std::string_view text) {
  std::memset(field, 0, kStr32Size);
  std::memcpy(field, text.data(), std::min(text.size(), kStr32Chars));
}

std::string Str32(const char (&field)[kStr32Size]) {
  size_t n = 0;
  while (n < kStr32Size && field[n] != '\0') ++n;
  return std::string(field, n);
}

std::vector<TwainSource> EnumerateSources(TQVTWAIN& twain, size_t limit) {
  std::vector<TwainSource> sources;
  TW_IDENTITY identity{};
  uint16_t msg = MSG_GETFIRST;
  while (sources.size() < limit &&
         twain.CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &identity) == TWRC_SUCCESS) {
    sources.push_back(TwainSource{Str32(identity.ProductName), identity});
    identity = TW_IDENTITY{};
    msg = MSG_GETNEXT;
  }
  return sources;
}

}  // namespace vx::scan::twain
