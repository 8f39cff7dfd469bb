// Fuzzes everything that reads JPEG bytes: the frame header walk, the JFIF
// density, the decoder for previews (whose errors must come back, never end
// the process) and the PDF writer placing the file as a picture.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory_store.h"
#include "scan/jpeg.h"
#include "scan/pdf_document.h"

using namespace vx::scan;

namespace {

class StillClock final : public vx::Clock {
 public:
  TimePoint Now() const override { return {}; }
  vx::LocalTime LocalNow() const override { return {2024, 1, 1, 0, 0, 0}; }
  int64_t WallSeconds() const override { return 0; }
  void SleepFor(Duration) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  (void)ReadJpegFrame(bytes);
  (void)ReadJfifDensity(bytes);
  std::vector<uint8_t> copy(bytes.begin(), bytes.end());
  if (PatchJfifDensity(copy, 300) && ReadJfifDensity(copy) != 300) __builtin_trap();
  // The PDF writer sees the patched bytes, as the saving thread does.
  auto frame = ReadJpegFrame(copy);

  RgbPicture picture;
  if (DecodeJpeg(bytes, picture, nullptr, 1 << 20) &&
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3)
    __builtin_trap();

  fuzzing::MemoryStore store;
  store.files["p.jpg"] = copy;
  StillClock clock;
  PdfDocument document(store, clock);
  if (document.BeginPage(1, "0 0 10 10") && document.PlaceJpeg("p.jpg")) {
    const bool finished = document.FinishDocument();
    if (finished != frame.has_value()) __builtin_trap();
    if (finished &&
        (!document.SaveDocument("out.pdf") || store.files["out.pdf"].size() != document.FileSize()))
      __builtin_trap();
  }
  return 0;
}
