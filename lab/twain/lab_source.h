// The lab scanner: a TWAIN data source of our own that delivers test pages
// from a small configuration, so that the TWAIN component runs against a real
// data source manager under Wine. The source logic is portable (tested
// natively); win32/ exports it as DS_Entry from a DLL.
//
// It shows no user interface (also when asked for one): enabling it starts a
// batch at once. Configuration, one "key = value" per line, "#" comments:
//
//   name = Vessix Lab Scanner    product name the manager lists
//   pages = 3                    pages in the feeder per batch
//   size = 210x297               page size in millimetres; a list cycles
//   bits = 24                    1, 8 or 24 bits per pixel; a list cycles
//   resolutions = 75,150,300     resolutions the source accepts (dpi)
//   dpi = 150                    resolution before the application sets one
//   fail_after = N               the transfer after N pages fails
//   cancel_after = N             the transfer after N pages is cancelled
//   close_after = N              the batch ends after N pages and the source asks to be closed
//   ready_twice = yes            announce each batch twice
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/twain/twain_ports.h"
#include "scan/twain/twain_records.h"

namespace vx::lab::twain {

using namespace vx::scan::twain;

struct PageSize {
  int width_mm = 210;
  int height_mm = 297;
};

struct LabScannerConfig {
  std::string name = "Vessix Lab Scanner";
  int pages = 3;
  std::vector<PageSize> sizes{PageSize{}};
  std::vector<int> bits{24};
  std::vector<int> resolutions{75, 100, 150, 200, 300, 600};
  int dpi = 150;
  int fail_after = -1;
  int cancel_after = -1;
  int close_after = -1;
  bool ready_twice = false;
};

// Parses the configuration; refuses unknown keys and values out of range
// (pages 0 to 10000, sizes 1 to 1000 mm, bits 1, 8 or 24, resolutions 1 to
// 2400, a starting dpi from the list). `error` names the line.
std::optional<LabScannerConfig> ParseLabScannerConfig(std::string_view text, std::string* error = nullptr);

// Pixels of a page side at a resolution.
int SideInPixels(int millimetres, int dpi);

// Page n (from 0) as a packed DIB: a document page with lines of "words", a
// photo block and the page number as marks in the corner; deterministic.
// DibSize gives its size; DrawPage writes it into that many bytes.
size_t DibSize(const LabScannerConfig& config, int n, int x_dpi, int y_dpi);
void DrawPage(const LabScannerConfig& config, int n, int x_dpi, int y_dpi, uint8_t* out);
std::vector<uint8_t> DrawPage(const LabScannerConfig& config, int n, int x_dpi, int y_dpi);

class LabSource {
 public:
  // `notify` makes the application's message loop deliver a message that
  // `is_notification` recognises (the source posts one to the parent window).
  LabSource(LabScannerConfig config, GlobalMemory& memory, std::function<void(void* parent)> notify,
            std::function<bool(void* message)> is_notification);

  // The source's entry point.
  uint16_t Entry(TW_IDENTITY* origin, uint32_t dg, uint16_t dat, uint16_t msg, void* data);

  const LabScannerConfig& config() const { return config_; }
  int PagesDelivered() const { return delivered_; }

 private:
  uint16_t Control(uint16_t dat, uint16_t msg, void* data);
  uint16_t Image(uint16_t dat, uint16_t msg, void* data);
  uint16_t Capability(uint16_t msg, TW_CAPABILITY* cap);
  uint16_t Transfer(void** handle);
  uint16_t Fail(uint16_t condition);
  void Announce(uint16_t event);
  const PageSize& Size(int n) const { return config_.sizes[static_cast<size_t>(n) % config_.sizes.size()]; }
  int Bits(int n) const { return config_.bits[static_cast<size_t>(n) % config_.bits.size()]; }

  LabScannerConfig config_;
  GlobalMemory& memory_;
  std::function<void(void*)> notify_;
  std::function<bool(void*)> is_notification_;
  void* parent_ = nullptr;
  bool open_ = false;
  bool enabled_ = false;
  int x_dpi_, y_dpi_;
  int page_ = 0;       // next page of the batch
  int remaining_ = 0;  // pages still in the feeder
  int delivered_ = 0;
  uint16_t condition_ = TWCC_SUCCESS;
  std::vector<uint16_t> events_;
};

}  // namespace vx::lab::twain
