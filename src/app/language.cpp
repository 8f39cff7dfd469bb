#include "app/language.h"

#include <array>

namespace vx::app {
namespace {

constexpr std::array<LanguageEntry, 26> kLanguages = {{
    {"English", true, 1033},
    {"Chinese Traditional", true, 1028},
    {"Chinese Simplified", true, 2052},
    {"Japanese", true, 1041},
    {"German", true, 1031},
    {"French", true, 1036},
    {"Italian", true, 1040},
    {"Spanish", true, 1034},
    {"Danish", true, 1033},
    {"Dutch", true, 1043},
    {"Greek", true, 1033},
    {"Portuguese", true, 1033},
    {"Korean", true, 1033},
    {"Polish", true, 1033},
    {"Russian", true, 1033},
    {"Slovenian", true, 1033},
    {"Swedish", true, 1033},
    {"Finnish", true, 1033},
    {"Norwegian", true, 1033},
    {"Hungarian", true, 1033},
    {"Czech", true, 1033},
    {"Slovak", true, 1033},
    {"Romanian", true, 1033},
    {"Arabic", true, 1033},
    {"Portuguese (Brazilian)", false, 1033},
    {"Turkish", false, 1033},
}};

const LanguageEntry* Find(std::string_view name) {
  for (const auto& e : kLanguages)
    if (e.name == name) return &e;
  return nullptr;
}

}  // namespace

std::span<const LanguageEntry> Languages() { return kLanguages; }

bool IsUserLanguage(std::string_view name) { return Find(name) != nullptr; }

bool IsMachineLanguage(std::string_view name) {
  const LanguageEntry* e = Find(name);
  return e && e->machine_hive;
}

int LocaleIdOf(std::string_view language) {
  const LanguageEntry* e = Find(language);
  return e ? e->locale_id : 1033;
}

LanguageState TitlesFor(std::string language) {
  LanguageState s;
  s.language = std::move(language);
  if (s.japanese()) s.title_text = std::string(kProductTitle);
  // The application title starts empty, so it becomes the title text.
  s.app_title = s.title_text.empty() ? std::string(kProductTitle) : s.title_text;
  return s;
}

LanguageState SettleLanguage(Settings& settings) {
  settings.Write(kLanguageValue, kJapanese);
  std::string language = settings.Read(kLanguageValue);
  if (!IsUserLanguage(language)) {
    std::string machine = settings.Read(RegRoot::kLocalMachine, kLanguageValue);
    if (!IsMachineLanguage(machine)) settings.Write(RegRoot::kLocalMachine, kLanguageValue, kEnglish);
    language = std::string(kEnglish);
    settings.Write(kLanguageValue, language);
  }
  return TitlesFor(std::move(language));
}

}  // namespace vx::app
