// Fuzzes the lab's device reports and template rendering. The input is a
// template and a device report separated by the first NUL byte. Whatever is
// rendered must be REGEDIT4 the registry's own parser accepts, and every
// report that parses must survive rendering a template that uses all of its
// values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/reg_file.h"
#include "pnp_profile.h"

namespace {

constexpr char kEveryValue[] =
    "REGEDIT4\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Enum\\USB\\VID_{{vid}}&PID_{{pid}}\\{{instance}}]\n"
    "\"Ids\"=multi:\"USB\\\\{{printer_hwid}}\",\"{{fax_hwid}}\",\"{{model}}\"\n"
    "\"Prefix\"=\"{{prefix1}}|{{prefix6}}|{{drv1}}|{{drv10}}|{{serial}}|{{manufacturer}}|{{product}}\"\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Printers\\{{queue}}]\n"
    "\"Port\"=\"{{port}}\"\n"
    "\"Printer Driver\"=\"{{driver}}\"\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Printers\\{{fax_queue}}]\n"
    "\"Port\"=\"{{fax_port}}\"\n"
    "\"Names\"=\"{{scanner_name}}{{twain_ds}}{{fax_driver}}{{dot4_suffix}}\"\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\USBSTOR\\Disk&Ven_{{storage_vendor}}&Prod_{{storage_product}}]\n";

void CheckRendered(const vx::lab::pnp::RenderResult& r) {
  if (!r.ok) {
    if (r.error.empty() || !r.text.empty()) __builtin_trap();  // a refusal says why, and renders nothing
    return;
  }
  if (!vx::ParseRegFile(r.text).ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vx::lab::pnp;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::string_view tmpl = input.substr(0, split);
  std::string_view report_bytes =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  std::string why;
  auto report = ParseDeviceReport(report_bytes, &why);
  Values values = report ? DeviceValues(*report) : Values{{"vid", "04B8"}, {"queue", "Q"}};
  CheckRendered(RenderTemplate(tmpl, values));
  if (report) {
    CheckRendered(RenderTemplate(kEveryValue, values));
    // What the hook hands on reads back the same.
    auto back = ParseDeviceReport(DeviceReportJson(*report).dump(), &why);
    if (!back || back->serial != report->serial || back->pnp != report->pnp) __builtin_trap();
  }
  return 0;
}
