// The text ids of the main window's tool buttons, actions and menu items.
// The texts themselves live in the text tables (ui/texts.h): the designed
// (English) ones the window is built with, and the Japanese ones the layout
// step puts in when the interface language is Japanese.
#pragma once

#include <optional>
#include <string_view>

#include "app/main_view.h"
#include "ui/text_id.h"

namespace vx::app {

// nullopt for the spacer buttons, which have no caption.
std::optional<ui::TextId> TextIdOf(ToolButton button);
ui::TextId TextIdOf(MainAction action);
ui::TextId TextIdOf(MenuItem item);

// Written to HKCU "FormClose failed!" when the master bus cannot be closed.
inline constexpr std::string_view kCloseFailedText = "CloseHandle masterBusHandle failed!";

}  // namespace vx::app
