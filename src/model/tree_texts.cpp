#include "model/tree_texts.h"

#include <algorithm>

namespace vx::model {

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return text;
}

namespace {

unsigned char LowerAscii(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// Byte-wise comparison ignoring ASCII case; texts with other bytes compare
// by their bytes.
int CompareTextIgnoringCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int Group(const ServerData& s) {
  if (!IsUsableLocation(s.Location)) return 2;
  return IsRemoteLocation(s.Location) ? 0 : 1;
}

}  // namespace

bool IsReaddressableModel(const std::string& model) {
  return model == "MD-LAN01" || model == "MD-WLAN01N" || model == "MD-WLAN04N";
}

std::string ServerDisplayName(const ServerData& s, bool japanese) {
  std::string text = s.ServerName + " - " + s.IpAddress;
  if (s.Location == "3") {
    text += s.Online == 1 ? kOnlineSuffix : kOfflineSuffix;
  } else if ((s.Location == "0" || s.Location == "2") && japanese) {
    text += IsReaddressableModel(s.Model) ? kReaddressSuffix : kOtherSubnetSuffix;
  }
  return text;
}

std::string NormaliseManufacturer(const std::string& text) {
  bool blank = std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
  return blank ? std::string(" ") : text;
}

std::string DeviceDisplayName(const DeviceData& d, bool japanese) {
  std::string text = UpperAscii(d.Class) == "UNKNOWN" ? d.Manufacturer + " - " + d.Product
                                                      : d.Class + " - " + d.Manufacturer + " - " + d.Product;
  if (!d.Owner.empty() && japanese) {
    text += std::string(" [ ") + (d.LockType == 2 ? kManualOwnerLabel : kAutomaticOwnerLabel) + " " +
            d.Owner + " ]";
  }
  return text;
}

int ServerImage(const ServerData& s) { return s.Location == "3" ? kRemoteServerImage : kServerImage; }

int DeviceImage(const DeviceData& d) {
  const std::string c = UpperAscii(d.Class);
  if (c == "PRINTER" || c == "MFP" || c == "UNKNOWN") return 1;
  if (c == "SCANNER") return 2;
  if (c == "MASS STORAGE") return 3;
  if (c == "AUDIO") return 4;
  if (c == "HID") return 5;
  return 6;
}

bool ServerComesBefore(const ServerData& a, const ServerData& b) {
  const int ga = Group(a), gb = Group(b);
  if (ga != gb) return ga < gb;
  return CompareTextIgnoringCase(a.DisplayName, b.DisplayName) < 0;
}

uint32_t ServerTextColour(const std::string& location) {
  if (location == "1") return kNavy;
  if (location == "3") return kBlue;
  return kRed;
}

ItemDrawing DrawServer(const ServerData& s, bool selected) {
  ItemDrawing d;
  d.back = selected ? kSelectedBack : kWhite;
  d.text_colour = ServerTextColour(s.Location);
  return d;
}

ItemDrawing DrawDevice(const DeviceData& dev, bool selected, bool japanese) {
  ItemDrawing d;
  bool printer_label = false;
  if (dev.AutoPrintIndex >= 0 && japanese) {
    d.labels.push_back({kAutoPrinterDrawLabel, 3, 3, kAutoConnectBack, kWhite});
    printer_label = true;
  }
  if (dev.AutoFaxIndex >= 0 && japanese)
    d.labels.push_back({kAutoFaxDrawLabel, printer_label ? 139 : 3, 3, kAutoConnectBack, kWhite});
  d.back = selected ? kSelectedBack : kDeviceBack;
  d.text_colour = kMaroon;
  d.fill_text_rect = true;
  return d;
}

std::string ServerHint(const ServerData& s, bool japanese) {
  if (!japanese) return {};
  std::string hint;
  if ((s.Location == "0" || s.Location == "2") && IsReaddressableModel(s.Model)) {
    hint +=
        " サーバをダブルクリックして、IPアドレスを変更\n してください。Vessixを使用するには、\n "
        "お使いのパソコンとサーバを同じサブネットの\n IPアドレスに設定する必要があります。\n\n";
  }
  hint += " サーバ名： " + s.ServerName + " \n" + " サーバのIPアドレス：" + s.IpAddress + " ";
  if (!s.Model.empty()) hint += "\n 型番： " + s.Model + " ";
  if (!s.MacAddress.empty()) hint += "\n MACアドレス：" + s.MacAddress + " ";
  return hint;
}

std::string DeviceHint(const DeviceData& d, bool japanese) {
  if (!japanese) return {};
  std::string hint;
  if (UpperAscii(d.Class) != "UNKNOWN") hint += " USBデバイスの種類：" + d.Class + " \n";
  hint += " メーカー名：" + d.Manufacturer + " \n" + " 製品名：" + d.Product + " \n" + " 使用者：" + d.Owner +
          " ";
  if (d.AutoPrintIndex >= 0) hint += "\n 自動接続プリンタ：" + d.AutoPrintName + " ";
  if (d.AutoFaxIndex >= 0) hint += "\n Auto-Connected Fax : " + d.AutoFaxName + " ";
  return hint;
}

}  // namespace vx::model
