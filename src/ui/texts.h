// The text tables. `Text(language, id)` is what a window or a presenter asks
// for: the text of that language's table, or the English (designed) text
// where the table has none. Adding a language is adding a table
// (texts_<language>.cpp) and naming it in `TextsFor`.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "ui/text_id.h"

namespace vx::ui {

struct TextEntry {
  TextId id;
  std::string_view text;
};

class TextTable {
 public:
  // `entries` must outlive the table (the language files keep them static).
  // An id given twice keeps its first text; ids out of range are ignored.
  TextTable(std::string_view language, std::span<const TextEntry> entries);

  std::string_view language() const { return language_; }
  // The table's own text for `id`; nullopt when it has none.
  std::optional<std::string_view> Find(TextId id) const;
  size_t size() const { return size_; }

 private:
  std::string_view language_;
  std::array<std::optional<std::string_view>, kTextIdCount> texts_{};
  size_t size_ = 0;
};

// The designed texts: every caption, menu item and English message.
const TextTable& EnglishTexts();
// The Japanese texts the program puts into its windows in code.
const TextTable& JapaneseTexts();
// The table of a language name ("Japanese", "English", ...): English for a
// language without a table of its own.
const TextTable& TextsFor(std::string_view language);

// The text of `id` in `language`; the English text where that language has
// none; empty when neither has one.
std::string_view Text(std::string_view language, TextId id);
// The English (designed) text of `id`.
std::string_view DesignedText(TextId id);

// The entries of each language file, as written (for the tables' tests).
std::span<const TextEntry> EnglishEntries();
std::span<const TextEntry> JapaneseEntries();

}  // namespace vx::ui
