#include "model/tree_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vx::model {
namespace {

ServerData MakeServer(const std::string& name, const std::string& ip, const std::string& location,
                      const std::string& model = "") {
  ServerData s;
  s.ServerName = name;
  s.IpAddress = ip;
  s.Location = location;
  s.Model = model;
  s.DisplayName = ServerDisplayName(s, false);
  return s;
}

DeviceData MakeDevice(const std::string& cls, const std::string& owner = "", int lock_type = 0) {
  DeviceData d;
  d.Class = cls;
  d.Manufacturer = "Acme";
  d.Product = "Laser 9";
  d.Owner = owner;
  d.LockType = lock_type;
  return d;
}

TEST(ServerTextTest, SuffixesByLocationAndLanguage) {
  ServerData remote = MakeServer("far", "10.9.0.5", "3");
  EXPECT_EQ(ServerDisplayName(remote, false), "far - 10.9.0.5 [Offline]");
  remote.Online = 1;
  EXPECT_EQ(ServerDisplayName(remote, true), "far - 10.9.0.5 [Online]");

  ServerData other = MakeServer("moved", "192.168.9.9", "2");
  EXPECT_EQ(ServerDisplayName(other, false), "moved - 192.168.9.9");
  EXPECT_EQ(ServerDisplayName(other, true),
            "moved - 192.168.9.9 [お使いのパソコンとは異なるサブネットのIPアドレスです。]");
  // Once the reply names a model that can be re-addressed, the suffix asks
  // for the double click instead.
  other.Model = "MD-WLAN04N";
  EXPECT_EQ(ServerDisplayName(other, true),
            "moved - 192.168.9.9 [サーバをダブルクリックして、IPアドレスを変更してください。]");
  other.Location = "0";
  EXPECT_NE(ServerDisplayName(other, true).find("ダブルクリック"), std::string::npos);
  other.Model = "MD-LAN02";  // not one of the three
  EXPECT_NE(ServerDisplayName(other, true).find("異なるサブネット"), std::string::npos);

  EXPECT_EQ(ServerDisplayName(MakeServer("near", "10.0.0.2", "1"), true), "near - 10.0.0.2");
}

TEST(ServerTextTest, NamesWithQuotesPercentAndJapaneseStayAsTheyAre) {
  ServerData s = MakeServer("50% \"lab\" %s%n サーバ", "10.0.0.2", "1");
  EXPECT_EQ(ServerDisplayName(s, true), "50% \"lab\" %s%n サーバ - 10.0.0.2");
  const std::string long_name(63, 'x');
  EXPECT_EQ(ServerDisplayName(MakeServer(long_name, "10.0.0.2", "1"), false), long_name + " - 10.0.0.2");
}

TEST(DeviceTextTest, ClassUnknownAndOwnerLabels) {
  EXPECT_EQ(DeviceDisplayName(MakeDevice("PRINTER"), true), "PRINTER - Acme - Laser 9");
  EXPECT_EQ(DeviceDisplayName(MakeDevice("unknown"), true), "Acme - Laser 9");
  EXPECT_EQ(DeviceDisplayName(MakeDevice("MFP", "PC-7", 2), true),
            "MFP - Acme - Laser 9 [ 手動接続： PC-7 ]");
  EXPECT_EQ(DeviceDisplayName(MakeDevice("MFP", "PC-7", 1), true),
            "MFP - Acme - Laser 9 [ 自動接続： PC-7 ]");
  EXPECT_EQ(DeviceDisplayName(MakeDevice("MFP", "PC-7", 2), false), "MFP - Acme - Laser 9");
  EXPECT_EQ(DeviceDisplayName(MakeDevice("MFP", "", 2), true), "MFP - Acme - Laser 9");
}

TEST(DeviceTextTest, BlankManufacturerBecomesOneBlank) {
  EXPECT_EQ(NormaliseManufacturer(""), " ");
  EXPECT_EQ(NormaliseManufacturer("    "), " ");
  EXPECT_EQ(NormaliseManufacturer(" Acme "), " Acme ");
}

TEST(IconTest, ByLocationAndClass) {
  EXPECT_EQ(ServerImage(MakeServer("a", "1.2.3.4", "3")), 9);
  EXPECT_EQ(ServerImage(MakeServer("a", "1.2.3.4", "1")), 0);
  EXPECT_EQ(ServerImage(MakeServer("a", "1.2.3.4", "2")), 0);
  const std::vector<std::pair<std::string, int>> classes = {
      {"Printer", 1}, {"MFP", 1}, {"UNKNOWN", 1}, {"scanner", 2}, {"MASS STORAGE", 3},
      {"AUDIO", 4},   {"hid", 5}, {"VIDEO", 6},   {"", 6}};
  for (const auto& [cls, image] : classes) EXPECT_EQ(DeviceImage(MakeDevice(cls)), image) << cls;
}

TEST(ServerOrderTest, RemoteBeforeLocalBeforeOtherSubnetsInBothComparisonOrders) {
  ServerData remote = MakeServer("zz", "10.9.0.5", "3");
  ServerData local = MakeServer("aa", "10.0.0.2", "1");
  ServerData other = MakeServer("AA", "10.0.0.1", "0");
  EXPECT_TRUE(ServerComesBefore(remote, local));
  EXPECT_FALSE(ServerComesBefore(local, remote));
  EXPECT_TRUE(ServerComesBefore(local, other));
  EXPECT_FALSE(ServerComesBefore(other, local));
  EXPECT_TRUE(ServerComesBefore(remote, other));
  EXPECT_FALSE(ServerComesBefore(other, remote));

  // The same order from every starting permutation.
  std::vector<ServerData> servers = {other, local, remote, MakeServer("Bb", "10.0.0.3", "1"),
                                     MakeServer("ab", "10.0.0.4", "2")};
  std::vector<int> idx = {0, 1, 2, 3, 4};
  std::vector<std::string> first;
  do {
    std::vector<ServerData> v;
    for (int i : idx) v.push_back(servers[size_t(i)]);
    std::stable_sort(v.begin(), v.end(), ServerComesBefore);
    std::vector<std::string> names;
    for (auto& s : v) names.push_back(s.DisplayName);
    if (first.empty()) first = names;
    EXPECT_EQ(names, first);
  } while (std::next_permutation(idx.begin(), idx.end()));
  EXPECT_EQ(first, (std::vector<std::string>{"zz - 10.9.0.5 [Offline]", "aa - 10.0.0.2", "Bb - 10.0.0.3",
                                             "AA - 10.0.0.1", "ab - 10.0.0.4"}));
}

TEST(DrawingTest, ServerColoursByLocationAndSelection) {
  EXPECT_EQ(DrawServer(MakeServer("a", "1.1.1.1", "1"), false).text_colour, kNavy);
  EXPECT_EQ(DrawServer(MakeServer("a", "1.1.1.1", "3"), false).text_colour, kBlue);
  EXPECT_EQ(DrawServer(MakeServer("a", "1.1.1.1", "0"), false).text_colour, kRed);
  EXPECT_EQ(DrawServer(MakeServer("a", "1.1.1.1", "2"), true).text_colour, kRed);
  EXPECT_EQ(DrawServer(MakeServer("a", "1.1.1.1", "1"), false).back, 0xFFFFFFu);
  EXPECT_EQ(DrawServer(MakeServer("a", "1.1.1.1", "1"), true).back, 0xDCDCDCu);
}

TEST(DrawingTest, DeviceColoursAndAutoConnectLabels) {
  DeviceData d = MakeDevice("PRINTER");
  ItemDrawing plain = DrawDevice(d, false, true);
  EXPECT_EQ(plain.back, 0xFEFFFFu);
  EXPECT_EQ(plain.text_colour, 0x800000u);
  EXPECT_TRUE(plain.fill_text_rect);
  EXPECT_TRUE(plain.labels.empty());
  EXPECT_EQ(DrawDevice(d, true, true).back, 0xDCDCDCu);

  d.AutoPrintIndex = 0;
  d.AutoFaxIndex = 2;
  ItemDrawing both = DrawDevice(d, false, true);
  ASSERT_EQ(both.labels.size(), 2u);
  EXPECT_EQ(both.labels[0].text, " ［自動接続プリンタ］  ");
  EXPECT_EQ(both.labels[0].dx, 3);
  EXPECT_EQ(both.labels[0].dy, 3);
  EXPECT_EQ(both.labels[0].back, 0xFF3333u);
  EXPECT_EQ(both.labels[0].text_colour, 0xFFFFFFu);
  EXPECT_EQ(both.labels[1].text, " [ Auto-Connected Fax ]  ");
  EXPECT_EQ(both.labels[1].dx, 139);

  d.AutoPrintIndex = -1;
  ItemDrawing fax = DrawDevice(d, false, true);
  ASSERT_EQ(fax.labels.size(), 1u);
  EXPECT_EQ(fax.labels[0].dx, 3);
  EXPECT_TRUE(DrawDevice(d, false, false).labels.empty());
}

TEST(HintTest, ServerHintTexts) {
  ServerData s = MakeServer("uds1", "10.0.0.2", "1");
  EXPECT_EQ(ServerHint(s, false), "");
  EXPECT_EQ(ServerHint(s, true), " サーバ名： uds1 \n サーバのIPアドレス：10.0.0.2 ");
  s.Model = "MD-LAN01";
  s.MacAddress = "00:80:92:00:00:01";
  EXPECT_EQ(ServerHint(s, true),
            " サーバ名： uds1 \n サーバのIPアドレス：10.0.0.2 \n 型番： MD-LAN01 \n "
            "MACアドレス：00:80:92:00:00:01 ");
  s.Location = "2";
  EXPECT_EQ(ServerHint(s, true).rfind(" サーバをダブルクリックして、IPアドレスを変更\n してください。", 0),
            0u);
  s.Model = "OTHER";
  EXPECT_EQ(ServerHint(s, true).rfind(" サーバ名： ", 0), 0u);
}

TEST(HintTest, DeviceHintTexts) {
  DeviceData d = MakeDevice("SCANNER", "PC-2");
  EXPECT_EQ(DeviceHint(d, false), "");
  EXPECT_EQ(DeviceHint(d, true),
            " USBデバイスの種類：SCANNER \n メーカー名：Acme \n 製品名：Laser 9 \n 使用者：PC-2 ");
  d.Class = "Unknown";
  d.AutoPrintIndex = 1;
  d.AutoPrintName = "Queue 1";
  d.AutoFaxIndex = 0;
  d.AutoFaxName = "Fax";
  EXPECT_EQ(DeviceHint(d, true),
            " メーカー名：Acme \n 製品名：Laser 9 \n 使用者：PC-2 \n 自動接続プリンタ：Queue 1 \n "
            "Auto-Connected Fax : Fax ");
}

}  // namespace
}  // namespace vx::model

#include "model/about_box.h"

namespace vx::model {
namespace {

TEST(AboutBoxTest, CaptionAndVersionLineInBothLanguages) {
  AboutTexts en = MakeAboutTexts(false, "Vessix", "");
  EXPECT_EQ(en.caption, "About Vessix");
  EXPECT_EQ(en.version_line, "Software Version : 1.80");
  AboutTexts jp = MakeAboutTexts(true, "Vessix", "2.03");
  EXPECT_EQ(jp.caption, "Vessixについて");
  EXPECT_EQ(jp.version_line, "ソフトウェアバージョン : 2.03");
}

}  // namespace
}  // namespace vx::model
