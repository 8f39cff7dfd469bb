// Fuzzes what a TWAIN data source hands to the program. The first byte picks:
//   even: the bytes are a page's DIB. Whatever InspectDib accepts and the page
//         writer writes must read back as a BMP of the same size and depth.
//   odd:  the bytes script a source for a whole scan: return codes, events,
//         pending counts, image information and pages come from the input, and
//         the component and the scan job must neither crash nor loop.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "../scan/memory_store.h"
#include "scan/bmp.h"
#include "scan/twain/qvtwain.h"
#include "scan/twain/twain_scan_job.h"

using namespace vx::scan;
using namespace vx::scan::twain;

namespace {

void CheckDib(std::span<const uint8_t> dib) {
  fuzzing::MemoryStore store;
  auto info = InspectDib(dib);
  if (!info) return;
  if (WriteDibAsBmp(dib, store, "page.bmp") != kDibWritten) return;
  auto parsed = ParseBmp(store.files["page.bmp"]);
  if (!parsed || parsed->width != info->width || parsed->height != info->height ||
      parsed->bit_count != info->bit_count)
    __builtin_trap();
}

// A source whose every answer is read from the input; past its end every
// call fails.
class ScriptedManager final : public TwainManagerLibrary {
 public:
  explicit ScriptedManager(std::span<const uint8_t> script) : script_(script) {}
  bool Load() override { return true; }
  void Unload() override {}
  bool Loaded() const override { return true; }
  bool AnySourceInstalled() const override { return true; }
  std::string Name() const override { return "scripted"; }
  uint16_t Call(TW_IDENTITY*, TW_IDENTITY* destination, uint32_t, uint16_t dat, uint16_t msg,
                void* data) override {
    if (++calls_ > 2000) return TWRC_FAILURE;
    const uint16_t rc = Byte() % 8;
    if (!destination && dat == DAT_IDENTITY && (msg == MSG_GETFIRST || msg == MSG_GETNEXT))
      Fill(data, sizeof(TW_IDENTITY));
    if (dat == DAT_EVENT) static_cast<TW_EVENT*>(data)->TWMessage = static_cast<uint16_t>(0x100 + Byte() % 5);
    if (dat == DAT_PENDINGXFERS)
      static_cast<TW_PENDINGXFERS*>(data)->Count = static_cast<uint16_t>(Byte() % 4);
    if (dat == DAT_IMAGEINFO) Fill(data, sizeof(TW_IMAGEINFO));
    if (dat == DAT_IMAGENATIVEXFER) {
      const size_t size = std::min<size_t>(Word(), script_.size());
      void* handle = HeapMemory().Alloc(size);
      std::memcpy(HeapMemory().Lock(handle), script_.data(), size);
      script_ = script_.subspan(size);
      *static_cast<void**>(data) = handle;
    }
    return rc;
  }

 private:
  uint8_t Byte() {
    if (script_.empty()) return TWRC_FAILURE;
    uint8_t b = script_[0];
    script_ = script_.subspan(1);
    return b;
  }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  void Fill(void* data, size_t size) {
    const size_t n = std::min(size, script_.size());
    std::memcpy(data, script_.data(), n);
    script_ = script_.subspan(n);
  }

  std::span<const uint8_t> script_;
  int calls_ = 0;
};

void RunScan(std::span<const uint8_t> script) {
  ScriptedManager manager(script);
  ApplicationMessages messages;
  fuzzing::MemoryStore store;
  TQVTWAIN twain(TwainPorts{manager, HeapMemory(), messages});
  int window = 0, message = 0;
  {
    twain.InitTWAIN(&window);
    auto sources = EnumerateSources(twain, 40);
    if (!sources.empty()) twain.SetDataSource(sources[0].identity);
    ScanJobOptions options;
    options.format = GroupFormat::kBmp;
    options.dpi = script.size() % 3 == 0 ? 300 : 0;
    options.max_pages = 8;
    options.names = MakeGroupNames("/mem/Picture.bmp", "");
    TwainScanJob job(twain, store, options);
    if (job.Start())
      for (int i = 0; i < 16 && !job.BatchOver(); ++i) messages.Filter(&message);
    // Every page the job reports is a readable BMP.
    for (int n = 1; n <= job.Pages(); ++n)
      if (!ParseBmp(store.files[TransferBmpName(GroupFormat::kBmp, options.names, n)])) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::span<const uint8_t> rest(data + 1, size - 1);
  if (data[0] % 2 == 0)
    CheckDib(rest);
  else
    RunScan(rest);
  return 0;
}
