#include "autoconnect/auto_connect_store.h"

#include "app/settings_store.h"
#include "platform/trace.h"

namespace vx::autoconnect {

AutoConnectStore::AutoConnectStore(Registry& registry, std::string base_key)
    : registry_(registry), base_key_(std::move(base_key)) {}

VendorTableRead AutoConnectStore::ReadVendorTable(const std::string& path, const TextCodec& codec) {
  VendorTableRead result = ReadZARiraverIni(path, codec, AFIniStr);
  TraceLine("ReadZARiraverIni() : " + path + " : " + VendorTableReadText(result) + ", " +
            std::to_string(AFIniStr.sections.size()) + " sections");
  return result;
}

void AutoConnectStore::ReadAutoConnectReg(LoadReport* report) {
  ACPrinterList.clear();
  ACFaxList.clear();
  autoconnect::ReadAutoConnectReg(registry_, base_key_, ACPrinterList, ACFaxList, report);
  TraceLine("ReadAutoConnectReg() : " + std::to_string(ACPrinterList.size()) + " printers, " +
            std::to_string(ACFaxList.size()) + " faxes");
}

void AutoConnectStore::Free() {
  ACPrinterList.clear();
  ACFaxList.clear();
  AFIniStr.clear();
}

int AutoConnectStore::FindAutoConnectEntry(const std::string& server_mac, const std::string& identity,
                                           bool printers, std::string* name) {
  return autoconnect::FindAutoConnectEntry(printers ? ACPrinterList : ACFaxList, server_mac, identity, name);
}

std::string ReadDisconnectTimingText(Registry& registry) {
  return app::Settings(registry).Read(app::kDisconnectTimingValue);
}

std::optional<int> ReadDisconnectTiming(Registry& registry) {
  return app::ParseSettingInt(ReadDisconnectTimingText(registry));
}

}  // namespace vx::autoconnect
