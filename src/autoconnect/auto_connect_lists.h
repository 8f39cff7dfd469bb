// The two in-memory lists of auto-connect elements, `ACPrinterList` and
// `ACFaxList`, their load from the registry, the lookup the server tree uses
// and the store steps of registering and removing a queue.
//
// Each list stays sorted, re-sorted after every insertion, by three
// case-insensitive keys: ServerIP, then DeviceManufacturer, then
// DeviceProduct (equal keys keep their insertion order). Elements are owned
// by their list through pointers, so an element keeps its address while the
// list is re-sorted: its print-job watcher reads it while it runs. An
// element's index in its list is how the dialogs and the watchers address it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "autoconnect/auto_connect_entry.h"
#include "platform/registry/registry.h"

namespace vx::autoconnect {

class TPrintThread;  // the print-job watcher of one element

inline constexpr std::string_view kKindPrinter = "Printer";
inline constexpr std::string_view kKindFax = "Fax";
inline constexpr std::string_view kStatusEmpty = "Empty";
inline constexpr std::string_view kEnabledUsed = "Used";

// One element of ACPrinterList or ACFaxList.
struct AutoConnectPrinter {
  std::string ServerName;
  std::string ServerIP;
  std::string ServerMAC;
  std::string DeviceVid;
  std::string DevicePid;
  std::string DeviceSNo;
  std::string DeviceType;
  std::string DeviceManufacturer;
  std::string DeviceProduct;
  std::string QueueName;  // PrinterName (printer list) or FaxName (fax list)
  std::string QueuePort;  // PrinterPort or FaxPort
  std::string Kind;       // kKindPrinter or kKindFax
  std::string Status;     // "Empty" for printers; empty for faxes loaded at start-up; nothing reads it
  std::string Enabled;    // "Used" for every element in the lists
  std::shared_ptr<TPrintThread> Watcher;  // none until the watchers start

  bool IsFax() const { return Kind == kKindFax; }
  // DeviceVid + " - " + DevicePid + " - " + DeviceSNo: the device's identity
  // as the server tree writes it.
  std::string Identity() const;
};

using AutoConnectList = std::vector<std::unique_ptr<AutoConnectPrinter>>;

// The element of the printer (or fax) function of a stored entry: the nine
// identity texts, that function's queue and port, its kind, status and "Used".
std::unique_ptr<AutoConnectPrinter> MakeElement(const AutoConnectInfo& info, bool fax);

// Case-insensitive (ASCII) three-way comparison of texts, as the sort uses it.
int CompareNoCase(std::string_view a, std::string_view b);
// True when `a` sorts before `b` by ServerIP, DeviceManufacturer, DeviceProduct.
bool SortsBefore(const AutoConnectPrinter& a, const AutoConnectPrinter& b);
// Re-sorts the list (stable).
void SortAutoConnectList(AutoConnectList& list);
// Appends the element, re-sorts and returns the element's index.
int AddToList(AutoConnectList& list, std::unique_ptr<AutoConnectPrinter> element);

// The index of the first element whose ServerMAC is identical to `mac` and
// whose Identity() is identical to `identity`, with its QueueName in `name`;
// -1 and empty text when there is none.
int FindAutoConnectEntry(const AutoConnectList& list, std::string_view mac, std::string_view identity,
                         std::string* name);

// Why a subkey of the auto-connect key gave no element at load.
enum class SkipReason {
  kUnreadable,    // the key could not be opened
  kNameMismatch,  // its name lacks a marker or is not built from its own key values
  kNoQueue,       // both PrinterName and FaxName are empty
  kNotEnabled,    // a queue is named but its function is not enabled
};
const char* SkipReasonText(SkipReason reason);  // "unreadable", "name-mismatch", ...

struct LoadReport {
  struct Skipped {
    std::string key;
    SkipReason reason;
  };
  bool key_opened = false;       // the auto-connect key could be opened (or created)
  size_t keys = 0;               // subkeys listed
  std::vector<Skipped> skipped;  // in the order of the listing
};

// Fills the two lists from the subkeys of `base_key` + "\Auto-Connect"
// (created when missing), in the order the registry lists them. An entry is
// skipped unless its key name contains "&Vid", "&Pid_" and "&SNo_" and is
// identical to the name built from its own ServerMAC, DeviceVid, DevicePid
// and DeviceSNo, and skipped when both queue names are empty. A printer
// element is added when PrinterName is set and PrinterEnable is on, a fax
// element likewise. An entry that cannot be opened is skipped (and reported);
// the load goes on with the next one.
void ReadAutoConnectReg(Registry& registry, std::string_view base_key, AutoConnectList& printers,
                        AutoConnectList& faxes, LoadReport* report = nullptr);

// The store's part of registering a queue: reads the entry of the element's
// device (so the other function and the scanner values survive; a missing
// entry starts zeroed with the element's server name and address), takes the
// device texts and this function's queue and port from the element, switches
// the function on and writes the entry. False when the write failed.
bool RegisterQueue(Registry& registry, std::string_view base_key, const AutoConnectPrinter& element);

// The store's part of removing a queue: when the element's entry exists,
// switches its function off and writes it back; names, the other function
// and the scanner values stay. False when there is no entry or the write
// failed. (Entries are never deleted.)
bool RemoveQueue(Registry& registry, std::string_view base_key, const AutoConnectPrinter& element);

}  // namespace vx::autoconnect
