// Identity texts and codes: the language and country codes of a TWAIN
// identity with their reverse mapping, the 34-byte text fields, and the list
// of the sources the manager knows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/twain/twain_records.h"

namespace vx::scan::twain {

enum class TLanguageType {
  lgDutch,
  lgEnglish,
  lgFrench,
  lgGerman,
  lgAmerican,
  lgItalian,
  lgSpanish,
  lgNorwegian,
  lgFinnish,
  lgDanish,
  lgRussian,
  lgPortuguese,
  lgSwedish,
  lgPolish,
  lgGreek,
  lgTurkish
};
enum class TCountryType {
  ctNetherlands,
  ctEngland,
  ctFrance,
  ctGermany,
  ctUSA,
  ctSpain,
  ctItaly,
  ctDenmark,
  ctFinland,
  ctNorway,
  ctRussia,
  ctPortugal,
  ctSweden,
  ctPoland,
  ctGreece,
  ctTurkey
};

uint16_t LanguageCode(TLanguageType language);
// An unknown code reads as lgDutch.
TLanguageType LanguageFromCode(uint16_t code);
uint16_t CountryCode(TCountryType country);
// An unknown code reads as ctNetherlands.
TCountryType CountryFromCode(uint16_t code);

// Stores `text` cut to 32 characters, zero-padded, in a 34-byte field.
void SetStr32(char (&field)[kStr32Size], std::string_view text);
// Reads a 34-byte field up to its terminator; a field without one ends at its
// last byte, so a source's unterminated name is never read past the field.
std::string Str32(const char (&field)[kStr32Size]);

// The application identity of this program's scan window: product, maker,
// family, version 1.0 "Twain component", American English, USA.
struct AppIdentityTexts {
  std::string product = "Roro-Ruvedud Udavozi";
  std::string manufacturer = "TWAIN";
  std::string family = "RID Azazad";
};

class TQVTWAIN;

// One source as the manager lists it.
struct TwainSource {
  std::string name;  // product name
  TW_IDENTITY identity;
};

// The sources listed by the manager (first, then next until a call fails),
// at most `limit`; the manager must be open. A manager that never ends its
// list is cut at the limit.
std::vector<TwainSource> EnumerateSources(TQVTWAIN& twain, size_t limit = 256);

}  // namespace vx::scan::twain
