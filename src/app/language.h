// The interface languages, the rule that settles the current language at
// start, and the title texts built from it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/settings_store.h"

namespace vx::app {

struct LanguageEntry {
  std::string_view name;  // exact, case-sensitive
  bool machine_hive;      // also accepted from HKLM "Language"
  int locale_id;          // what the language pack is loaded for
};

// The 26 names accepted from HKCU, in table order; the first 24 are the ones
// accepted from HKLM.
std::span<const LanguageEntry> Languages();

inline constexpr std::string_view kJapanese = "Japanese";
inline constexpr std::string_view kEnglish = "English";
// The product name shown as the title text in Japanese.
inline constexpr std::string_view kProductTitle = "Vessix";

bool IsUserLanguage(std::string_view name);     // one of the 26
bool IsMachineLanguage(std::string_view name);  // one of the 24
// The locale id of a language name; 1033 for names outside the table.
int LocaleIdOf(std::string_view language);

struct LanguageState {
  std::string language;    // the current language
  std::string title_text;  // "Vessix" in Japanese, empty otherwise
  // Caption of the windows and message boxes and name of the single-instance
  // mutex: the title text, or "Vessix" when the title text is empty, so that
  // the mutex always has a name.
  std::string app_title;
  bool japanese() const { return language == kJapanese; }
};

// The start-up rule: write "Japanese" to HKCU "Language", read it back; when
// what was read is empty or unknown, fall back on HKLM "Language" (writing
// "English" there when that is empty or unknown) and use "English", written
// to HKCU. Then build the title texts.
LanguageState SettleLanguage(Settings& settings);

// The title texts for a language (step after the language is known).
LanguageState TitlesFor(std::string language);

}  // namespace vx::app
