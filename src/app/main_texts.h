// Captions of the main window's tool buttons, actions and menu items: the
// designed (English) texts the window is built with, and the Japanese texts
// the layout step puts in when the interface language is Japanese.
#pragma once

#include <string_view>

#include "app/main_view.h"

namespace vx::app {

std::string_view DesignedCaption(ToolButton button);
std::string_view DesignedCaption(MainAction action);
std::string_view DesignedCaption(MenuItem item);

// Empty for the elements that keep their designed text.
std::string_view JapaneseCaption(ToolButton button);
std::string_view JapaneseCaption(MainAction action);
std::string_view JapaneseCaption(MenuItem item);

// Texts of the application core's messages.
inline constexpr std::string_view kInstallFailedText =
    "「Vessix」のインストールに失敗しました。もう一度インストールしてください。";
inline constexpr std::string_view kRebootText = "Please reboot your computer.\n\n";
inline constexpr std::string_view kNoNetworkText =
    "お使いのパソコンがネットワークに接続されていないか、ネットワークが有効になっていません。";
inline constexpr std::string_view kHeldDevicesQuestion =
    "接続中のデバイスがあります。終了すると切断されますが、よろしいですか？";
inline constexpr std::string_view kWaitCaption = "Vessix - Closing";
inline constexpr std::string_view kWaitText = "Please wait until the program terminates correctly !";
inline constexpr std::string_view kWaitCaptionJapanese = "Vessixの終了";
inline constexpr std::string_view kWaitTextJapanese = "Vessixが正常に終了するまでお待ちください。";
inline constexpr std::string_view kCloseFailedText = "CloseHandle masterBusHandle failed!";

}  // namespace vx::app
