#include "scan/shown_picture.h"

#include "scan/bmp.h"
#include "scan/jpeg.h"
#include "scan/pdf_document.h"
#include "scan/save_scanning.h"

namespace vx::scan {

std::string ShownPageFile(GroupFormat format, const GroupNames& names, int index) {
  switch (format) {
    case GroupFormat::kBmp:
      return PageFileName(names.base, index + 1, ".bmp");
    case GroupFormat::kJpg:
      return PageFileName(names.base, index + 1, ".jpg");
    case GroupFormat::kPdf:
      break;
  }
  return PageFileName(names.temp_base, index + 1, ".jpg");
}

std::optional<ShownPicture> LoadShownPage(const FileStore& files, GroupFormat format, const std::string& file,
                                          std::string* error) {
  ShownPicture shown;
  std::vector<uint8_t> bytes;
  if (!files.Read(file, bytes)) {
    if (error) *error = "Can't open file : " + file + " .";
    return std::nullopt;
  }
  if (format == GroupFormat::kBmp) {
    auto picture = ParseBmp(bytes, error);
    if (!picture) return std::nullopt;
    shown.width = picture->width;
    shown.height = picture->height;
    shown.bpp = picture->ShownBitsPerPixel();
    shown.dpi = ReadBmpDpi(bytes);
    shown.bmp = std::move(bytes);
    return shown;
  }
  RgbPicture rgb;
  if (!DecodeJpeg(bytes, rgb, error)) return std::nullopt;
  shown.dpi = ReadJfifDensity(bytes);
  shown.width = rgb.width;
  shown.height = rgb.height;
  shown.bpp = 24;
  shown.bmp = MakeBmp24(rgb.width, rgb.height, rgb.rgb, shown.dpi);
  return shown;
}

SaveAsKind SaveAsKindOf(const std::string& chosen_file) {
  std::string ext = SplitPath(chosen_file).extension;
  for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (ext == ".JPG" || ext == ".JPEG") return SaveAsKind::kJpeg;
  if (ext == ".BMP") return SaveAsKind::kBmp;
  if (ext == ".PDF") return SaveAsKind::kPdf;
  return SaveAsKind::kNothing;
}

bool SavePictureAs(FileStore& files, const Clock& clock, ScanTempArea& temp, const ShownPicture& picture,
                   const std::string& chosen_file) {
  const SaveAsKind kind = SaveAsKindOf(chosen_file);
  if (kind == SaveAsKind::kNothing) return false;
  if (kind == SaveAsKind::kBmp) {
    std::vector<uint8_t> bmp = picture.bmp;
    return SetBmpResolution(bmp, picture.dpi) && files.WriteAll(chosen_file, bmp);
  }
  auto parsed = ParseBmp(picture.bmp);
  if (!parsed) return false;
  PageConverter converter(files);
  if (kind == SaveAsKind::kJpeg) return converter.PictureToJpeg(*parsed, chosen_file, picture.dpi, nullptr);

  auto jpeg = temp.SaveAsJpegName();
  if (!jpeg || !converter.PictureToJpeg(*parsed, *jpeg, picture.dpi, nullptr)) return false;
  PdfDocument document(files, clock);
  const std::string box = "0 0 " + std::to_string(parsed->width) + " " + std::to_string(parsed->height);
  const bool ok = document.BeginPage(1, box) && document.PlaceJpeg(*jpeg) && document.FinishDocument() &&
                  document.SaveDocument(chosen_file);
  files.Remove(*jpeg);
  return ok;
}

}  // namespace vx::scan
