// vx-pnp: renders the registry keys Windows would create for a device of the
// lab (its Plug and Play profile) as REGEDIT4 text. vx-busd's claim hook
// (vx-pnp-hook.sh) runs it with the device report the server gave.
//   vx-pnp render --templates DIR --device JSON [--out FILE]
//   vx-pnp values --device JSON
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "pnp_profile.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: vx-pnp render --templates DIR --device JSON [--out FILE]\n"
      "       vx-pnp values --device JSON\n"
      "JSON is a device report: {\"device_no\": 1, \"vid\": \"04B8\", \"pid\": \"0E03\",\n"
      "  \"serial\": \"...\", \"manufacturer\": \"...\", \"product\": \"...\", \"pnp\": \"printer\"}\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vx::lab::pnp;
  if (argc < 2) return Usage();
  std::string verb = argv[1], templates, device_json, out;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    std::string v = argv[++i];
    if (a == "--templates") {
      templates = v;
    } else if (a == "--device") {
      device_json = v;
    } else if (a == "--out") {
      out = v;
    } else {
      return Usage();
    }
  }
  if (device_json.empty() || (verb == "render" && templates.empty()) ||
      (verb != "render" && verb != "values"))
    return Usage();
  std::string why;
  auto device = ParseDeviceReport(device_json, &why);
  if (!device) {
    std::fprintf(stderr, "vx-pnp: %s\n", why.c_str());
    return 2;
  }
  if (verb == "values") {
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [k, v] : DeviceValues(*device)) j[k] = v;
    std::printf("%s\n", j.dump(1).c_str());
    return 0;
  }
  RenderResult r = RenderDevice(templates, *device);
  if (!r.ok) {
    std::fprintf(stderr, "vx-pnp: %s\n", r.error.c_str());
    return 1;
  }
  if (out.empty()) {
    std::fwrite(r.text.data(), 1, r.text.size(), stdout);
    return 0;
  }
  std::ofstream f(out, std::ios::binary | std::ios::trunc);
  f.write(r.text.data(), std::streamsize(r.text.size()));
  f.close();
  if (!f) {
    std::fprintf(stderr, "vx-pnp: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
