// The id of every text the user interface shows: captions, menu items,
// hints and messages. A window or a menu asks for its texts by id; each
// language has one table (texts_<language>.cpp) that gives the texts it has.
//
// Naming: the main window's controls, actions and menu items keep their own
// names; another window's texts start with its class name without the T
// (`ConfigureDlg_OKButton`); messages start with `Msg_`. A subsystem adds its
// ids here and its texts to each table.
#pragma once

#include <cstdint>

namespace vx::ui {

enum class TextId : uint16_t {
  // --- The main window: tool buttons ---
  SBtn_FindServer,
  SBtn_Config,
  SBtn_AConnectPrint,
  SBtn_AConnectFax,
  SBtn_HPage,
  SBtn_Ravel,
  SBtn_Connect,
  SBtn_Disconnect,
  SBtn_Request,
  SBtn_AConnectScan,
  SBtn_NetDisk,
  // --- The main window: actions ---
  Action_Configure,
  Action_Connect,
  Action_Disconnect,
  Action_Request,
  Action_AConnectScan,
  Action_AConnectPrintSet,
  Action_AConnectPrintDel,
  Action_AConnectFaxSet,
  Action_AConnectFaxDel,
  Action_SetPrinter,
  Action_NetworkStorage,
  Action_Goto,
  // --- The main window: menus and the tray menu ---
  FileMenu,
  FileExit,
  Tools1,
  Configure,
  AutoConnectPrinterList1,
  HelpMenu,
  HelpAbout,
  OpenCC,
  Exit1,
  MItem_FaxList,
  MItem_HPage,
  AddWANServer1,
  MItem_DeleteWANServer,
  MItem_ImportImage1,
  MItem_ImportImage2,
  MItem_ImportImage3,
  // --- The waiting window of the close sequence ---
  WaitCloseFm_Caption,
  WaitCloseFm_Text,
  // --- The server tree: node suffixes, owner labels, drawn labels ---
  Tree_OnlineSuffix,
  Tree_OfflineSuffix,
  Tree_ReaddressSuffix,
  Tree_OtherSubnetSuffix,
  Tree_ManualOwnerLabel,
  Tree_AutomaticOwnerLabel,
  Tree_AutoPrinterLabel,
  Tree_AutoFaxLabel,
  // --- The server tree: hint lines (each with the value after it) ---
  Hint_Readdress,
  Hint_ServerName,
  Hint_ServerIp,
  Hint_Model,
  Hint_Mac,
  Hint_DeviceClass,
  Hint_Manufacturer,
  Hint_Product,
  Hint_Owner,
  Hint_AutoPrinter,
  Hint_AutoFax,
  // --- The main window's caption while the first refresh waits ---
  MainFm_Searching,
  // --- The About box ---
  AboutBox_Caption,
  AboutBox_Version,
  // --- Messages of the application core ---
  Msg_InstallFailed,
  Msg_Reboot,
  Msg_NoNetwork,
  Msg_HeldDevices,
  // --- Messages of the device commands and the sharing requests (Japanese
  // interface only) ---
  Msg_StorageServerMode,
  Msg_ConnectFailed,
  Msg_StorageInUse,
  Msg_DisconnectFailed,
  // --- Sharing requests: the wait dialog TRequestDlg ---
  RequestDlg_Wait,
  RequestDlg_Title,
  RequestDlg_TitleOK,
  RequestDlg_TitleReject,
  RequestDlg_TitleFailed,  // the freed device could not be connected
  RequestDlg_Replied,
  RequestDlg_CancelBtn,
  RequestDlg_CloseBtn,
  // --- Sharing requests: labels of both dialogs ---
  Request_RemotePCText,
  Request_ServerText,
  Request_DeviceText,
  // --- Sharing requests: the reply dialog TRequestRecvDlg ---
  RequestRecvDlg_Caption,
  RequestRecvDlg_Title,
  RequestRecvDlg_Question,
  RequestRecvDlg_AcceptBtn,
  RequestRecvDlg_RejectBtn,

  kCount  // not a text: the number of ids
};

inline constexpr size_t kTextIdCount = static_cast<size_t>(TextId::kCount);

}  // namespace vx::ui
