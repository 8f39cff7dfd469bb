// vessix-cli classify <server-ip> <device-no> [--json]
// vessix-cli classify --vid VVVV --pid PPPP [--serial S] [--json]
// What this PC's device registry says about a device: its USB functions, the
// device key examined, its print and fax queues and its scanner entries. The
// first form takes the ids from the server's device list (through the bus
// driver), the second takes them as given. Both add the auto-connect
// elements of this user whose vid, pid and serial are the device's, on any
// server: the bus driver's server list gives no MAC address to narrow them.
// `--registry FILE.reg` reads the device keys and the auto-connect store
// from one REGEDIT4 file instead of the system registry (natively, where
// there is no registry, it is required).
// Exit 0 when the device was found on this PC, 1 when not (or when the
// server's device cannot be read), 2 for usage.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "autoconnect/auto_connect_store.h"
#include "autoconnect/system_registry.h"
#include "busdriver/operations.h"
#include "classify/classify.h"
#include "classify/system_registry.h"
#include "cli/bus_session.h"
#include "cli/command.h"
#include "cli/json_output.h"
#include "platform/registry/fake_registry.h"

namespace vx::cli {
namespace {

using namespace vx::classify;

struct Options {
  std::string ip;
  int device_no = -1;
  std::string vid, pid, serial, registry_file;
  bool json = false;
};

// Four hexadecimal digits, given back in upper case as device records hold them.
std::string HexIdArgument(const char* option, const std::string& text) {
  bool ok = text.size() == 4;
  std::string out;
  for (char c : text) {
    ok = ok && std::isxdigit(static_cast<unsigned char>(c));
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (!ok) throw UsageError(std::string(option) + " takes four hexadecimal digits: " + text);
  return out;
}

std::unique_ptr<FakeRegistry> LoadRegistryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  auto reg = std::make_unique<FakeRegistry>();
  if (auto error = reg->Load(text.str())) throw UsageError(path + ": " + *error);
  return reg;
}

std::string Hex4(uint16_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", v);
  return text;
}

// The ids of the server's device; empty reason when read.
std::string ReadDeviceIds(Options* o) {
  std::string why;
  auto session = OpenBusSession(&why);
  if (!session) return why;
  auto tcp_bus = OpenServerBus(*session, o->ip, &why);
  if (!tcp_bus) return why;
  bus::DeviceList list;
  if (!bus::GetDeviceList(*tcp_bus, &list)) return "the device list of " + o->ip + " cannot be read";
  const bus::DeviceEntry* d = FindDevice(list, o->device_no);
  if (!d) return "no device " + std::to_string(o->device_no) + " on " + o->ip;
  o->vid = Hex4(d->vid);
  o->pid = Hex4(d->pid);
  o->serial = d->serial;
  return {};
}

// One auto-connect element of the device and its index in its list.
struct AutoConnectMatch {
  const autoconnect::AutoConnectPrinter* element;
  size_t index;
};

// The printer elements, then the fax elements, of the store whose vid, pid
// and serial are the device's, compared as the server tree compares them
// (the texts exactly as the device list gives them). Reads only: a store
// without an auto-connect key has no elements (and the key is not created).
std::vector<AutoConnectMatch> MatchingAutoConnect(autoconnect::AutoConnectStore& store, const Options& o) {
  std::vector<AutoConnectMatch> out;
  RegOpen existing = store.registry().Open(
      RegRoot::kCurrentUser, autoconnect::AutoConnectKeyPath(store.base_key()), RegAccess::kQuery);
  if (existing.status != RegStatus::kOk) {
    if (existing.status != RegStatus::kNotFound)
      std::fprintf(stderr, "vessix-cli classify: the auto-connect key cannot be read (%s)\n",
                   RegStatusName(existing.status));
    return out;
  }
  existing.key.reset();
  store.ReadAutoConnectReg();
  const std::string identity = o.vid + " - " + o.pid + " - " + o.serial;
  for (const autoconnect::AutoConnectList* list : {&store.ACPrinterList, &store.ACFaxList})
    for (size_t k = 0; k < list->size(); ++k)
      if ((*list)[k]->Identity() == identity) out.push_back({(*list)[k].get(), k});
  return out;
}

void PrintAutoConnect(const std::vector<AutoConnectMatch>& matches) {
  std::printf("auto-connect entries (this vid, pid and serial on any server): %s\n",
              matches.empty() ? "none" : std::to_string(matches.size()).c_str());
  for (const auto& [e, index] : matches)
    std::printf("  %s [%zu] queue \"%s\" (%s), server %s MAC %s\n", e->Kind.c_str(), index,
                e->QueueName.c_str(), e->QueuePort.c_str(), e->ServerIP.c_str(), e->ServerMAC.c_str());
}

void PrintText(const Options& o, USBClass flags, const std::string& key, const DeviceDriverInfo& info) {
  std::printf("device: vid %s pid %s serial \"%s\"\n", o.vid.c_str(), o.pid.c_str(), o.serial.c_str());
  if (!flags) {
    std::printf("not found on this PC\n");
    return;
  }
  std::string names;
  for (const auto& n : USBClassNames(flags)) names += (names.empty() ? "" : " ") + n;
  std::printf("functions: %s (0x%08X)\n", names.c_str(), static_cast<unsigned>(flags));
  std::printf("device key: %s\n", key.c_str());
  const std::pair<const char*, const std::string*> fields[] = {
      {"PrinterName", &info.PrinterName},  {"PrinterPort", &info.PrinterPort},
      {"FaxName", &info.FaxName},          {"FaxPort", &info.FaxPort},
      {"ScanNameWIA", &info.ScanNameWIA},  {"ScanNameTwain", &info.ScanNameTwain},
      {"ScanDeviceID", &info.ScanDeviceID}};
  for (const auto& [name, value] : fields)
    if (!value->empty()) std::printf("%s: %s\n", name, value->c_str());
}

int Classify(Options o) {
  const bool by_server = !o.ip.empty();
  const bool by_ids = !o.vid.empty() || !o.pid.empty() || !o.serial.empty();
  if (by_server == by_ids) throw UsageError("classify takes <server-ip> <device-no>, or --vid and --pid");
  if (by_server) {
    o.ip = ServerIpArgument(o.ip);
    if (o.device_no < 0) throw UsageError("classify <server-ip> needs <device-no>");
  } else {
    if (o.device_no >= 0) throw UsageError("a device number goes with a server address");
    if (o.vid.empty() || o.pid.empty()) throw UsageError("classify needs both --vid and --pid");
    o.vid = HexIdArgument("--vid", o.vid);
    o.pid = HexIdArgument("--pid", o.pid);
  }
  std::unique_ptr<FakeRegistry> file_registry;
  Registry* registry = nullptr;
  if (!o.registry_file.empty()) {
    file_registry = LoadRegistryFile(o.registry_file);
    registry = file_registry.get();
  } else {
    registry = SystemDeviceRegistry();
    if (!registry) throw UsageError("this system has no device registry: give --registry FILE.reg");
  }

  if (by_server) {
    TraceToStderrWhenAsked();
    if (auto why = ReadDeviceIds(&o); !why.empty()) {
      std::fprintf(stderr, "vessix-cli classify: %s\n", why.c_str());
      return 1;
    }
  }

  DeviceClassifier classifier(*registry);
  DeviceDriverInfo info;
  const USBClass flags = classifier.WhatInterface(o.vid, o.pid, o.serial, &info, true);
  Registry* store_registry = file_registry ? file_registry.get() : autoconnect::SystemRegistry();
  std::optional<autoconnect::AutoConnectStore> store;
  std::vector<AutoConnectMatch> matches;
  if (store_registry) {
    store.emplace(*store_registry, std::string(app::kSettingsKey));
    matches = MatchingAutoConnect(*store, o);
  }
  if (o.json) {
    Json functions = Json::array();
    for (const auto& n : USBClassNames(flags)) functions.push_back(n);
    Json entries = Json::array();
    for (const auto& [e, index] : matches)
      entries.push_back(Json{{"kind", e->Kind},
                             {"server_mac", e->ServerMAC},
                             {"server_ip", e->ServerIP},
                             {"queue", e->QueueName},
                             {"port", e->QueuePort},
                             {"index", index}});
    PrintJsonLine(Json{{"USBClass", flags},
                       {"functions", functions},
                       {"DeviceIDStr", classifier.DeviceIDStr()},
                       {"PrinterName", info.PrinterName},
                       {"PrinterPort", info.PrinterPort},
                       {"FaxName", info.FaxName},
                       {"FaxPort", info.FaxPort},
                       {"ScanNameWIA", info.ScanNameWIA},
                       {"ScanNameTwain", info.ScanNameTwain},
                       {"ScanDeviceID", info.ScanDeviceID},
                       {"autoconnect", entries}});
  } else {
    PrintText(o, flags, classifier.DeviceIDStr(), info);
    PrintAutoConnect(matches);
  }
  std::fflush(stdout);
  return flags ? 0 : 1;
}

void Register(CLI::App& root, Actions& actions) {
  auto o = std::make_shared<Options>();
  CLI::App* cmd = root.add_subcommand("classify", "what this PC's device registry says about a device");
  cmd->add_option("server-ip", o->ip, "the server's IPv4 address");
  cmd->add_option("device-no", o->device_no, "the device's number on the server")
      ->transform(DecimalRange(0, 255));
  cmd->add_option("--vid", o->vid, "the vendor id (four hexadecimal digits), without a server");
  cmd->add_option("--pid", o->pid, "the product id (four hexadecimal digits), without a server");
  cmd->add_option("--serial", o->serial, "the serial number as the server reports it (empty: none)");
  cmd->add_option("--registry", o->registry_file,
                  "read the device keys and the auto-connect store from this REGEDIT4 file");
  cmd->add_flag("--json", o->json, "the result as one JSON object");
  actions.Bind(cmd, [o] { return Classify(*o); });
}

CommandRegistration reg(&Register);

}  // namespace
}  // namespace vx::cli
