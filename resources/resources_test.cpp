// Loads the program's resources from this test's own image, which links the
// same resource objects as vessix.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "vessix_ids.h"
#include "winui/dialog.h"
#include "winui/graphics.h"

namespace vx::winui {
namespace {

// The 32-bit pixels of an icon's colour image.
std::vector<uint32_t> Pixels(HICON icon, int* width) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
  *width = bitmap.bmWidth;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = bitmap.bmWidth;
  format.bmiHeader.biHeight = -bitmap.bmHeight;  // top-down
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

TEST(Resources, BothIconsInEverySize) {
  for (int size : {16, 32, 48}) {
    OwnedIcon normal = LoadIconResource("MAINICON", size);
    OwnedIcon offline = LoadIconResource("MAINICON_NG", size);
    ASSERT_TRUE(normal && offline) << size;
    int width = 0, width_ng = 0;
    std::vector<uint32_t> a = Pixels(normal.get(), &width);
    std::vector<uint32_t> b = Pixels(offline.get(), &width_ng);
    EXPECT_EQ(width, size);  // drawn at this size, not scaled from another
    EXPECT_EQ(width_ng, size);
    EXPECT_NE(a, b) << "the offline icon must look different at " << size << " px";
  }
  EXPECT_FALSE(LoadIconResource("NOICON", 16));
}

TEST(Resources, VersionIsTheProjectVersion) {
  auto version = ReadFileVersion();
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(*version, (FileVersion{VX_VERSION_MAJOR, VX_VERSION_MINOR, VX_VERSION_PATCH, 0}));
  EXPECT_EQ(VersionText(*version), VX_VERSION_TEXT);
}

TEST(Resources, ManifestAsksForCommonControlsSixAsInvokerAndDpiAwareness) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MANIFEST));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  std::string manifest(bytes, SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
}

TEST(Resources, EveryWindowCreatedAtStartHasItsTemplate) {
  const char* classes[] = {"TShowAutoConnectDlg",
                           "TWaitCloseFm",
                           "TAutoConnectSavingFm",
                           "TAutoShareFm",
                           "TLoginDlg",
                           "TVessixForm",
                           "TStatusForm",
                           "TRestartingDlg",
                           "TAddPrinterForm",
                           "TPrinterSetupForm",
                           "TAboutBox",
                           "TConfigureDlg",
                           "TUpgradeMsg",
                           "TRequestDlg",
                           "TRequestRecvDlg",
                           "TMsgBox",
                           "TAutoConnectFm",
                           "TDataSrcDlg",
                           "TNetScanFm",
                           "TSaveFileFm",
                           "TNetWIASaveFm",
                           "TNetWIASetFm",
                           "TTimeSetupFm",
                           "TAutoPrintApplyDlg"};
  for (const char* name : classes) {
    Dialog dialog(name);
    ASSERT_TRUE(dialog.Create()) << name << " " << dialog.LastError();
    wchar_t class_name[64] = {};
    GetClassNameW(dialog.hwnd(), class_name, 64);
    EXPECT_EQ(class_name, dialog.TemplateName().size() ? std::wstring(class_name) : L"") << name;
    EXPECT_EQ(_wcsicmp(class_name, dialog.TemplateName().c_str()), 0) << name;
  }
}

}  // namespace
}  // namespace vx::winui
