#include "app/main_texts.h"

namespace vx::app {

std::string_view DesignedCaption(ToolButton button) {
  switch (button) {
    case ToolButton::SBtn_FindServer: return "Refresh\r\nServer List";
    case ToolButton::SBtn_Config: return "Configure\r\nServer";
    case ToolButton::SBtn_AConnectPrint: return "Auto-Connect\r\nPrinter";
    case ToolButton::SBtn_AConnectFax: return "Auto-Connect\r\nFax";
    case ToolButton::SBtn_HPage: return "Go to\r\nHomepage";
    case ToolButton::SBtn_Ravel: return "Partner";
    case ToolButton::SBtn_Spacer1:
    case ToolButton::SBtn_Spacer2: return "";
    case ToolButton::SBtn_Connect: return "Connect \r\n";
    case ToolButton::SBtn_Disconnect: return "Disconnect \r\n";
    case ToolButton::SBtn_Request: return "Request to\r\nConnect";
    case ToolButton::SBtn_AConnectScan: return "Network\r\nScanner";
    case ToolButton::SBtn_NetDisk: return "Network\r\nStorage";
  }
  return "";
}

std::string_view DesignedCaption(MainAction action) {
  switch (action) {
    case MainAction::Action_Configure: return "Configure Server";
    case MainAction::Action_Connect: return "Connect";
    case MainAction::Action_Disconnect: return "Disconnect";
    case MainAction::Action_Request: return "Request to Connect";
    case MainAction::Action_AConnectScan: return "Network Scanner";
    case MainAction::Action_AConnectPrintSet: return "Set Auto-Connect Printer";
    case MainAction::Action_AConnectPrintDel: return "Delete Auto-Connect Printer";
    case MainAction::Action_AConnectFaxSet: return "Set Auto-Connect Fax";
    case MainAction::Action_AConnectFaxDel: return "Delete Auto-Connect Fax";
    case MainAction::Action_SetPrinter: return "Set Printer";
    case MainAction::Action_NetworkStorage: return "Network Storage";
    case MainAction::Action_Goto: return "Go to Homepage";
  }
  return "";
}

std::string_view DesignedCaption(MenuItem item) {
  switch (item) {
    case MenuItem::FileMenu: return "&System";
    case MenuItem::FileExit: return "Exit";
    case MenuItem::Tools1: return "&Tools";
    case MenuItem::Configure: return "Configuration...";
    case MenuItem::AutoConnectPrinterList1: return "Auto-Connect Printer List";
    case MenuItem::HelpMenu: return "&Help";
    case MenuItem::HelpAbout: return "About...";
    case MenuItem::OpenCC: return "Open Vessix";
    case MenuItem::Exit1: return "Exit";
    case MenuItem::MItem_FaxList: return "Auto-Connect Fax List";
    case MenuItem::MItem_HPage: return "Go to Homepage";
    case MenuItem::AddWANServer1: return "Manually Add Servers";
    case MenuItem::MItem_DeleteWANServer: return "Delete Server";
    case MenuItem::MItem_ImportImage1: return "Import Image";
    case MenuItem::MItem_ImportImage2: return "Import Image Settings";
    case MenuItem::MItem_ImportImage3: return "Import Image Folder";
  }
  return "";
}

std::string_view JapaneseCaption(ToolButton button) {
  switch (button) {
    case ToolButton::SBtn_Config: return "サーバ\n設定";
    case ToolButton::SBtn_AConnectPrint: return "自動接続\nプリンタ";
    case ToolButton::SBtn_Connect: return "接続";
    case ToolButton::SBtn_Disconnect: return "切断";
    case ToolButton::SBtn_Request: return "USBデバイス\nの切断要求";
    case ToolButton::SBtn_AConnectScan: return "ネットワーク\nスキャナ";
    default: return "";
  }
}

std::string_view JapaneseCaption(MainAction action) {
  switch (action) {
    case MainAction::Action_Configure: return "サーバ設定";
    case MainAction::Action_Connect: return "接続";
    case MainAction::Action_Disconnect: return "切断";
    case MainAction::Action_Request: return "USBデバイスの切断要求";
    case MainAction::Action_AConnectScan: return "ネットワークスキャナ";
    case MainAction::Action_AConnectPrintSet: return "自動接続プリンタの設定";
    case MainAction::Action_AConnectPrintDel: return "自動接続プリンタの削除";
    default: return "";
  }
}

std::string_view JapaneseCaption(MenuItem item) {
  switch (item) {
    case MenuItem::FileMenu: return "システム (&S)";
    case MenuItem::FileExit: return "終了";
    case MenuItem::Tools1: return "ツール (&T)";
    case MenuItem::Configure: return "設定";
    case MenuItem::AutoConnectPrinterList1: return "自動接続プリンタリスト";
    case MenuItem::HelpMenu: return "ヘルプ (&H)";
    case MenuItem::HelpAbout: return "バージョン情報";
    case MenuItem::OpenCC: return "Vessixを開く";
    case MenuItem::Exit1: return "終了";
    default: return "";
  }
}

}  // namespace vx::app
