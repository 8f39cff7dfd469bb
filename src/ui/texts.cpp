#include "ui/texts.h"

namespace vx::ui {

TextTable::TextTable(std::string_view language, std::span<const TextEntry> entries) : language_(language) {
  for (const TextEntry& e : entries) {
    auto index = static_cast<size_t>(e.id);
    if (index >= kTextIdCount || texts_[index]) continue;
    texts_[index] = e.text;
    ++size_;
  }
}

std::optional<std::string_view> TextTable::Find(TextId id) const {
  auto index = static_cast<size_t>(id);
  if (index >= kTextIdCount) return std::nullopt;
  return texts_[index];
}

const TextTable& EnglishTexts() {
  static const TextTable table("English", EnglishEntries());
  return table;
}

const TextTable& JapaneseTexts() {
  static const TextTable table("Japanese", JapaneseEntries());
  return table;
}

const TextTable& TextsFor(std::string_view language) {
  if (language == JapaneseTexts().language()) return JapaneseTexts();
  return EnglishTexts();
}

std::string_view Text(std::string_view language, TextId id) {
  if (auto text = TextsFor(language).Find(id)) return *text;
  return DesignedText(id);
}

std::string_view DesignedText(TextId id) { return EnglishTexts().Find(id).value_or(std::string_view()); }

}  // namespace vx::ui
