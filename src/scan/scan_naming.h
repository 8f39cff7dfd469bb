// Names of a scan group's files and the texts of the picture information.
//
// A group is saved under a target name: folder + group name (+ a number when
// the name is taken) + "." + "jpg", "bmp" or "pdf". Page n of the group is the
// base (target without extension) + ext for n = 1 and base + "_" + n + ext
// from n = 2 on. The pages of a PDF group are kept under a temp base in a
// private folder of ours while the group is being saved and shown.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "scan/file_store.h"

namespace vx::scan {

enum class GroupFormat { kJpg, kBmp, kPdf };

// "jpg", "bmp", "pdf".
std::string_view FormatExtension(GroupFormat format);
// The format named by "jpg", "bmp" or "pdf" (any case).
std::optional<GroupFormat> ParseGroupFormat(std::string_view text);

// Page n of a group: base + ext (n = 1) or base + "_" + n + ext. `ext` starts
// with its dot.
std::string PageFileName(std::string_view base, int n, std::string_view ext);

// The names the saving works with, split from a target name.
struct GroupNames {
  std::string target;     // "C:\Pictures\Picture1.pdf"
  std::string extension;  // ".pdf"
  std::string base;       // "C:\Pictures\Picture1"
  std::string temp_base;  // base of the PDF group's temporary page files
};
GroupNames MakeGroupNames(const std::string& target, const std::string& temp_base);

// The BMP file a scanner's transfer of page n (from 1) is written to: under
// the temp base for a PDF group, under the base otherwise.
std::string TransferBmpName(GroupFormat format, const GroupNames& names, int n);
// The file the page information names for page n: the BMP or JPEG page, or
// the PDF itself.
std::string PageInfoFile(GroupFormat format, const GroupNames& names, int n);

// Splits a path into folder (with its trailing separator), name and
// extension (with its dot): "/a/b.c.pdf" -> "/a/", "b.c", ".pdf".
struct PathParts {
  std::string folder, name, extension;
};
PathParts SplitPath(const std::string& path);

// Target names of this many characters or more are refused.
inline constexpr size_t kTargetNameLimit = 251;
// Length of a name in the units Windows counts path lengths in (UTF-16).
size_t NameLength(std::string_view utf8);

// What to do when the base name and the first thousand numbered names are all taken.
enum class NameClash { kKeepSearching, kOverwrite, kStop };

struct TargetChoice {
  enum Status { kFree, kOverwrite, kTooLong, kStopped } status = kStopped;
  std::string target;
};

// The Scan button's choice of the target name: refuses names of 251
// characters or more, then tries folder + name + ext and folder + name + i +
// ext for i = 1, 2, ... until neither that name nor the same name with .bmp
// or .jpg exists (a BMP or JPEG of the base name blocks every format). After
// the 1001st try `after_clashes` (when given) decides; without it the search
// goes on (up to a million names, then it stops).
TargetChoice ChooseTargetFileName(const FileStore& files, const std::string& folder, const std::string& name,
                                  GroupFormat format,
                                  const std::function<NameClash()>& after_clashes = nullptr);

// The private folder of one scan window's temporary files. Made on first use
// in the system's folder for temporary files, so the temporary pages of a PDF
// group can never overwrite or delete a file of the user; removed with
// whatever pages of ours are left when the area ends.
class ScanTempArea {
 public:
  explicit ScanTempArea(FileStore& files);
  ~ScanTempArea();
  ScanTempArea(const ScanTempArea&) = delete;
  ScanTempArea& operator=(const ScanTempArea&) = delete;

  // The temp base (private folder + "page"); none when no folder could be made.
  std::optional<std::string> TempBase();
  // A JPEG name in the folder for Save as to build a PDF from.
  std::optional<std::string> SaveAsJpegName();
  // Deletes the .jpg and .bmp page files 1 … page_count of the temp base.
  void DeletePages(int page_count);

 private:
  FileStore& files_;
  std::string folder_;
  int pages_seen_ = 0;
};

// The picture information texts of the scan window.
struct PictureInfo {
  std::string file_size;   // "523 Bytes", "12.3 KB", "24.9 MB"
  std::string bits;        // "24 bit(s)"
  std::string pixels;      // "2480 x 3508 pixels"
  std::string dimensions;  // "21 x 29.7 cm", or empty without a resolution
  std::string resolution;  // "300 dpi", or empty
};
PictureInfo ShowPictureInfo(int width, int height, int bpp, int dpi);

}  // namespace vx::scan
