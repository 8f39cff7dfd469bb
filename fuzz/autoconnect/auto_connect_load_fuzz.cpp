// Fills the auto-connect key with entries made of arbitrary texts (lines of
// the input: a key name, then up to 22 values in their order) and loads
// them. Whatever is stored, the load ends, both lists are sorted, every
// element carries a queue name, came from a key whose name matches its own
// values, and the lookup finds each element's device.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "autoconnect/auto_connect_store.h"
#include "platform/registry/fake_registry.h"

namespace {

using namespace vx::autoconnect;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string_view> Lines(std::string_view bytes) {
  std::vector<std::string_view> out;
  while (!bytes.empty() && out.size() < 23 * 16) {
    size_t end = bytes.find('\n');
    if (end == std::string_view::npos) end = bytes.size();
    out.push_back(bytes.substr(0, end));
    bytes.remove_prefix(end == bytes.size() ? end : end + 1);
  }
  return out;
}

void CheckList(const AutoConnectList& list, bool fax) {
  for (size_t k = 0; k < list.size(); ++k) {
    const AutoConnectPrinter& e = *list[k];
    Check(!e.QueueName.empty());
    Check(e.IsFax() == fax);
    Check(e.Enabled == kEnabledUsed);
    if (k > 0) Check(!SortsBefore(e, *list[k - 1]));
    std::string name;
    const int found = FindAutoConnectEntry(list, e.ServerMAC, e.Identity(), &name);
    Check(found >= 0 && size_t(found) <= k);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string base = "Software\\Marvex\\VUV Eruruz Odozid";
  const std::string parent = base + "\\Auto-Connect";
  vx::FakeRegistry reg;
  const std::vector<std::string_view> lines =
      Lines(std::string_view(reinterpret_cast<const char*>(data), size));
  for (size_t at = 0; at < lines.size(); at += 23) {
    // Key names as the registry allows them: one component, not empty.
    std::string key(lines[at].substr(0, 200));
    for (char& c : key)
      if (c == '\\' || c == '\0') c = '_';
    if (key.empty()) key = "_";
    vx::RegOpen made = reg.Create(vx::RegRoot::kCurrentUser, parent + "\\" + key, vx::RegAccess::kAll);
    if (made.status != vx::RegStatus::kOk) continue;
    for (size_t v = 0; v < 22 && at + 1 + v < lines.size(); ++v)
      made.key->WriteString(kEntryValueNames[v], lines[at + 1 + v], false);
  }
  AutoConnectStore store(reg, base);
  LoadReport report;
  store.ReadAutoConnectReg(&report);
  Check(report.skipped.size() <= report.keys);
  Check(store.ACPrinterList.size() + report.skipped.size() <= report.keys);
  Check(store.ACFaxList.size() + report.skipped.size() <= report.keys);
  CheckList(store.ACPrinterList, false);
  CheckList(store.ACFaxList, true);
  for (const auto* list : {&store.ACPrinterList, &store.ACFaxList})
    for (const auto& e : *list) {
      AutoConnectInfo info;
      info.ServerMAC = e->ServerMAC;
      info.DeviceVid = e->DeviceVid;
      info.DevicePid = e->DevicePid;
      info.DeviceSNo = e->DeviceSNo;
      Check(ReadDeviceReg(reg, base, info));
      Check(e->IsFax() ? (info.FaxEnable && info.FaxName == e->QueueName)
                       : (info.PrinterEnable && info.PrinterName == e->QueueName));
    }
  return 0;
}
