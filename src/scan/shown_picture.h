// The picture the scan window shows, and saving it under another name and
// format ("Save this picture as ...").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "scan/file_store.h"
#include "scan/scan_naming.h"

namespace vx::scan {

// The shown picture as the window keeps it: a BMP in memory (JPEG pages are
// decoded to 24 bits), with the depth and resolution the information shows.
struct ShownPicture {
  std::vector<uint8_t> bmp;
  int width = 0;
  int height = 0;
  int bpp = 0;  // 1, 4, 8, 15, 16, 24 or 32
  int dpi = 0;
};

// The file of page `index` (from 0) of a saved group: the BMP or JPEG pages,
// or the PDF group's temporary JPEG pages.
std::string ShownPageFile(GroupFormat format, const GroupNames& names, int index);

// Loads a page file for showing: a BMP with the dpi of its vertical
// resolution field, or a JPEG with its JFIF density. None (and `error`) when
// the file cannot be read or decoded.
std::optional<ShownPicture> LoadShownPage(const FileStore& files, GroupFormat format, const std::string& file,
                                          std::string* error = nullptr);

// What Save as writes for a chosen name, by its extension (any case).
enum class SaveAsKind { kNothing, kJpeg, kBmp, kPdf };
SaveAsKind SaveAsKindOf(const std::string& chosen_file);

// Saves the shown picture as JPEG (with its density), BMP (with its
// resolution) or a one-page PDF; other extensions write nothing. The PDF's
// picture is encoded into `temp` (never next to the user's file) and deleted
// afterwards. True when the file was written.
bool SavePictureAs(FileStore& files, const Clock& clock, ScanTempArea& temp, const ShownPicture& picture,
                   const std::string& chosen_file);

}  // namespace vx::scan
