#include "app/win32/program_services.h"

#include <lmcons.h>
#include <shellapi.h>

#include <vector>

#include "app/win32/isolated_network.h"
#include "busdriver/operations.h"
#include "model/win32/tree_facet.h"
#include "platform/clock.h"
#include "platform/text_codec.h"
#include "platform/trace.h"

namespace vx::app::win32 {

ProgramServices::ProgramServices(MainThread& main_thread, discovery::NetworkStateSink& status,
                                 std::function<void()> clear_tree)
    : main_thread_(main_thread), status_(status), clear_tree_(std::move(clear_tree)) {
  net_ = net::MakeSystemNetwork();
  if (IsolatedNetworkRequested()) net_ = MakeIsolatedNetwork(std::move(net_));
  discovery_ =
      std::make_unique<discovery::DiscoveryService>(*net_, SystemClock(), main_thread_, SystemTextCodec());
}

ProgramServices::~ProgramServices() {
  // A run that ended early (no driver) still stops what it started.
  closing_ = true;
  StopEventReader();
  discovery_.reset();
  CloseLocks();
}

std::string ProgramServices::ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

void ProgramServices::SetWorkingDirectory(const std::string& folder) {
  if (!SetCurrentDirectoryW(Widen(folder).c_str())) TraceLine("SetCurrentDirectory failed : " + folder);
}

std::string ProgramServices::ComputerName() {
  wchar_t name[256];
  DWORD size = 256;
  return GetComputerNameW(name, &size) ? Narrow(std::wstring_view(name, size)) : std::string();
}

std::string ProgramServices::UserName() {
  wchar_t name[256];
  DWORD size = 256;
  if (!GetUserNameW(name, &size) || size == 0) return {};
  return Narrow(std::wstring_view(name, size - 1));  // the count includes the NUL
}

std::string ProgramServices::ProgramVersion() {
  std::wstring path = Widen(ExecutablePath());
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<uint8_t> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof(VS_FIXEDFILEINFO))
    return {};
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) +
         "." + std::to_string(HIWORD(info->dwFileVersionLS));
}

// Filled in by the auto-connect and language-pack subsystems.
void ProgramServices::ReadZARiraverIni() { TraceLine("ReadZARiraverIni() : no vendor driver table yet"); }
bool ProgramServices::LoadLanguagePack(int locale_id) {
  TraceLine("LoadLanguagePack(" + std::to_string(locale_id) + ") : none");
  return false;
}
void ProgramServices::ReinitializeForms() {}

void ProgramServices::CreateLocks() {
  for (HANDLE& lock : locks_)
    if (!lock) lock = CreateMutexW(nullptr, FALSE, nullptr);
}

void ProgramServices::ReadAutoConnectEntries() { TraceLine("ReadAutoConnectEntries() : none yet"); }

bool ProgramServices::OpenMasterBus() {
  std::string why;
  channel_ = bus::MakeDriverChannel(&why);
  if (!channel_) {
    TraceLine("OpenMasterBus() : " + why);
    return false;
  }
  master_ = bus::GetMasterBus(*channel_);
  return master_ != nullptr;
}

DriverVersionText ProgramServices::DriverVersion() {
  DriverVersionText v;
  if (master_) bus::GetDriverVersion(*master_, &v.full, &v.short_text);
  version_info_.SetDriver(v.short_text);
  return v;
}

uint32_t ProgramServices::GetWindowsVersion() {
  return static_cast<uint32_t>(discovery_->Core().GetWindowsVersion());
}

void ProgramServices::RunRebootCommand() {
  ShellExecuteW(nullptr, L"RunAs", L"cmd.exe", L"shutdown.exe -r -f -t 0", nullptr, SW_HIDE);
}

// The firewall exception comes with the options subsystem.
bool ProgramServices::AddFirewallApplication(const std::string& image_path, const std::string& name) {
  TraceLine("AddFirewallApplication : " + name + " - " + image_path + " (not yet)");
  return true;
}
bool ProgramServices::AddFirewallPort(int port, const std::string& name) {
  TraceLine("AddFirewallPort : " + std::to_string(port) + " " + name + " (not yet)");
  return true;
}

void ProgramServices::EnumerateAdapters() { discovery_->Core().EnumerateAdapters(); }
bool ProgramServices::OpenDiscoverySockets(bool ephemeral) {
  return discovery_->Core().OpenSocket(ephemeral);
}
bool ProgramServices::CheckUDPSocket() { return discovery_->Core().CheckUDPSocket(); }
bool ProgramServices::CheckTCPSocket() { return discovery_->Core().CheckTCPSocket(); }
bool ProgramServices::CheckUDPPort(int port) {
  return discovery_->Core().CheckUDPPort(static_cast<uint16_t>(port));
}
void ProgramServices::CloseDiscoverySockets() { discovery_->Core().CloseSockets(); }
bool ProgramServices::AnyDiscoverySocketOpen() { return discovery_->Core().Sockets().HighestHandle() != 0; }

void ProgramServices::StartDiscovery() {
  discovery_->StartDiscovery(discovery::ListenerWiring{
      .forwarder = this, .master_bus = this, .status = &status_, .closing = &closing_});
}

void ProgramServices::StartEventReader() {
  if (!master_) return;
  reader_ = std::make_unique<bus::TReadThread>(master_, main_thread_, *this);
  reader_->Start();
}

bool ProgramServices::AnyDeviceHeldBy(const std::string& computer_name) {
  return tree_ && tree_->AnyDeviceHeldBy(computer_name);
}

void ProgramServices::SetProcessClosing() { closing_ = true; }
void ProgramServices::DisconnectAllHeldDevices() {}
void ProgramServices::CloseSocketsAndStopSocketLibrary() { discovery_->CloseSocketsAndLibrary(); }
void ProgramServices::StopDiscoveryListener() { discovery_->StopListener(); }

void ProgramServices::StopEventReader() {
  if (!reader_) return;
  // While a TCP bus is being built the reader is not waited for.
  reader_->Stop(!(tree_ && tree_->BusBuilding()));
  reader_.reset();
}

void ProgramServices::StopPrinterWatchers() {}
void ProgramServices::StopFaxWatchers() {}
void ProgramServices::FreeAutoConnectEntries() {}

void ProgramServices::CloseLocks() {
  for (HANDLE& lock : locks_) {
    if (lock) CloseHandle(lock);
    lock = nullptr;
  }
}

void ProgramServices::DeleteAllTcpBus() {
  if (tree_) tree_->DeleteAllTcpBus();
}
void ProgramServices::ClearServerTree() {
  if (tree_)
    tree_->ClearTree();
  else if (clear_tree_)
    clear_tree_();
}

bool ProgramServices::CloseMasterBus() {
  if (!master_) return true;
  bool ok = master_->Close();
  master_.reset();
  return ok;
}

bool ProgramServices::SendUdpPacket(uint32_t source_ipv4_network_order, const uint8_t* bytes, uint32_t n) {
  auto master = master_;
  return master && bus::SendUdpPacket(*master, source_ipv4_network_order, bytes, n);
}

bool ProgramServices::MasterBusValid() const { return master_ != nullptr; }

void ProgramServices::GetReadInfo(std::span<const uint8_t> record, int length) {
  if (tree_)
    tree_->ReadInfo().GetReadInfo(record, length);
  else
    TraceLine("GetReadInfo : " + std::to_string(length) + " bytes before the tree exists");
}

}  // namespace vx::app::win32
