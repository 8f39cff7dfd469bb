#include "app/win32/program_services.h"

#include <lmcons.h>
#include <shellapi.h>

#include <vector>

#include "app/main_presenter.h"
#include "app/settings_store.h"
#include "app/win32/isolated_network.h"
#include "busdriver/operations.h"
#include "devices/device_commands.h"
#include "devices/disconnect_all.h"
#include "devices/ejection.h"
#include "model/win32/tree_facet.h"
#include "discovery/adapters.h"
#include "platform/clock.h"
#include "platform/registry/win32/registry_win32.h"
#include "platform/text_codec.h"
#include "platform/trace.h"
#include "winui/graphics.h"

namespace vx::app::win32 {

// --- SystemServices ---

std::string SystemServices::ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

void SystemServices::SetWorkingDirectory(const std::string& folder) {
  if (!SetCurrentDirectoryW(Widen(folder).c_str())) TraceLine("SetCurrentDirectory failed : " + folder);
}

std::string SystemServices::ComputerName() {
  wchar_t name[256];
  DWORD size = 256;
  return GetComputerNameW(name, &size) ? Narrow(std::wstring_view(name, size)) : std::string();
}

std::string SystemServices::UserName() {
  wchar_t name[256];
  DWORD size = 256;
  if (!GetUserNameW(name, &size) || size == 0) return {};
  return Narrow(std::wstring_view(name, size - 1));  // the count includes the NUL
}

std::string SystemServices::ProgramVersion() {
  std::optional<winui::FileVersion> version = winui::ReadFileVersion();
  return version ? winui::VersionText(*version) : std::string();
}

uint32_t SystemServices::GetWindowsVersion() {
  return static_cast<uint32_t>(discovery::GetWindowsVersion(net_));
}

void SystemServices::RunRebootCommand() {
  ShellExecuteW(nullptr, L"RunAs", L"cmd.exe", L"shutdown.exe -r -f -t 0", nullptr, SW_HIDE);
}

void SystemServices::CreateLocks() {
  for (HANDLE& lock : locks_)
    if (!lock) lock = CreateMutexW(nullptr, FALSE, nullptr);
}

void SystemServices::CloseLocks() {
  for (HANDLE& lock : locks_) {
    if (lock) CloseHandle(lock);
    lock = nullptr;
  }
}

// --- BusDriverServices ---

bool BusDriverServices::OpenMasterBus() {
  std::string why;
  channel_ = bus::MakeDriverChannel(&why);
  if (!channel_) {
    TraceLine("OpenMasterBus() : " + why);
    return false;
  }
  master_ = bus::GetMasterBus(*channel_);
  return master_ != nullptr;
}

DriverVersionText BusDriverServices::DriverVersion() {
  DriverVersionText v;
  if (master_) bus::GetDriverVersion(*master_, &v.full, &v.short_text);
  version_info_.SetDriver(v.short_text);
  return v;
}

void BusDriverServices::StartEventReader() {
  if (!master_) return;
  reader_ = std::make_unique<bus::TReadThread>(master_, main_thread_, *this);
  reader_->Start();
}

void BusDriverServices::StopEventReader() {
  if (!reader_) return;
  // While a TCP bus is being built the reader is not waited for.
  reader_->Stop(!(tree_ && tree_->BusBuilding()));
  reader_.reset();
}

bool BusDriverServices::CloseMasterBus() {
  if (!master_) return true;
  bool ok = master_->Close();
  master_.reset();
  return ok;
}

bool BusDriverServices::SendUdpPacket(uint32_t source_ipv4_network_order, const uint8_t* bytes, uint32_t n) {
  auto master = master_;
  return master && bus::SendUdpPacket(*master, source_ipv4_network_order, bytes, n);
}

bool BusDriverServices::MasterBusValid() const { return master_ != nullptr; }

void BusDriverServices::GetReadInfo(std::span<const uint8_t> record, int length) {
  if (tree_)
    tree_->ReadInfo().GetReadInfo(record, length);
  else
    TraceLine("GetReadInfo : " + std::to_string(length) + " bytes before the tree exists");
}

// --- DeviceServices ---

DeviceServices::DeviceServices(std::function<void()> clear_tree, MainThread& main_thread,
                               std::function<std::string()> computer_name)
    : clear_tree_(std::move(clear_tree)),
      main_thread_(main_thread),
      computer_name_(std::move(computer_name)),
      ejector_(devices::MakeSystemEjector()) {}

DeviceServices::~DeviceServices() = default;

void DeviceServices::DisconnectAllHeldDevices() {
  if (!tree_) return;
  std::vector<devices::ServerDevices> servers;
  for (const auto& node : tree_->Tree().Servers()) {
    devices::ServerDevices server{node->data->IpAddress, node->data->TcpBusHandle, {}};
    for (const auto& d : node->devices) server.devices.push_back({devices::RefOf(*d.data), d.data->Owner});
    servers.push_back(std::move(server));
  }
  devices::DisconnectAll(main_thread_, servers, computer_name_(), std::nullopt, *ejector_);
}

bool DeviceServices::AnyDeviceHeldBy(const std::string& computer_name) {
  return tree_ && tree_->AnyDeviceHeldBy(computer_name);
}

void DeviceServices::DeleteAllTcpBus() {
  if (tree_) tree_->DeleteAllTcpBus();
}

void DeviceServices::ClearServerTree() {
  if (tree_)
    tree_->ClearTree();
  else if (clear_tree_)
    clear_tree_();
}

// --- DiscoveryServices ---

DiscoveryServices::DiscoveryServices(net::NetworkPort& net, MainThread& main_thread,
                                     discovery::ListenerWiring wiring)
    : wiring_(wiring),
      service_(std::make_unique<discovery::DiscoveryService>(net, SystemClock(), main_thread,
                                                             SystemTextCodec())) {}

bool DiscoveryServices::AnySocketOpen() { return service_->Core().Sockets().HighestHandle() != 0; }

// --- Facets of the subsystems still to come ---

bool OptionsServices::LoadLanguagePack(int locale_id) {
  TraceLine("LoadLanguagePack(" + std::to_string(locale_id) + ") : none");
  return false;
}

bool OptionsServices::AddFirewallApplication(const std::string& image_path, const std::string& name) {
  TraceLine("AddFirewallApplication : " + name + " - " + image_path + " (not yet)");
  return true;
}

bool OptionsServices::AddFirewallPort(int port, const std::string& name) {
  TraceLine("AddFirewallPort : " + std::to_string(port) + " " + name + " (not yet)");
  return true;
}

// --- AutoConnectServices ---

AutoConnectServices::AutoConnectServices(Registry& registry, SystemFacet& system)
    : system_(system), store_(registry, std::string(kSettingsKey)) {}

void AutoConnectServices::ReadZARiraverIni() {
  std::string folder, base_name;
  SplitProgramPath(system_.ExecutablePath(), &folder, &base_name);
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += autoconnect::kVendorTableFile;
  store_.ReadVendorTable(path, SystemTextCodec());
}

void AutoConnectServices::ReadAutoConnectEntries() { store_.ReadAutoConnectReg(); }

void AutoConnectServices::FreeAutoConnectEntries() { store_.Free(); }

// --- ProgramServices ---

namespace {

std::unique_ptr<net::NetworkPort> ProgramNetwork() {
  std::unique_ptr<net::NetworkPort> net = net::MakeSystemNetwork();
  if (IsolatedNetworkRequested()) net = MakeIsolatedNetwork(std::move(net));
  return net;
}

}  // namespace

ProgramServices::ProgramServices(MainThread& main_thread, discovery::NetworkStateSink& status,
                                 std::function<void()> clear_tree)
    : net_(ProgramNetwork()),
      system_(*net_),
      auto_connect_(Win32Registry(), system_),
      bus_(main_thread),
      devices_(std::move(clear_tree), main_thread, [this] { return system_.ComputerName(); }) {
  discovery_ = std::make_unique<DiscoveryServices>(
      *net_, main_thread,
      discovery::ListenerWiring{
          .forwarder = &bus_, .master_bus = &bus_, .status = &status, .closing = &system_.closing()});
}

ProgramServices::~ProgramServices() {
  // A run that ended early (no driver) still stops what it started.
  system_.SetProcessClosing();
  bus_.StopEventReader();
  discovery_.reset();
  system_.CloseLocks();
}

}  // namespace vx::app::win32
