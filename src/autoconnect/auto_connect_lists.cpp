#include "autoconnect/auto_connect_lists.h"

#include <algorithm>

#include "platform/trace.h"

namespace vx::autoconnect {
namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool HasMarkers(std::string_view name) {
  return name.find("&Vid") != std::string_view::npos && name.find("&Pid_") != std::string_view::npos &&
         name.find("&SNo_") != std::string_view::npos;
}

AutoConnectInfo InfoOf(const AutoConnectPrinter& e) {
  AutoConnectInfo info;
  info.ServerName = e.ServerName;
  info.ServerIP = e.ServerIP;
  info.ServerMAC = e.ServerMAC;
  info.DeviceVid = e.DeviceVid;
  info.DevicePid = e.DevicePid;
  info.DeviceSNo = e.DeviceSNo;
  return info;
}

}  // namespace

std::string AutoConnectPrinter::Identity() const { return DeviceVid + " - " + DevicePid + " - " + DeviceSNo; }

std::unique_ptr<AutoConnectPrinter> MakeElement(const AutoConnectInfo& info, bool fax) {
  auto e = std::make_unique<AutoConnectPrinter>();
  e->ServerName = info.ServerName;
  e->ServerIP = info.ServerIP;
  e->ServerMAC = info.ServerMAC;
  e->DeviceVid = info.DeviceVid;
  e->DevicePid = info.DevicePid;
  e->DeviceSNo = info.DeviceSNo;
  e->DeviceType = info.DeviceType;
  e->DeviceManufacturer = info.DeviceManufacturer;
  e->DeviceProduct = info.DeviceProduct;
  e->QueueName = fax ? info.FaxName : info.PrinterName;
  e->QueuePort = fax ? info.FaxPort : info.PrinterPort;
  e->Kind = fax ? kKindFax : kKindPrinter;
  e->Status = fax ? "" : kStatusEmpty;
  e->Enabled = kEnabledUsed;
  return e;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t k = 0; k < n; ++k) {
    const unsigned char x = static_cast<unsigned char>(Fold(a[k]));
    const unsigned char y = static_cast<unsigned char>(Fold(b[k]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SortsBefore(const AutoConnectPrinter& a, const AutoConnectPrinter& b) {
  if (int c = CompareNoCase(a.ServerIP, b.ServerIP)) return c < 0;
  if (int c = CompareNoCase(a.DeviceManufacturer, b.DeviceManufacturer)) return c < 0;
  return CompareNoCase(a.DeviceProduct, b.DeviceProduct) < 0;
}

void SortAutoConnectList(AutoConnectList& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return SortsBefore(*a, *b); });
}

int AddToList(AutoConnectList& list, std::unique_ptr<AutoConnectPrinter> element) {
  const AutoConnectPrinter* added = element.get();
  list.push_back(std::move(element));
  SortAutoConnectList(list);
  for (size_t k = 0; k < list.size(); ++k)
    if (list[k].get() == added) return int(k);
  return -1;
}

int FindAutoConnectEntry(const AutoConnectList& list, std::string_view mac, std::string_view identity,
                         std::string* name) {
  for (size_t k = 0; k < list.size(); ++k) {
    const AutoConnectPrinter& e = *list[k];
    if (e.ServerMAC == mac && e.Identity() == identity) {
      if (name) *name = e.QueueName;
      return int(k);
    }
  }
  if (name) name->clear();
  return -1;
}

const char* SkipReasonText(SkipReason reason) {
  switch (reason) {
    case SkipReason::kUnreadable:
      return "unreadable";
    case SkipReason::kNameMismatch:
      return "name-mismatch";
    case SkipReason::kNoQueue:
      return "no-queue";
    case SkipReason::kNotEnabled:
      return "not-enabled";
  }
  return "?";
}

void ReadAutoConnectReg(Registry& registry, std::string_view base_key, AutoConnectList& printers,
                        AutoConnectList& faxes, LoadReport* report) {
  LoadReport local;
  LoadReport& r = report ? *report : local;
  r = LoadReport{};
  const std::string parent = AutoConnectKeyPath(base_key);
  RegOpen auto_key = registry.Create(RegRoot::kCurrentUser, parent, RegAccess::kAll);
  if (auto_key.status != RegStatus::kOk) {
    // Without the right to create it the key may still be readable.
    auto_key = registry.Open(RegRoot::kCurrentUser, parent, RegAccess::kQuery);
    if (auto_key.status != RegStatus::kOk) {
      TraceLine("ReadAutoConnectReg : OpenKey Fail : " + parent + " (" + RegStatusName(auto_key.status) +
                ")");
      return;
    }
  }
  r.key_opened = true;
  std::vector<std::string> names;
  if (RegStatus s = auto_key.key->EnumSubKeys(&names); s != RegStatus::kOk) {
    TraceLine("ReadAutoConnectReg : EnumKey Fail : " + parent + " (" + RegStatusName(s) + ")");
    return;
  }
  r.keys = names.size();
  for (const std::string& name : names) {
    // One entry that cannot be opened (removed meanwhile, refused to this
    // user) costs only itself: the entries listed after it still load.
    RegOpen entry = registry.Open(RegRoot::kCurrentUser, parent + "\\" + name, RegAccess::kQuery);
    if (entry.status != RegStatus::kOk) {
      TraceLine("ReadAutoConnectReg : OpenKey Fail : " + name + " (" + RegStatusName(entry.status) + ")");
      r.skipped.push_back({name, SkipReason::kUnreadable});
      continue;
    }
    const AutoConnectInfo info = ReadEntryValues(*entry.key);
    if (!HasMarkers(name) || name != EntryKeyName(info)) {
      r.skipped.push_back({name, SkipReason::kNameMismatch});
      continue;
    }
    if (info.PrinterName.empty() && info.FaxName.empty()) {
      r.skipped.push_back({name, SkipReason::kNoQueue});
      continue;
    }
    bool added = false;
    if (!info.PrinterName.empty() && info.PrinterEnable) {
      AddToList(printers, MakeElement(info, false));
      added = true;
    }
    if (!info.FaxName.empty() && info.FaxEnable) {
      AddToList(faxes, MakeElement(info, true));
      added = true;
    }
    if (!added) r.skipped.push_back({name, SkipReason::kNotEnabled});
  }
}

bool RegisterQueue(Registry& registry, std::string_view base_key, const AutoConnectPrinter& element) {
  AutoConnectInfo info = InfoOf(element);
  ReadDeviceReg(registry, base_key, info);  // a missing entry leaves the record as built
  info.DeviceType = element.DeviceType;
  info.DeviceManufacturer = element.DeviceManufacturer;
  info.DeviceProduct = element.DeviceProduct;
  if (element.IsFax()) {
    info.FaxEnable = true;
    info.FaxName = element.QueueName;
    info.FaxPort = element.QueuePort;
  } else {
    info.PrinterEnable = true;
    info.PrinterName = element.QueueName;
    info.PrinterPort = element.QueuePort;
  }
  return WriteDeviceReg(registry, base_key, info);
}

bool RemoveQueue(Registry& registry, std::string_view base_key, const AutoConnectPrinter& element) {
  AutoConnectInfo info = InfoOf(element);
  if (!ReadDeviceReg(registry, base_key, info)) return false;
  if (element.IsFax())
    info.FaxEnable = false;
  else
    info.PrinterEnable = false;
  return WriteDeviceReg(registry, base_key, info);
}

}  // namespace vx::autoconnect
