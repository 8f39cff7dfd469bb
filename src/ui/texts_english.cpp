// The English texts: the designed texts every window is built with.
#include "ui/texts.h"

namespace vx::ui {
namespace {

using enum TextId;

constexpr TextEntry kEntries[] = {
    {SBtn_FindServer, "Refresh\r\nServer List"},
    {SBtn_Config, "Configure\r\nServer"},
    {SBtn_AConnectPrint, "Auto-Connect\r\nPrinter"},
    {SBtn_AConnectFax, "Auto-Connect\r\nFax"},
    {SBtn_HPage, "Go to\r\nHomepage"},
    {SBtn_Ravel, "Partner"},
    {SBtn_Connect, "Connect \r\n"},
    {SBtn_Disconnect, "Disconnect \r\n"},
    {SBtn_Request, "Request to\r\nConnect"},
    {SBtn_AConnectScan, "Network\r\nScanner"},
    {SBtn_NetDisk, "Network\r\nStorage"},

    {Action_Configure, "Configure Server"},
    {Action_Connect, "Connect"},
    {Action_Disconnect, "Disconnect"},
    {Action_Request, "Request to Connect"},
    {Action_AConnectScan, "Network Scanner"},
    {Action_AConnectPrintSet, "Set Auto-Connect Printer"},
    {Action_AConnectPrintDel, "Delete Auto-Connect Printer"},
    {Action_AConnectFaxSet, "Set Auto-Connect Fax"},
    {Action_AConnectFaxDel, "Delete Auto-Connect Fax"},
    {Action_SetPrinter, "Set Printer"},
    {Action_NetworkStorage, "Network Storage"},
    {Action_Goto, "Go to Homepage"},

    {FileMenu, "&System"},
    {FileExit, "Exit"},
    {Tools1, "&Tools"},
    {Configure, "Configuration..."},
    {AutoConnectPrinterList1, "Auto-Connect Printer List"},
    {HelpMenu, "&Help"},
    {HelpAbout, "About..."},
    {OpenCC, "Open Vessix"},
    {Exit1, "Exit"},
    {MItem_FaxList, "Auto-Connect Fax List"},
    {MItem_HPage, "Go to Homepage"},
    {AddWANServer1, "Manually Add Servers"},
    {MItem_DeleteWANServer, "Delete Server"},
    // Hidden for good; named after the two scan routes and the plain import.
    {MItem_ImportImage1, "Import Image (TWAIN)"},
    {MItem_ImportImage2, "Import Image (WIA)"},
    {MItem_ImportImage3, "Import Image"},

    {WaitCloseFm_Caption, "Vessix - Closing"},
    {WaitCloseFm_Text, "Please wait until the program terminates correctly !"},

    {Tree_OnlineSuffix, " [Online]"},
    {Tree_OfflineSuffix, " [Offline]"},
    // The other tree labels, the hints and the searching caption exist only
    // in Japanese: in other languages nothing is shown.
    {AboutBox_Caption, "About "},  // followed by the title
    {AboutBox_Version, "Software Version : "},

    {Msg_Reboot, "Please reboot your computer.\n\n"},
    // Asked in every language with this (Japanese) text.
    {Msg_HeldDevices, "接続中のデバイスがあります。終了すると切断されますが、よろしいですか？"},
    // Msg_InstallFailed and Msg_NoNetwork exist only in Japanese.
    // The device commands' messages exist only in Japanese.

    {RequestDlg_Wait, "Please wait for the reply..."},
    {RequestDlg_Title, "!!! Request to connect device !!!"},
    {RequestDlg_TitleOK, "!!! Connected device successfully !!!"},
    {RequestDlg_TitleReject, "!!! The remote pc rejected the request !!!"},
    {RequestDlg_TitleFailed, "!!! The device could not be connected !!!"},
    {RequestDlg_Replied, "Got the reply !"},
    {RequestDlg_CancelBtn, "Cancel"},
    {RequestDlg_CloseBtn, "Close"},
    {Request_RemotePCText, "Remote User :"},
    {Request_ServerText, "Server :"},
    {Request_DeviceText, "Device :"},
    {RequestRecvDlg_Caption, "Please reply to the request !"},
    {RequestRecvDlg_Title, "!!! Remote User request to connect device !!!"},
    {RequestRecvDlg_Question, "Note : Click \"Accept\" will disconnect the device right now."},
    {RequestRecvDlg_AcceptBtn, "Accept"},
    {RequestRecvDlg_RejectBtn, "Reject"},
};

}  // namespace

std::span<const TextEntry> EnglishEntries() { return kEntries; }

}  // namespace vx::ui
