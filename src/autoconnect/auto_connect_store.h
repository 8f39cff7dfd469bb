// The auto-connect store as the main window owns it for the whole run: the
// two lists, the vendor driver table and the lookup the server tree's device
// records use. Used on the main thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "autoconnect/auto_connect_lists.h"
#include "autoconnect/vendor_table.h"
#include "model/model_ports.h"
#include "platform/registry/registry.h"
#include "platform/text_codec.h"

namespace vx::autoconnect {

class AutoConnectStore final : public model::AutoConnectLookup {
 public:
  // `base_key`: the program's settings key, under which the entries live.
  AutoConnectStore(Registry& registry, std::string base_key);

  // `ReadZARiraverIni`: the vendor driver table from `path`.
  VendorTableRead ReadVendorTable(const std::string& path, const TextCodec& codec);
  // `ReadAutoConnectReg`: both lists from the registry (emptied first).
  void ReadAutoConnectReg(LoadReport* report = nullptr);
  // Frees the elements, both lists and the vendor table.
  void Free();

  // model::AutoConnectLookup: the index of the element in ACPrinterList
  // (`printers`) or ACFaxList and its queue name, or -1 and empty text.
  int FindAutoConnectEntry(const std::string& server_mac, const std::string& identity, bool printers,
                           std::string* name) override;

  Registry& registry() const { return registry_; }
  const std::string& base_key() const { return base_key_; }

  AutoConnectList ACPrinterList;
  AutoConnectList ACFaxList;
  VendorDriverTable AFIniStr;

 private:
  Registry& registry_;
  std::string base_key_;
};

// The idle time after which an auto-connected device is disconnected: the
// value "Disconnect Timing" under the program's key, decimal seconds.
// The text as stored (empty when absent or unreadable).
std::string ReadDisconnectTimingText(Registry& registry);
// The seconds, or nullopt when the text is not a decimal number.
std::optional<int> ReadDisconnectTiming(Registry& registry);

}  // namespace vx::autoconnect
