// The Plug and Play profile of a simulated device (the optional "pnp" field of
// a device in vx-uds's JSON), the device report a server gives a PC that
// holds a device, and the template values made from both.
//
//   "pnp": "printer"                                   a profile by name
//   "pnp": {"profile": "scanner", "twain_ds": "..."}   with overrides
//
// Profiles are the templates in lab/pnp/templates/ (printer, scanner,
// storage, composite, mfp-dot4-fax). Overrides are texts of printable ASCII,
// at most kMaxPnpText bytes, for the keys in kPnpOverrides only; the device's
// own identity (vid, pid, serial) always comes from the device.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "pnp_template.h"

namespace vx::lab::pnp {

inline constexpr size_t kMaxPnpText = 200;

// The values a profile may set instead of the derived ones.
inline constexpr std::array<std::string_view, 15> kPnpOverrides = {
    "instance",     "model",      "queue",          "driver",          "port",
    "fax_queue",    "fax_driver", "fax_port",       "fax_hwid",        "printer_hwid",
    "scanner_name", "twain_ds",   "storage_vendor", "storage_product", "dot4_suffix"};

struct PnpProfile {
  std::string profile;  // template name
  Values overrides;     // keys of kPnpOverrides only
  bool operator==(const PnpProfile&) const = default;
};

// Reads a "pnp" field (a profile name or an object); nullopt with the reason.
std::optional<PnpProfile> ParsePnpProfile(const nlohmann::json& j, std::string* why);
// The object form of a profile (what ParsePnpProfile reads back).
nlohmann::json PnpProfileJson(const PnpProfile& p);

// What a server reports about a device held by a PC (the device-profile
// request of the sharing protocol), and what the claim hook receives.
struct DeviceReport {
  int device_no = 0;
  uint16_t vid = 0, pid = 0;
  std::string usb_class, manufacturer, product, serial, owner;
  uint32_t hold = 0;  // counts the holds of the device: a new holder, a new number
  std::optional<PnpProfile> pnp;
};

nlohmann::json DeviceReportJson(const DeviceReport& d);
// Parses report bytes (from the network or the environment); every field is
// checked, texts of the device at most 63 bytes.
std::optional<DeviceReport> ParseDeviceReport(std::string_view bytes, std::string* why);

// The template values of a device: its identity ("vid"/"pid" as four
// upper-case hexadecimal digits, "serial", "manufacturer", "product"), the
// names Windows would give it ("instance", ParentIdPrefix values
// "prefix1".."prefix6", driver key numbers "drv1".."drv10", hardware ids of
// printer children, queue, driver and port names, scanner names) and the
// profile's overrides. Derived names are stable for one device (the same
// keys each time it is connected) and differ between devices.
Values DeviceValues(const DeviceReport& d);

// Renders the device's profile from the templates in `dir`.
RenderResult RenderDevice(const std::string& dir, const DeviceReport& d);

}  // namespace vx::lab::pnp
