// Identifiers of the program's resources, shared by the .rc files and the code.
// Named resources (icons, dialog templates) are addressed by their text names:
// "MAINICON", "MAINICON_NG", and each dialog by its window class in capitals
// ("TWAITCLOSEFM"). Control ids of a dialog live in a block of their own.
#pragma once

// Version of the program, written into VERSIONINFO. The build passes the
// project version; these defaults keep a stand-alone resource compile working.
#ifndef VX_VERSION_MAJOR
#define VX_VERSION_MAJOR 1
#endif
#ifndef VX_VERSION_MINOR
#define VX_VERSION_MINOR 0
#endif
#ifndef VX_VERSION_PATCH
#define VX_VERSION_PATCH 0
#endif
#define VX_VERSION_BUILD 0

#define VX_STRINGIFY2(x) #x
#define VX_STRINGIFY(x) VX_STRINGIFY2(x)
#define VX_VERSION_TEXT \
  VX_STRINGIFY(VX_VERSION_MAJOR) "." VX_STRINGIFY(VX_VERSION_MINOR) "." VX_STRINGIFY(VX_VERSION_PATCH)
#define VX_FILE_VERSION_TEXT VX_VERSION_TEXT "." VX_STRINGIFY(VX_VERSION_BUILD)

// TWaitCloseFm (1100-1119)
#define IDC_WAITCLOSE_TEXT 1100

// TAboutBox (1120-1139)
#define IDC_ABOUT_PICTURE 1120
#define IDC_ABOUT_VERSION 1121
#define IDC_ABOUT_DRIVER 1122  // hidden
#define IDC_ABOUT_CONTACT 1123  // hidden
