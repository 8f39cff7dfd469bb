#include "app/main_texts.h"

namespace vx::app {

using ui::TextId;

std::optional<TextId> TextIdOf(ToolButton button) {
  switch (button) {
    case ToolButton::SBtn_FindServer:
      return TextId::SBtn_FindServer;
    case ToolButton::SBtn_Config:
      return TextId::SBtn_Config;
    case ToolButton::SBtn_AConnectPrint:
      return TextId::SBtn_AConnectPrint;
    case ToolButton::SBtn_AConnectFax:
      return TextId::SBtn_AConnectFax;
    case ToolButton::SBtn_HPage:
      return TextId::SBtn_HPage;
    case ToolButton::SBtn_Ravel:
      return TextId::SBtn_Ravel;
    case ToolButton::SBtn_Spacer1:
    case ToolButton::SBtn_Spacer2:
      return std::nullopt;
    case ToolButton::SBtn_Connect:
      return TextId::SBtn_Connect;
    case ToolButton::SBtn_Disconnect:
      return TextId::SBtn_Disconnect;
    case ToolButton::SBtn_Request:
      return TextId::SBtn_Request;
    case ToolButton::SBtn_AConnectScan:
      return TextId::SBtn_AConnectScan;
    case ToolButton::SBtn_NetDisk:
      return TextId::SBtn_NetDisk;
  }
  return std::nullopt;
}

TextId TextIdOf(MainAction action) {
  switch (action) {
    case MainAction::Action_Configure:
      return TextId::Action_Configure;
    case MainAction::Action_Connect:
      return TextId::Action_Connect;
    case MainAction::Action_Disconnect:
      return TextId::Action_Disconnect;
    case MainAction::Action_Request:
      return TextId::Action_Request;
    case MainAction::Action_AConnectScan:
      return TextId::Action_AConnectScan;
    case MainAction::Action_AConnectPrintSet:
      return TextId::Action_AConnectPrintSet;
    case MainAction::Action_AConnectPrintDel:
      return TextId::Action_AConnectPrintDel;
    case MainAction::Action_AConnectFaxSet:
      return TextId::Action_AConnectFaxSet;
    case MainAction::Action_AConnectFaxDel:
      return TextId::Action_AConnectFaxDel;
    case MainAction::Action_SetPrinter:
      return TextId::Action_SetPrinter;
    case MainAction::Action_NetworkStorage:
      return TextId::Action_NetworkStorage;
    case MainAction::Action_Goto:
      return TextId::Action_Goto;
  }
  return TextId::Action_Configure;
}

TextId TextIdOf(MenuItem item) {
  switch (item) {
    case MenuItem::FileMenu:
      return TextId::FileMenu;
    case MenuItem::FileExit:
      return TextId::FileExit;
    case MenuItem::Tools1:
      return TextId::Tools1;
    case MenuItem::Configure:
      return TextId::Configure;
    case MenuItem::AutoConnectPrinterList1:
      return TextId::AutoConnectPrinterList1;
    case MenuItem::HelpMenu:
      return TextId::HelpMenu;
    case MenuItem::HelpAbout:
      return TextId::HelpAbout;
    case MenuItem::OpenCC:
      return TextId::OpenCC;
    case MenuItem::Exit1:
      return TextId::Exit1;
    case MenuItem::MItem_FaxList:
      return TextId::MItem_FaxList;
    case MenuItem::MItem_HPage:
      return TextId::MItem_HPage;
    case MenuItem::AddWANServer1:
      return TextId::AddWANServer1;
    case MenuItem::MItem_DeleteWANServer:
      return TextId::MItem_DeleteWANServer;
    case MenuItem::MItem_ImportImage1:
      return TextId::MItem_ImportImage1;
    case MenuItem::MItem_ImportImage2:
      return TextId::MItem_ImportImage2;
    case MenuItem::MItem_ImportImage3:
      return TextId::MItem_ImportImage3;
  }
  return TextId::FileMenu;
}

}  // namespace vx::app
