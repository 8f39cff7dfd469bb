#include "pnp_profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vx::lab::pnp {
namespace {

constexpr size_t kMaxDeviceText = 63;  // the driver records' text fields

bool ValidProfileName(std::string_view s) {
  if (s.empty() || s.size() > 31) return false;
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; });
}

bool PrintableAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

uint32_t Fnv1a(std::string_view s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

std::string Hex4(uint16_t v) {
  char t[8];
  std::snprintf(t, sizeof t, "%04X", unsigned(v));
  return t;
}

// Windows takes a serial number as the instance name only when every
// character is printable ASCII other than ","; else the device is named by
// its place on the bus. A "\" cannot be part of a key name either.
bool SerialNamesInstance(std::string_view serial) {
  return !serial.empty() && PrintableAscii(serial) && serial.find_first_of(",\\") == std::string_view::npos &&
         serial.front() != ' ' && serial.back() != ' ';
}

// Letters, digits and "-" of `text`, blanks as `blank` (or dropped when 0).
std::string IdText(std::string_view text, char blank, size_t max) {
  std::string out;
  for (char c : text) {
    if (out.size() >= max) break;
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (keep) {
      out.push_back(c);
    } else if (c == ' ' && blank) {
      out.push_back(blank);
    }
  }
  return out;
}

std::optional<uint16_t> ParseUsbId(const nlohmann::json& v) {
  if (!v.is_string()) return std::nullopt;
  std::string s = v.get<std::string>();
  if (s.empty() || s.size() > 4 || !std::all_of(s.begin(), s.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      }))
    return std::nullopt;
  return uint16_t(std::stoul(s, nullptr, 16));
}

bool ReadText(const nlohmann::json& j, const char* key, std::string* out) {
  if (!j.contains(key)) return true;
  if (!j[key].is_string()) return false;
  *out = j[key].get<std::string>();
  return out->size() <= kMaxDeviceText;
}

}  // namespace

std::optional<PnpProfile> ParsePnpProfile(const nlohmann::json& j, std::string* why) {
  PnpProfile p;
  if (j.is_string()) {
    p.profile = j.get<std::string>();
  } else if (j.is_object()) {
    if (!j.contains("profile") || !j["profile"].is_string()) {
      *why = "\"pnp\" needs a \"profile\" name";
      return std::nullopt;
    }
    p.profile = j["profile"].get<std::string>();
    for (const auto& [key, value] : j.items()) {
      if (key == "profile") continue;
      if (std::find(kPnpOverrides.begin(), kPnpOverrides.end(), key) == kPnpOverrides.end()) {
        *why = "\"pnp\" has no key \"" + key.substr(0, 40) + "\"";
        return std::nullopt;
      }
      if (!value.is_string()) {
        *why = "\"pnp\" \"" + key + "\" is not a text";
        return std::nullopt;
      }
      std::string text = value.get<std::string>();
      if (text.empty() || text.size() > kMaxPnpText || !PrintableAscii(text)) {
        *why = "\"pnp\" \"" + key + "\" must be 1-" + std::to_string(kMaxPnpText) +
               " printable ASCII characters";
        return std::nullopt;
      }
      p.overrides[key] = std::move(text);
    }
  } else {
    *why = "\"pnp\" is a profile name or an object with \"profile\"";
    return std::nullopt;
  }
  if (!ValidProfileName(p.profile)) {
    *why = "\"pnp\" profile names are 1-31 characters of a-z, 0-9 and -";
    return std::nullopt;
  }
  return p;
}

nlohmann::json PnpProfileJson(const PnpProfile& p) {
  nlohmann::json j = {{"profile", p.profile}};
  for (const auto& [k, v] : p.overrides) j[k] = v;
  return j;
}

nlohmann::json DeviceReportJson(const DeviceReport& d) {
  nlohmann::json j = {{"device_no", d.device_no},
                      {"vid", Hex4(d.vid)},
                      {"pid", Hex4(d.pid)},
                      {"class", d.usb_class},
                      {"manufacturer", d.manufacturer},
                      {"product", d.product},
                      {"serial", d.serial},
                      {"owner", d.owner},
                      {"hold", d.hold}};
  if (d.pnp) j["pnp"] = PnpProfileJson(*d.pnp);
  return j;
}

