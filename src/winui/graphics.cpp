#include "winui/graphics.h"

#include <cstring>
#include <vector>

#include "platform/text_codec.h"
#include "winui/kit.h"

namespace vx::winui {

OwnedIcon LoadIconResource(const std::string& name, int size, HMODULE module) {
  if (size <= 0) size = GetSystemMetrics(SM_CXICON);
  HANDLE icon = LoadImageW(module ? module : Instance(), Widen(name).c_str(), IMAGE_ICON, size, size, 0);
  return OwnedIcon(static_cast<HICON>(icon));
}

OwnedBitmap LoadBitmapResource(const std::string& name, HMODULE module) {
  HANDLE bitmap =
      LoadImageW(module ? module : Instance(), Widen(name).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  return OwnedBitmap(static_cast<HBITMAP>(bitmap));
}

OwnedFont CreateFontFrom(const FontArgs& args) {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(args.points, dpi, 72);
  lf.lfWeight = args.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = args.charset;
  lf.lfQuality = DEFAULT_QUALITY;
  std::wstring face = FitText(args.face, LF_FACESIZE - 1);
  std::memcpy(lf.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
  return OwnedFont(CreateFontIndirectW(&lf));
}

OwnedImageList CreateImageList(int width, int height, int initial) {
  return OwnedImageList(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, initial, 4));
}

int AddIcon(HIMAGELIST list, HICON icon) { return list && icon ? ImageList_AddIcon(list, icon) : -1; }

std::optional<FileVersion> ReadFileVersion(HMODULE module) {
  if (!module) module = Instance();
  HRSRC resource =
      FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), reinterpret_cast<LPCWSTR>(RT_VERSION));
  if (!resource) return std::nullopt;
  DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return std::nullopt;
  // VerQueryValue may write into the block: give it a copy of its own.
  std::vector<unsigned char> copy(static_cast<const unsigned char*>(bytes),
                                  static_cast<const unsigned char*>(bytes) + size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO) || reinterpret_cast<unsigned char*>(info) < copy.data() ||
      reinterpret_cast<unsigned char*>(info) + sizeof(VS_FIXEDFILEINFO) > copy.data() + copy.size() ||
      info->dwSignature != VS_FFI_SIGNATURE) {
    return std::nullopt;
  }
  return FileVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                     HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

std::string VersionText(const FileVersion& v) {
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.release);
}

}  // namespace vx::winui
