// Fuzzes the lab scanner's configuration reader, and draws the first page of
// whatever it accepts when that page is small: every page it draws must be a
// DIB the program's page check accepts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lab/twain/lab_source.h"
#include "scan/twain/twain_scan_job.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vx::lab::twain;
  std::string error;
  auto config = ParseLabScannerConfig(std::string_view(reinterpret_cast<const char*>(data), size), &error);
  if (!config) return 0;
  for (int n = 0; n < 3; ++n) {
    const int dpi = config->resolutions.front();
    if (DibSize(*config, n, dpi, dpi) > (1u << 20)) continue;
    if (!vx::scan::twain::InspectDib(DrawPage(*config, n, dpi, dpi))) __builtin_trap();
  }
  return 0;
}
