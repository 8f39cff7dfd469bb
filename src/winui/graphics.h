// Icons, bitmaps, fonts and image lists from the program's resources, each
// in its owned handle type, and the version of a module.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "winui/handle.h"

namespace vx::winui {

// The icon `name` ("MAINICON") at `size` px (0: the system's large icon
// size), from `module` (the program when nullptr). Empty when missing.
OwnedIcon LoadIconResource(const std::string& name, int size = 0, HMODULE module = nullptr);

// The bitmap `name` from `module`. Empty when missing.
OwnedBitmap LoadBitmapResource(const std::string& name, HMODULE module = nullptr);

struct FontArgs {
  std::string face = "MS Shell Dlg 2";
  int points = 9;
  bool bold = false;
  BYTE charset = DEFAULT_CHARSET;  // 128 = SHIFTJIS_CHARSET
};
OwnedFont CreateFontFrom(const FontArgs& args);

// An image list of 32-bit images with alpha.
OwnedImageList CreateImageList(int width, int height, int initial = 4);
// Adds `icon` (copied); its index, or -1.
int AddIcon(HIMAGELIST list, HICON icon);

struct FileVersion {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t release = 0;
  uint16_t build = 0;
  bool operator==(const FileVersion&) const = default;
};
// The file version from the fixed part of the module's VERSIONINFO
// resource; nullopt when it has none or it is malformed.
std::optional<FileVersion> ReadFileVersion(HMODULE module = nullptr);
// "major.minor.release".
std::string VersionText(const FileVersion& version);

}  // namespace vx::winui
