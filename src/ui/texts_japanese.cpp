// The Japanese texts the program puts into its windows in code. Elements
// without an entry keep their designed (English) text.
#include "ui/texts.h"

namespace vx::ui {
namespace {

using enum TextId;

constexpr TextEntry kEntries[] = {
    {SBtn_Config, "サーバ\n設定"},
    {SBtn_AConnectPrint, "自動接続\nプリンタ"},
    {SBtn_Connect, "接続"},
    {SBtn_Disconnect, "切断"},
    {SBtn_Request, "USBデバイス\nの切断要求"},
    {SBtn_AConnectScan, "ネットワーク\nスキャナ"},

    {Action_Configure, "サーバ設定"},
    {Action_Connect, "接続"},
    {Action_Disconnect, "切断"},
    {Action_Request, "USBデバイスの切断要求"},
    {Action_AConnectScan, "ネットワークスキャナ"},
    {Action_AConnectPrintSet, "自動接続プリンタの設定"},
    {Action_AConnectPrintDel, "自動接続プリンタの削除"},

    {FileMenu, "システム (&S)"},
    {FileExit, "終了"},
    {Tools1, "ツール (&T)"},
    {Configure, "設定"},
    {AutoConnectPrinterList1, "自動接続プリンタリスト"},
    {HelpMenu, "ヘルプ (&H)"},
    {HelpAbout, "バージョン情報"},
    {OpenCC, "Vessixを開く"},
    {Exit1, "終了"},

    {Tree_ReaddressSuffix, " [サーバをダブルクリックして、IPアドレスを変更してください。]"},
    {Tree_OtherSubnetSuffix, " [お使いのパソコンとは異なるサブネットのIPアドレスです。]"},
    {Tree_ManualOwnerLabel, "手動接続："},
    {Tree_AutomaticOwnerLabel, "自動接続："},
    {Tree_AutoPrinterLabel, " ［自動接続プリンタ］  "},
    {Tree_AutoFaxLabel, " [ Auto-Connected Fax ]  "},
    {Hint_Readdress,
     " サーバをダブルクリックして、IPアドレスを変更\n してください。Vessixを使用するには、\n "
     "お使いのパソコンとサーバを同じサブネットの\n IPアドレスに設定する必要があります。\n\n"},
    {Hint_ServerName, " サーバ名： "},
    {Hint_ServerIp, " サーバのIPアドレス："},
    {Hint_Model, " 型番： "},
    {Hint_Mac, " MACアドレス："},
    {Hint_DeviceClass, " USBデバイスの種類："},
    {Hint_Manufacturer, " メーカー名："},
    {Hint_Product, " 製品名："},
    {Hint_Owner, " 使用者："},
    {Hint_AutoPrinter, " 自動接続プリンタ："},
    {Hint_AutoFax, " Auto-Connected Fax : "},
    {MainFm_Searching, " - 検索... "},
    {AboutBox_Caption, "Vessixについて"},  // the whole caption
    {AboutBox_Version, "ソフトウェアバージョン : "},

    {WaitCloseFm_Caption, "Vessixの終了"},
    {WaitCloseFm_Text, "Vessixが正常に終了するまでお待ちください。"},

    {Msg_InstallFailed, "「Vessix」のインストールに失敗しました。もう一度インストールしてください。"},
    {Msg_NoNetwork,
     "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。"},
    {Msg_HeldDevices, "接続中のデバイスがあります。終了すると切断されますが、よろしいですか？"},
    // The device commands' messages; the storage-mode one is in English in
    // the Japanese interface too.
    {Msg_StorageServerMode,
     "Can not connect because the storage access mode is currently in Server mode, not Orvolink mode."},
    {Msg_ConnectFailed, "USBデバイスの接続に失敗しました。"},
    {Msg_StorageInUse,
     "USBストレージは使用中のため、今すぐ停止できません。"
     "しばらく経ったあとで、再度「切断」を実行してください。"},
    {Msg_DisconnectFailed, "USBデバイスの切断に失敗しました。"},

    {RequestDlg_Wait, "応答をお待ちください…"},
    {RequestDlg_Title, "USBデバイスの切断を要求します。"},
    {RequestDlg_TitleOK, "正常に接続できました。"},
    {RequestDlg_TitleReject, "切断要求は拒否されました。"},
    {RequestDlg_TitleFailed, "USBデバイスの接続に失敗しました。"},
    {RequestDlg_Replied, "応答がありました。"},
    {RequestDlg_CancelBtn, "キャンセル"},
    {RequestDlg_CloseBtn, "閉じる"},
    {Request_RemotePCText, "リモートユーザ："},
    {Request_ServerText, "サーバ："},
    {Request_DeviceText, "USBデバイス："},
    {RequestRecvDlg_Caption, "切断要求に応答してください。"},
    {RequestRecvDlg_Title, "USBデバイスの切断を要求されました。"},
    {RequestRecvDlg_Question, "【注意】［承諾］をクリックすると、すぐにUSBデバイスを切断します。"},
    {RequestRecvDlg_AcceptBtn, "承諾"},
    {RequestRecvDlg_RejectBtn, "拒否"},
};

}  // namespace

std::span<const TextEntry> JapaneseEntries() { return kEntries; }

}  // namespace vx::ui
