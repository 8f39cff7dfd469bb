// Feeds arbitrary bytes to the vendor driver table reader. Whatever the
// bytes, every value is whole: not empty, no line break or NUL inside, and
// the same bytes give the same table. The matching helpers run on the result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "autoconnect/vendor_table.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vx::autoconnect;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const VendorDriverTable table = ParseVendorDriverTable(bytes, vx::IdentityTextCodec());
  Check(table == ParseVendorDriverTable(bytes, vx::IdentityTextCodec()));
  size_t total = 0;
  for (const auto& section : table.sections)
    for (const std::string& value : section) {
      Check(!value.empty());
      Check(value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
      total += value.size();
    }
  // A UTF-16 file may grow by half when it becomes UTF-8; nothing else grows.
  Check(total <= size * 2);
  for (const auto& section : table.sections) {
    if (section.empty()) continue;
    const int own = VendorSection(table, section.front());
    Check(own >= 0 && !table.sections[size_t(own)].empty() &&
          table.sections[size_t(own)].front() == section.front());
    IsOtherVendorName(table, own, "INKO MX-105 Series (Network)");
  }
  return 0;
}