std::optional<DeviceReport> ParseDeviceReport(std::string_view bytes, std::string* why) {
  nlohmann::json j = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    *why = "the device report is not a JSON object";
    return std::nullopt;
  }
  DeviceReport d;
  auto vid = j.contains("vid") ? ParseUsbId(j["vid"]) : std::nullopt;
  auto pid = j.contains("pid") ? ParseUsbId(j["pid"]) : std::nullopt;
  if (!vid || !pid || !j.contains("device_no") || !j["device_no"].is_number_integer() ||
      j["device_no"].get<int64_t>() < 0 || j["device_no"].get<int64_t>() > 127) {
    *why = "the device report needs \"device_no\" (0-127), \"vid\" and \"pid\" (hexadecimal)";
    return std::nullopt;
  }
  d.device_no = int(j["device_no"].get<int64_t>());
  d.vid = *vid;
  d.pid = *pid;
  if (!ReadText(j, "class", &d.usb_class) || !ReadText(j, "manufacturer", &d.manufacturer) ||
      !ReadText(j, "product", &d.product) || !ReadText(j, "serial", &d.serial) ||
      !ReadText(j, "owner", &d.owner)) {
    *why = "the device report's texts are strings of at most 63 bytes";
    return std::nullopt;
  }
  if (j.contains("hold")) {
    if (!j["hold"].is_number_unsigned() || j["hold"].get<uint64_t>() > 0xFFFFFFFFu) {
      *why = "the device report's \"hold\" is a 32-bit number";
      return std::nullopt;
    }
    d.hold = uint32_t(j["hold"].get<uint64_t>());
  }
  if (j.contains("pnp") && !j["pnp"].is_null()) {
    d.pnp = ParsePnpProfile(j["pnp"], why);
    if (!d.pnp) return std::nullopt;
  }
  return d;
}

Values DeviceValues(const DeviceReport& d) {
  Values v;
  const PnpProfile empty;
  const PnpProfile& p = d.pnp ? *d.pnp : empty;
  auto given = [&](const char* key) -> const std::string* {
    auto it = p.overrides.find(key);
    return it == p.overrides.end() ? nullptr : &it->second;
  };
  auto set = [&](const char* key, std::string derived) {
    const std::string* o = given(key);
    v[key] = o ? *o : std::move(derived);
  };
  v["vid"] = Hex4(d.vid);
  v["pid"] = Hex4(d.pid);
  v["serial"] = d.serial;
  v["manufacturer"] = d.manufacturer;
  v["product"] = d.product;

  const std::string ids = v["vid"] + "&" + v["pid"];
  char t[40];
  std::snprintf(t, sizeof t, "5&%x&0&%d", unsigned(Fnv1a(ids + "#" + d.serial)), d.device_no + 1);
  set("instance", SerialNamesInstance(d.serial) ? d.serial : std::string(t));
  const std::string base = ids + "\\" + v["instance"];
  for (int k = 1; k <= 6; ++k) {
    std::snprintf(t, sizeof t, "%d&%x&0", 5 + k, unsigned(Fnv1a(base + "#prefix" + std::to_string(k))));
    v["prefix" + std::to_string(k)] = t;
  }
  const unsigned drv_base = Fnv1a(base + "#driver") % 8980u + 1000u;
  for (unsigned k = 1; k <= 10; ++k) {
    std::snprintf(t, sizeof t, "%04u", drv_base + k);
    v["drv" + std::to_string(k)] = t;
  }

  std::string model = d.manufacturer;
  if (!d.product.empty()) model += (model.empty() ? "" : " ") + d.product;
  if (model.empty()) model = "USB Device " + v["vid"] + " " + v["pid"];
  set("model", model);
  const std::string& m = v["model"];
  const bool dot4 = p.profile.rfind("mfp-dot4", 0) == 0;
  // The driver names the model; a queue is named after its driver unless the
  // user named it otherwise.
  set("driver", m + " Series");
  set("queue", v["driver"]);
  set("fax_driver", m + " Fax");
  set("fax_queue", v["fax_driver"]);
  const unsigned port_no = Fnv1a(base + "#port") % 98u + 1u;
  std::snprintf(t, sizeof t, dot4 ? "DOT4_%03u" : "USB%03u", port_no);
  set("port", t);
  std::snprintf(t, sizeof t, dot4 ? "DOT4_%03u" : "USB%03u", port_no + 1);
  set("fax_port", t);
  std::snprintf(t, sizeof t, "%04X", unsigned(Fnv1a(base + "#hwid") & 0xFFFF));
  set("printer_hwid", IdText(m, dot4 ? '_' : 0, 40) + t);
  std::snprintf(t, sizeof t, "%04X", unsigned(Fnv1a(base + "#faxhwid") & 0xFFFF));
  set("fax_hwid", IdText(v["fax_driver"], dot4 ? '_' : 0, 40) + t);
  set("scanner_name", p.profile == "scanner" ? m : m + " Scanner");
  set("twain_ds", m + " TWAIN");
  std::string vendor = IdText(d.manufacturer, '_', 8), product = IdText(d.product, '_', 16);
  set("storage_vendor", vendor.empty() ? "Generic" : vendor);
  set("storage_product", product.empty() ? "Storage" : product);
  set("dot4_suffix", "VXL");
  return v;
}

RenderResult RenderDevice(const std::string& dir, const DeviceReport& d) {
  RenderResult r;
  if (!d.pnp) {
    r.error = "the device has no Plug and Play profile";
    return r;
  }
  std::string text;
  if (!LoadTemplate(dir, d.pnp->profile, &text, &r.error)) return r;
  r = RenderTemplate(text, DeviceValues(d));
  if (!r.ok) r.error = d.pnp->profile + ".reg: " + r.error;
  return r;
}

}  // namespace vx::lab::pnp
