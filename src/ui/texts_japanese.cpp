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

    {WaitCloseFm_Caption, "Vessixの終了"},
    {WaitCloseFm_Text, "Vessixが正常に終了するまでお待ちください。"},

    {Msg_InstallFailed, "「Vessix」のインストールに失敗しました。もう一度インストールしてください。"},
    {Msg_NoNetwork,
     "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。"},
    {Msg_HeldDevices, "接続中のデバイスがあります。終了すると切断されますが、よろしいですか？"},
};

}  // namespace

std::span<const TextEntry> JapaneseEntries() { return kEntries; }

}  // namespace vx::ui
