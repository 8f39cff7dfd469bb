// vessix-cli autoconnect list [--json] [--registry FILE.reg] [--ini FILE]:
// what the auto-connect store holds for this user, as the program loads it
// at start: the printer and fax elements in list order, the registry
// entries that give no element and why, "Disconnect Timing", and with --ini
// a vendor driver table. The store is read from the system's registry on
// Windows, from a REGEDIT4 file with --registry (required natively). It
// reads only: a missing auto-connect key is not created.
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/settings_store.h"
#include "autoconnect/auto_connect_store.h"
#include "autoconnect/system_registry.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "platform/registry/fake_registry.h"
#include "platform/text_codec.h"

namespace vx::cli {
namespace {

using namespace vx::autoconnect;

struct Options {
  bool json = false;
  std::string registry_file;
  std::string ini_file;
};

std::unique_ptr<FakeRegistry> LoadRegistryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read the registry file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  auto reg = std::make_unique<FakeRegistry>();
  if (std::optional<std::string> error = reg->Load(text.str()))
    throw UsageError("not a REGEDIT4 file: " + path + ": " + *error);
  return reg;
}

Json ElementJson(const AutoConnectPrinter& e, size_t index) {
  return Json{{"index", index},
              {"server_name", e.ServerName},
              {"server_ip", e.ServerIP},
              {"server_mac", e.ServerMAC},
              {"vid", e.DeviceVid},
              {"pid", e.DevicePid},
              {"serial", e.DeviceSNo},
              {"identity", e.Identity()},
              {"type", e.DeviceType},
              {"manufacturer", e.DeviceManufacturer},
              {"product", e.DeviceProduct},
              {"queue", e.QueueName},
              {"port", e.QueuePort},
              {"kind", e.Kind}};
}

void PrintList(const char* title, const AutoConnectList& list) {
  std::printf("%s: %zu\n", title, list.size());
  for (size_t k = 0; k < list.size(); ++k) {
    const AutoConnectPrinter& e = *list[k];
    std::printf("  [%zu] %s  %s %s  queue \"%s\" (%s)\n", k, e.ServerIP.c_str(), e.DeviceManufacturer.c_str(),
                e.DeviceProduct.c_str(), e.QueueName.c_str(), e.QueuePort.c_str());
    std::printf("      server %s, MAC %s, device %s (%s)\n", e.ServerName.c_str(), e.ServerMAC.c_str(),
                e.Identity().c_str(), e.DeviceType.c_str());
  }
}

int List(const Options& o) {
  std::unique_ptr<FakeRegistry> file;
  Registry* registry = nullptr;
  if (!o.registry_file.empty()) {
    file = LoadRegistryFile(o.registry_file);
    registry = file.get();
  } else {
    registry = SystemRegistry();
    if (!registry) throw UsageError("this system has no registry: give the store as --registry FILE.reg");
  }

  const std::string base(app::kSettingsKey);
  AutoConnectStore store(*registry, base);
  LoadReport report;
  RegOpen existing = registry->Open(RegRoot::kCurrentUser, AutoConnectKeyPath(base), RegAccess::kQuery);
  if (existing.status == RegStatus::kOk) {
    existing.key.reset();
    store.ReadAutoConnectReg(&report);
  } else if (existing.status != RegStatus::kNotFound) {
    std::fprintf(stderr, "vessix-cli autoconnect list: the auto-connect key cannot be read (%s)\n",
                 RegStatusName(existing.status));
    return 1;
  }
  const std::string timing = ReadDisconnectTimingText(*registry);
  const std::optional<int> seconds = app::ParseSettingInt(timing);
  std::optional<VendorTableRead> ini;
  if (!o.ini_file.empty()) ini = store.ReadVendorTable(o.ini_file, SystemTextCodec());

  if (o.json) {
    Json printers = Json::array(), faxes = Json::array(), skipped = Json::array();
    for (size_t k = 0; k < store.ACPrinterList.size(); ++k)
      printers.push_back(ElementJson(*store.ACPrinterList[k], k));
    for (size_t k = 0; k < store.ACFaxList.size(); ++k) faxes.push_back(ElementJson(*store.ACFaxList[k], k));
    for (const auto& s : report.skipped)
      skipped.push_back(Json{{"key", s.key}, {"reason", SkipReasonText(s.reason)}});
    Json out{{"command", "autoconnect list"},
             {"disconnect_timing", timing},
             {"disconnect_timing_seconds", seconds ? Json(*seconds) : Json(nullptr)},
             {"printers", printers},
             {"faxes", faxes},
             {"skipped", skipped}};
    if (ini)
      out["vendor_table"] = Json{
          {"file", o.ini_file}, {"result", VendorTableReadText(*ini)}, {"sections", store.AFIniStr.sections}};
    PrintJsonLine(out);
    return 0;
  }
  std::printf("Disconnect Timing: %s\n",
              timing.empty() ? "(not set: the program writes 10 at start)" : timing.c_str());
  PrintList("Auto-connect printers", store.ACPrinterList);
  PrintList("Auto-connect faxes", store.ACFaxList);
  if (!report.skipped.empty()) {
    std::printf("Registry entries not loaded: %zu\n", report.skipped.size());
    for (const auto& s : report.skipped) std::printf("  %s: %s\n", s.key.c_str(), SkipReasonText(s.reason));
  }
  if (ini) {
    std::printf("Vendor driver table %s: %s, %zu sections\n", o.ini_file.c_str(), VendorTableReadText(*ini),
                store.AFIniStr.sections.size());
    for (size_t k = 0; k < store.AFIniStr.sections.size(); ++k) {
      std::string line;
      for (const std::string& v : store.AFIniStr.sections[k]) line += (line.empty() ? "" : ", ") + v;
      std::printf("  [%zu] %s\n", k, line.c_str());
    }
  }
  return 0;
}

void Register(CLI::App& root, Actions& actions) {
  CLI::App* cmd = root.add_subcommand("autoconnect", "the auto-connect store of this user");
  cmd->require_subcommand(1);
  auto o = std::make_shared<Options>();
  CLI::App* list =
      cmd->add_subcommand("list", "auto-connect printers and faxes, skipped entries, Disconnect Timing");
  list->add_flag("--json", o->json, "one JSON object");
  list->add_option("--registry", o->registry_file,
                   "read the store from this REGEDIT4 file instead of the registry");
  list->add_option("--ini", o->ini_file, "also read this vendor driver table (ZARiraver.ini)");
  actions.Bind(list, [o] { return List(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
