#include "scan/scan_naming.h"

#include <cmath>
#include <cstdio>

namespace vx::scan {
namespace {

// Numbers as the information labels show them: up to 15 significant digits,
// no trailing zeros ("12.3", "21").
std::string Decimal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

// Rounds to the nearest integer, ties to the even one.
double Round(double value) { return std::nearbyint(value); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

constexpr int kAskAfterTries = 1001;
constexpr int kGiveUpAfterTries = 1000000;

}  // namespace

std::string_view FormatExtension(GroupFormat format) {
  switch (format) {
    case GroupFormat::kBmp:
      return "bmp";
    case GroupFormat::kPdf:
      return "pdf";
    case GroupFormat::kJpg:
      break;
  }
  return "jpg";
}

std::optional<GroupFormat> ParseGroupFormat(std::string_view text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (GroupFormat f : {GroupFormat::kJpg, GroupFormat::kBmp, GroupFormat::kPdf})
    if (lower == FormatExtension(f)) return f;
  return std::nullopt;
}

std::string PageFileName(std::string_view base, int n, std::string_view ext) {
  std::string name(base);
  if (n != 1) name.append(1, '_').append(std::to_string(n));
  name += ext;
  return name;
}

PathParts SplitPath(const std::string& path) {
  size_t slash = path.size();
  while (slash > 0 && !IsSeparator(path[slash - 1])) --slash;
  PathParts parts;
  parts.folder = path.substr(0, slash);
  std::string file = path.substr(slash);
  size_t dot = file.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    parts.name = file;
  } else {
    parts.name = file.substr(0, dot);
    parts.extension = file.substr(dot);
  }
  return parts;
}

GroupNames MakeGroupNames(const std::string& target, const std::string& temp_base) {
  PathParts parts = SplitPath(target);
  return GroupNames{target, parts.extension, parts.folder + parts.name, temp_base};
}

std::string TransferBmpName(GroupFormat format, const GroupNames& names, int n) {
  return PageFileName(format == GroupFormat::kPdf ? names.temp_base : names.base, n, ".bmp");
}

std::string PageInfoFile(GroupFormat format, const GroupNames& names, int n) {
  switch (format) {
    case GroupFormat::kBmp:
      return PageFileName(names.base, n, ".bmp");
    case GroupFormat::kJpg:
      return PageFileName(names.base, n, ".jpg");
    case GroupFormat::kPdf:
      break;
  }
  return names.target;
}

size_t NameLength(std::string_view utf8) {
  size_t units = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++units;  // a lead byte starts a character
    if ((c & 0xF8) == 0xF0) ++units;  // four-byte characters take a surrogate pair
  }
  return units;
}

TargetChoice ChooseTargetFileName(const FileStore& files, const std::string& folder, const std::string& name,
                                  GroupFormat format, const std::function<NameClash()>& after_clashes) {
  std::string ext(1, '.');
  ext += FormatExtension(format);
  const std::string first = folder + name + ext;
  if (NameLength(first) >= kTargetNameLimit) return {TargetChoice::kTooLong, first};
  for (int i = 0; i < kGiveUpAfterTries; ++i) {
    if (i == kAskAfterTries && after_clashes) {
      NameClash choice = after_clashes();
      if (choice == NameClash::kOverwrite) return {TargetChoice::kOverwrite, first};
      if (choice == NameClash::kStop) return {TargetChoice::kStopped, {}};
    }
    const std::string stem = folder + name + (i == 0 ? std::string() : std::to_string(i));
    if (!files.Exists(stem + ext) && !files.Exists(stem + ".bmp") && !files.Exists(stem + ".jpg"))
      return {TargetChoice::kFree, stem + ext};
  }
  return {TargetChoice::kStopped, {}};
}

ScanTempArea::ScanTempArea(FileStore& files) : files_(files) {}

ScanTempArea::~ScanTempArea() {
  if (folder_.empty()) return;
  DeletePages(pages_seen_);
  files_.Remove(folder_ + "saveas.jpg");
  files_.RemoveFolder(folder_);
}

std::optional<std::string> ScanTempArea::TempBase() {
  if (folder_.empty()) {
    auto made = files_.MakePrivateFolder("vessix-scan-");
    if (!made) return std::nullopt;
    folder_ = *made;
  }
  return folder_ + "page";
}

std::optional<std::string> ScanTempArea::SaveAsJpegName() {
  if (!TempBase()) return std::nullopt;
  return folder_ + "saveas.jpg";
}

void ScanTempArea::DeletePages(int page_count) {
  if (folder_.empty()) return;
  pages_seen_ = std::max(pages_seen_, page_count);
  const std::string base = folder_ + "page";
  for (int n = 1; n <= page_count; ++n) {
    files_.Remove(PageFileName(base, n, ".jpg"));
    files_.Remove(PageFileName(base, n, ".bmp"));
  }
}

PictureInfo ShowPictureInfo(int width, int height, int bpp, int dpi) {
  PictureInfo info;
  const double s = Round(static_cast<double>(width) * height * bpp / 8);
  if (s <= 1024) {
    info.file_size = Decimal(s) + " Bytes";
  } else if (s <= 1048575) {
    info.file_size = Decimal(Round(s / 1024 * 10 + 0.5) * 0.1) + " KB";
  } else {
    info.file_size = Decimal(Round(s / 1048576 * 10 + 0.5) * 0.1) + " MB";
  }
  info.bits = std::to_string(bpp) + " bit(s)";
  info.pixels = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (dpi > 0) {
    const double mm_w = Round(static_cast<double>(width) / dpi * 25.4);
    const double mm_h = Round(static_cast<double>(height) / dpi * 25.4);
    if (mm_w > 0) {
      info.dimensions = Decimal(mm_w * 100 * 0.001) + " x " + Decimal(mm_h * 100 * 0.001) + " cm";
      info.resolution = std::to_string(dpi) + " dpi";
    }
  }
  return info;
}

}  // namespace vx::scan
