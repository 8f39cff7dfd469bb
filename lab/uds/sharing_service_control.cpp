// The JSON device list of a simulated server and the run-time control
// commands of device sharing.
#include <algorithm>
#include <cstdlib>

#include "sharing_service.h"

namespace vx::lab {
namespace {

std::optional<uint16_t> UsbId(const nlohmann::json& v) {
  if (v.is_number_unsigned() && v.get<uint64_t>() <= 0xFFFF) return uint16_t(v.get<uint64_t>());
  if (!v.is_string()) return std::nullopt;
  std::string s = v.get<std::string>();
  if (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0) s = s.substr(2);
  if (s.empty() || s.size() > 4 || !std::all_of(s.begin(), s.end(), ::isxdigit)) return std::nullopt;
  return uint16_t(std::strtoul(s.c_str(), nullptr, 16));
}

bool FitText(const nlohmann::json& j, const char* key, std::string* out) {
  if (!j.contains(key)) return true;
  if (!j[key].is_string()) return false;
  *out = j[key].get<std::string>();
  return out->size() <= bus::kMaxTextBytes;
}

}  // namespace

std::optional<std::vector<SharedDevice>> SharingService::DevicesFromJson(const nlohmann::json& server,
                                                                         std::string* why) {
  std::vector<SharedDevice> out;
  if (!server.is_object() || !server.contains("devices")) return out;
  const auto& list = server["devices"];
  if (!list.is_array()) {
    *why = "\"devices\" is not a list";
    return std::nullopt;
  }
  for (const auto& j : list) {
    SharedDevice d;
    bool ok = j.is_object() && j.contains("vid") && j.contains("pid") && j.contains("device_no") &&
              j["device_no"].is_number_integer();
    auto vid = ok ? UsbId(j["vid"]) : std::nullopt;
    auto pid = ok ? UsbId(j["pid"]) : std::nullopt;
    if (!ok || !vid.has_value() || !pid.has_value()) {
      *why = "a device needs \"device_no\", \"vid\" and \"pid\"";
      return std::nullopt;
    }
    d.device_no = j["device_no"].get<int>();
    d.vid = vid.value_or(0);
    d.pid = pid.value_or(0);
    if (d.device_no < 0 || d.device_no > 127 ||
        std::any_of(out.begin(), out.end(),
                    [&](const SharedDevice& o) { return o.device_no == d.device_no; })) {
      *why = "device numbers are 0-127 and unique per server";
      return std::nullopt;
    }
    if (!FitText(j, "class", &d.usb_class) || !FitText(j, "manufacturer", &d.manufacturer) ||
        !FitText(j, "product", &d.product) || !FitText(j, "serial", &d.serial)) {
      *why = "device texts are strings of at most 63 bytes";
      return std::nullopt;
    }
    // A device already held by another PC when the server starts: its
    // computer name and lock type (1 automatic, 2 manual).
    if (!FitText(j, "owner", &d.owner)) {
      *why = "device texts are strings of at most 63 bytes";
      return std::nullopt;
    }
    if (!d.owner.empty()) {
      d.lock_type = 2;
      if (j.contains("lock_type")) {
        if (!j["lock_type"].is_number_integer() || (j["lock_type"] != 1 && j["lock_type"] != 2)) {
          *why = "\"lock_type\" is 1 (automatic) or 2 (manual)";
          return std::nullopt;
        }
        d.lock_type = j["lock_type"].get<int>();
      }
      d.lock_count = 1;
      d.hold = 1;
    }
    if (j.contains("pnp")) {
      d.pnp = pnp::ParsePnpProfile(j["pnp"], why);
      if (!d.pnp) return std::nullopt;
    }
    d.printer_port = j.value("printer_port", false);
    d.plugged = j.value("plugged", true);
    if (j.contains("extra") && j["extra"].is_object())
      for (auto& [k, v] : j["extra"].items())
        if (v.is_string()) d.extra.push_back({k.substr(0, 63), v.get<std::string>().substr(0, 63)});
    out.push_back(std::move(d));
  }
  return out;
}

std::optional<std::string> SharingService::Control(const std::vector<std::string>& w) {
  if (w.empty()) return std::nullopt;
  const std::string& cmd = w[0];
  if (cmd != "plug" && cmd != "unplug" && cmd != "printer-port" && cmd != "drop-pc" && cmd != "devices")
    return std::nullopt;
  std::lock_guard lock(mutex_);
  Server* s = w.size() > 1 ? Find(w[1]) : nullptr;
  if (!s) return "error: no such server";
  if (cmd == "devices") {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& d : s->devices)
      list.push_back({{"device_no", d.device_no},
                      {"plugged", d.plugged},
                      {"printer_port", d.printer_port},
                      {"owner", d.owner},
                      {"lock_type", d.lock_type},
                      {"lock_count", d.lock_count}});
    return list.dump();
  }
  if (cmd == "drop-pc") {
    if (w.size() != 3) return "error: drop-pc SERVER PCNAME";
    int dropped = 0;
    for (size_t i = s->conns.size(); i-- > 0;)
      if (s->conns[i]->pc == w[2]) {
        DropConn(*s, i);
        ++generation_;
        ++dropped;
      }
    return "ok " + std::to_string(dropped);
  }
  if (w.size() < 3) return "error: " + cmd + " SERVER DEVICE_NO";
  SharedDevice* d = Device(*s, std::atoi(w[2].c_str()), false);
  if (!d) return "error: no such device";
  if (cmd == "printer-port") {
    if (w.size() != 4 || (w[3] != "on" && w[3] != "off"))
      return "error: printer-port SERVER DEVICE_NO on|off";
    d->printer_port = w[3] == "on";
    return "ok";
  }
  d->plugged = cmd == "plug";
  if (!d->plugged) {
    d->owner.clear();
    d->lock_type = d->lock_count = 0;
    d->lock_until.reset();
  }
  Notify(*s);
  return "ok";
}

}  // namespace vx::lab
