#include "model/tree_texts.h"

#include <algorithm>

#include "ui/texts.h"

namespace vx::model {

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return text;
}

namespace {

using ui::TextId;

std::string T(bool japanese, TextId id) {
  return std::string(ui::Text(japanese ? "Japanese" : "English", id));
}

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
    text += T(japanese, s.Online == 1 ? TextId::Tree_OnlineSuffix : TextId::Tree_OfflineSuffix);
  } else if (s.Location == "0" || s.Location == "2") {
    // Only Japanese has these suffixes.
    text += T(japanese,
              IsReaddressableModel(s.Model) ? TextId::Tree_ReaddressSuffix : TextId::Tree_OtherSubnetSuffix);
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
  const std::string label =
      T(japanese, d.LockType == 2 ? TextId::Tree_ManualOwnerLabel : TextId::Tree_AutomaticOwnerLabel);
  if (!d.Owner.empty() && !label.empty()) text += " [ " + label + " " + d.Owner + " ]";
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
  const std::string printer = T(japanese, TextId::Tree_AutoPrinterLabel);
  const std::string fax = T(japanese, TextId::Tree_AutoFaxLabel);
  if (dev.AutoPrintIndex >= 0 && !printer.empty()) {
    d.labels.push_back({printer, 3, 3, kAutoConnectBack, kWhite});
    printer_label = true;
  }
  if (dev.AutoFaxIndex >= 0 && !fax.empty())
    d.labels.push_back({fax, printer_label ? 139 : 3, 3, kAutoConnectBack, kWhite});
  d.back = selected ? kSelectedBack : kDeviceBack;
  d.text_colour = kMaroon;
  d.fill_text_rect = true;
  return d;
}

// Each line is appended piece by piece (no temporary strings joined to
// literals, which GCC 12 warns about wrongly).
namespace {

void Line(std::string& hint, const char* before, bool japanese, TextId label, const std::string& value,
          const char* after) {
  hint += before;
  hint += T(japanese, label);
  hint += value;
  hint += after;
}

}  // namespace

std::string ServerHint(const ServerData& s, bool japanese) {
  if (T(japanese, TextId::Hint_ServerName).empty()) return {};  // hints exist only in Japanese
  std::string hint;
  if ((s.Location == "0" || s.Location == "2") && IsReaddressableModel(s.Model))
    hint += T(japanese, TextId::Hint_Readdress);
  Line(hint, "", japanese, TextId::Hint_ServerName, s.ServerName, " \n");
  Line(hint, "", japanese, TextId::Hint_ServerIp, s.IpAddress, " ");
  if (!s.Model.empty()) Line(hint, "\n", japanese, TextId::Hint_Model, s.Model, " ");
  if (!s.MacAddress.empty()) Line(hint, "\n", japanese, TextId::Hint_Mac, s.MacAddress, " ");
  return hint;
}

std::string DeviceHint(const DeviceData& d, bool japanese) {
  if (T(japanese, TextId::Hint_Manufacturer).empty()) return {};
  std::string hint;
  if (UpperAscii(d.Class) != "UNKNOWN") Line(hint, "", japanese, TextId::Hint_DeviceClass, d.Class, " \n");
  Line(hint, "", japanese, TextId::Hint_Manufacturer, d.Manufacturer, " \n");
  Line(hint, "", japanese, TextId::Hint_Product, d.Product, " \n");
  Line(hint, "", japanese, TextId::Hint_Owner, d.Owner, " ");
  if (d.AutoPrintIndex >= 0) Line(hint, "\n", japanese, TextId::Hint_AutoPrinter, d.AutoPrintName, " ");
  if (d.AutoFaxIndex >= 0) Line(hint, "\n", japanese, TextId::Hint_AutoFax, d.AutoFaxName, " ");
  return hint;
}

}  // namespace vx::model
