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

// TRequestDlg, the wait dialog of a sharing request (1700-1719)
#define IDC_REQ_TITLE 1700         // Label_Title (blue)
#define IDC_REQ_TITLE_OK 1701      // Label_TitleOK (green)
#define IDC_REQ_TITLE_REJECT 1702  // Label_TitleReject (red)
#define IDC_REQ_REMOTE_TEXT 1703   // Label_RemotePCText
#define IDC_REQ_REMOTE 1704        // Label_RemotePC
#define IDC_REQ_SERVER_TEXT 1705   // Label_ServerText
#define IDC_REQ_SERVER 1706        // Label_Server
#define IDC_REQ_DEVICE_TEXT 1707   // Label_DeviceText
#define IDC_REQ_DEVICE 1708        // Label_Device
#define IDC_REQ_ANIMATE 1709       // ReqAnimate
#define IDC_REQ_OK_IMAGE 1710      // ReqOKImage
#define IDC_REQ_NO_IMAGE 1711      // ReqNoImage
#define IDC_REQ_CANCEL 1712        // CancelBtn
#define IDC_REQ_CLOSE 1713         // CloseBtn

// TRequestRecvDlg, the reply dialog of a sharing request (1720-1739)
#define IDC_RECV_TITLE 1720        // Label_Title (green)
#define IDC_RECV_REMOTE_TEXT 1721  // Label_RemotePCText
#define IDC_RECV_REMOTE 1722       // Label_RemotePC
#define IDC_RECV_SERVER_TEXT 1723  // Label_ServerText
#define IDC_RECV_SERVER 1724       // Label_Server
#define IDC_RECV_DEVICE_TEXT 1725  // Label_DeviceText
#define IDC_RECV_DEVICE 1726       // Label_Device
#define IDC_RECV_QUESTION 1727     // Label_Question (red)
#define IDC_RECV_ACCEPT 1728       // AcceptBtn
#define IDC_RECV_REJECT 1729       // RejectBtn
