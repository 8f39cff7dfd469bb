// Helpers shared by the scan tests: a private folder of real files, pictures
// and a clock with a fixed local time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/testing/fake_clock.h"
#include "scan/bmp.h"
#include "scan/file_store.h"

namespace vx::scan::testing {

// A folder of its own for one test, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    auto made = LocalFileStore().MakePrivateFolder("vx-scan-test-");
    EXPECT_TRUE(made.has_value());
    path_ = made.value_or("");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(std::u8string(path_.begin(), path_.end())), ec);
  }
  // The folder with its trailing separator.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  LocalFileStore().Read(path, bytes);
  return bytes;
}

inline std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline uint32_t Le32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A 24-bit BMP whose pixel (x, y) is colour(x, y) as 0xRRGGBB.
inline std::vector<uint8_t> MakePicture(int width, int height,
                                        const std::function<uint32_t(int, int)>& colour, int dpi = 0) {
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t c = colour(x, y);
      rgb.push_back(static_cast<uint8_t>(c >> 16));
      rgb.push_back(static_cast<uint8_t>(c >> 8));
      rgb.push_back(static_cast<uint8_t>(c));
    }
  return MakeBmp24(width, height, rgb, dpi);
}

// A smooth picture that JPEG keeps close to its source.
inline std::vector<uint8_t> Gradient(int width, int height) {
  return MakePicture(width, height, [&](int x, int y) {
    return static_cast<uint32_t>((x * 255 / width) << 16 | (y * 255 / height) << 8 | 0x60);
  });
}

// A clock fixed at one local time.
class FixedClock : public ::vx::testing::FakeClock {
 public:
  explicit FixedClock(LocalTime t) : ::vx::testing::FakeClock(t, OnSleep::kStandStill) {}
};

}  // namespace vx::scan::testing
