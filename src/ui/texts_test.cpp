#include "ui/texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vx::ui {
namespace {

TEST(Texts, EachLanguageFileGivesAnIdOnceAndEveryIdHasAText) {
  for (auto entries : {EnglishEntries(), JapaneseEntries()}) {
    std::set<TextId> seen;
    for (const TextEntry& e : entries) {
      EXPECT_TRUE(seen.insert(e.id).second) << "id " << static_cast<int>(e.id) << " given twice";
      EXPECT_LT(static_cast<size_t>(e.id), kTextIdCount);
    }
  }
  for (size_t k = 0; k < kTextIdCount; ++k) {
    auto id = static_cast<TextId>(k);
    EXPECT_TRUE(EnglishTexts().Find(id) || JapaneseTexts().Find(id)) << "id " << k << " has no text";
  }
  EXPECT_EQ(EnglishTexts().size(), EnglishEntries().size());
  EXPECT_EQ(JapaneseTexts().size(), JapaneseEntries().size());
}

TEST(Texts, ALanguageWithoutATextFallsBackOnTheDesignedOne) {
  EXPECT_EQ(Text("Japanese", TextId::Action_Request), "USBデバイスの切断要求");
  EXPECT_EQ(Text("Japanese", TextId::SBtn_FindServer), "Refresh\r\nServer List");  // no Japanese text
  EXPECT_EQ(Text("English", TextId::Action_Request), "Request to Connect");
  // A language without a table of its own reads the English one.
  EXPECT_EQ(&TextsFor("German"), &EnglishTexts());
  EXPECT_EQ(Text("German", TextId::OpenCC), "Open Vessix");
  // Japanese-only messages have no English text: nothing to show.
  EXPECT_EQ(Text("English", TextId::Msg_NoNetwork), "");
  EXPECT_EQ(DesignedText(TextId::Msg_InstallFailed), "");
  EXPECT_FALSE(EnglishTexts().Find(TextId::kCount));
}

TEST(Texts, TableKeepsTheFirstTextOfAnIdAndIgnoresIdsOutOfRange) {
  const TextEntry entries[] = {{TextId::FileExit, "first"},
                               {TextId::FileExit, "second"},
                               {static_cast<TextId>(kTextIdCount + 3), "stray"}};
  TextTable table("Test", entries);
  EXPECT_EQ(table.Find(TextId::FileExit), "first");
  EXPECT_EQ(table.size(), 1u);
  EXPECT_FALSE(table.Find(TextId::Exit1));
}

// The main window's commands as the user reads them, in both languages.
TEST(Texts, MainWindowCommandsReadAsDesigned) {
  struct Row {
    TextId id;
    std::string_view english, japanese;
  };
  const Row rows[] = {
      {TextId::Action_Configure, "Configure Server", "サーバ設定"},
      {TextId::Action_Connect, "Connect", "接続"},
      {TextId::Action_Disconnect, "Disconnect", "切断"},
      {TextId::Action_Request, "Request to Connect", "USBデバイスの切断要求"},
      {TextId::Action_AConnectScan, "Network Scanner", "ネットワークスキャナ"},
      {TextId::Action_AConnectPrintSet, "Set Auto-Connect Printer", "自動接続プリンタの設定"},
      {TextId::Action_AConnectPrintDel, "Delete Auto-Connect Printer", "自動接続プリンタの削除"},
      {TextId::SBtn_Request, "Request to\r\nConnect", "USBデバイス\nの切断要求"},
      {TextId::FileMenu, "&System", "システム (&S)"},
      {TextId::Configure, "Configuration...", "設定"},
      {TextId::OpenCC, "Open Vessix", "Vessixを開く"},
      {TextId::WaitCloseFm_Caption, "Vessix - Closing", "Vessixの終了"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Text("English", r.id), r.english);
    EXPECT_EQ(Text("Japanese", r.id), r.japanese);
  }
  // The held-devices question is the same text in every language.
  EXPECT_EQ(Text("English", TextId::Msg_HeldDevices), Text("Japanese", TextId::Msg_HeldDevices));
}

}  // namespace
}  // namespace vx::ui
