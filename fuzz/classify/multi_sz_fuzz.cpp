// Feeds arbitrary bytes as the stored data (UTF-16LE) of a REG_MULTI_SZ value:
// to the splitter directly, and as a device node's compatible ids through the
// registry readers and ClassifyDeviceKey. Entries are never empty, never hold
// a NUL and are valid UTF-8; a value beyond the readers' 1024 bytes reads as
// nothing; classification adds only known bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "classify/classify.h"
#include "classify/reg_readers.h"
#include "platform/registry/fake_registry.h"
#include "platform/registry/reg_data.h"

namespace {

using namespace vx;
using namespace vx::classify;

void Check(bool ok) {
  if (!ok) std::abort();
}

constexpr USBClass kKnownBits = USBCLASS_AUDIO | USBCLASS_HID | USBCLASS_PRINTER | USBCLASS_STORAGE |
                                USBCLASS_HUB | USBCLASS_SCANNER | USBCLASS_CAMERA | USBCLASS_VIDEO |
                                USBCLASS_COMPOSITE | USBCLASS_DOT4 | USBCLASS_PRINTER_SECOND |
                                USBCLASS_UNKNOWN;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto list = ParseMultiSz(bytes);
  Check(list.size() <= size / 2);
  for (const auto& entry : list) {
    Check(!entry.empty());
    Check(entry.find('\0') == std::string::npos);
    Check(Utf16LeToUtf8(Utf8ToUtf16Le(entry)) == entry);  // well-formed UTF-8
  }

  // Through the fake registry, which keeps texts as UTF-8.
  const std::string stored = Utf16LeToUtf8(bytes);
  FakeRegistry reg;
  const std::string node = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_1234&Pid_5678\\S1";
  reg.Set(RegRoot::kLocalMachine, node, "CompatibleIDs", {kRegMultiSz, stored});
  reg.SetString(RegRoot::kLocalMachine, node, "Class", "Image");
  RegReaders readers(reg);
  const auto read = readers.ReadRegMultiSz(node, "CompatibleIDs");
  const std::string as_stored = Utf8ToUtf16Le(stored);
  if (as_stored.size() > kRegMultiSzBytes)
    Check(read.empty());
  else
    Check(read == ParseMultiSz(as_stored));

  DeviceClassifier classifier(reg);
  USBClass flags = 0;
  const bool classified = classifier.ClassifyDeviceKey(node + "\\", &flags);
  Check(classified == !read.empty());
  Check((flags & ~kKnownBits) == 0);
  Check(!classified || flags != 0);
  return 0;
}
