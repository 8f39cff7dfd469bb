// The layout step of the main window and the placement settings it applies.
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "app/layout_rules.h"
#include "app/main_presenter.h"
#include "app/main_texts.h"

namespace vx::app {
namespace {

constexpr int kMinWidth = 680;
constexpr int kMinHeight = 400;
constexpr int kBarHeight = 85;
constexpr int kButtonWidth = 85;
constexpr int kPanelWidth = 1920;
constexpr int kFirstBarLeft = 11;
constexpr int kMinTreeHeight = 80;

constexpr ToolButton kWidth85Buttons[] = {ToolButton::SBtn_Config,       ToolButton::SBtn_AConnectPrint,
                                          ToolButton::SBtn_AConnectFax,  ToolButton::SBtn_Connect,
                                          ToolButton::SBtn_Disconnect,   ToolButton::SBtn_Request,
                                          ToolButton::SBtn_AConnectScan, ToolButton::SBtn_NetDisk};

constexpr ToolButton kBar1[] = {ToolButton::SBtn_FindServer,  ToolButton::SBtn_Spacer1,
                                ToolButton::SBtn_Config,      ToolButton::SBtn_AConnectPrint,
                                ToolButton::SBtn_AConnectFax, ToolButton::SBtn_HPage,
                                ToolButton::SBtn_Spacer2,     ToolButton::SBtn_Ravel};
constexpr ToolButton kBar2[] = {ToolButton::SBtn_Connect, ToolButton::SBtn_Disconnect,
                                ToolButton::SBtn_Request};
constexpr ToolButton kBar3[] = {ToolButton::SBtn_AConnectScan, ToolButton::SBtn_NetDisk};

constexpr ToolBarId kBars[] = {ToolBarId::ToolBar1, ToolBarId::ToolBar2, ToolBarId::ToolBar3};

constexpr ToolButton kHiddenButtons[] = {ToolButton::SBtn_AConnectFax, ToolButton::SBtn_Ravel,
                                         ToolButton::SBtn_FindServer,  ToolButton::SBtn_HPage,
                                         ToolButton::SBtn_NetDisk,     ToolButton::SBtn_Spacer1,
                                         ToolButton::SBtn_Spacer2};
constexpr MainAction kHiddenActions[] = {MainAction::Action_AConnectFaxSet, MainAction::Action_AConnectFaxDel,
                                         MainAction::Action_SetPrinter, MainAction::Action_NetworkStorage,
                                         MainAction::Action_Goto};
constexpr MenuItem kHiddenItems[] = {MenuItem::MItem_FaxList,      MenuItem::MItem_HPage,
                                     MenuItem::AddWANServer1,      MenuItem::MItem_DeleteWANServer,
                                     MenuItem::MItem_ImportImage1, MenuItem::MItem_ImportImage2,
                                     MenuItem::MItem_ImportImage3};

constexpr MainAction kAllActions[] = {MainAction::Action_Configure,       MainAction::Action_Connect,
                                      MainAction::Action_Disconnect,      MainAction::Action_Request,
                                      MainAction::Action_AConnectScan,    MainAction::Action_AConnectPrintSet,
                                      MainAction::Action_AConnectPrintDel};
constexpr MenuItem kCaptionedItems[] = {MenuItem::FileMenu,
                                        MenuItem::FileExit,
                                        MenuItem::Tools1,
                                        MenuItem::Configure,
                                        MenuItem::AutoConnectPrinterList1,
                                        MenuItem::HelpMenu,
                                        MenuItem::HelpAbout,
                                        MenuItem::OpenCC,
                                        MenuItem::Exit1};

}  // namespace

void MainPresenter::ApplyJapaneseCaptions() {
  const ui::TextTable& texts = ui::JapaneseTexts();
  view_.SetMemoFontSize(10);
  for (MenuItem item : kCaptionedItems)
    if (auto text = texts.Find(TextIdOf(item))) view_.SetMenuItemCaption(item, std::string(*text));
  // Actions first: a linked button takes its action's caption, and the
  // buttons' own (two-line) captions must win.
  for (MainAction action : kAllActions)
    if (auto text = texts.Find(TextIdOf(action))) view_.SetActionCaption(action, std::string(*text));
  for (ToolButton button : kWidth85Buttons) {
    std::optional<ui::TextId> id = TextIdOf(button);
    if (auto text = id ? texts.Find(*id) : std::nullopt)
      view_.SetToolButtonCaption(button, std::string(*text));
  }
}

void MainPresenter::LayOut() {
  view_.SetSizeConstraints(kMinWidth, kMinHeight);
  view_.SetApplicationIcon(AppIcon::kMain);

  for (ToolButton b : kWidth85Buttons) view_.SetToolButtonWidth(b, kButtonWidth);
  view_.SetControlBar(kBarHeight, kBarHeight);
  view_.SetControlPanelSize(kPanelWidth, kBarHeight);
  for (ToolBarId bar : kBars) view_.SetToolBarHeights(bar, kBarHeight, kBarHeight);

  if (japanese()) ApplyJapaneseCaptions();

  view_.SetCaption(titles_.app_title);
  settings_.Write(kTitleValue, titles_.app_title);
  view_.SetHeight(japanese() ? 380 : 404);

  view_.SetFillsClientArea(MainControl::UDSTreeView);
  view_.SetControlVisible(MainControl::Splitter, false);
  view_.SetControlVisible(MainControl::InfoTreeView, false);

  computer_name_ = services_.system.ComputerName();
  user_name_ = services_.system.UserName();
  program_version_ = services_.system.ProgramVersion();

  for (ToolButton b : kHiddenButtons) view_.SetToolButtonVisible(b, false);
  for (MainAction a : kHiddenActions) view_.SetActionVisible(a, false);
  for (MenuItem m : kHiddenItems) view_.SetMenuItemVisible(m, false);
  view_.SetTreeStyle(false, 23);

  LayOutToolBars();
  view_.SetFillsClientArea(MainControl::MainPanel);
  product_version_ = settings_.Read(RegRoot::kLocalMachine, kProductVersionValue);
  ApplyPlacement();

  // In 64 bits: a stored tree height may be anything up to INT_MAX.
  int64_t tree_top = view_.TreeTop();
  int64_t memo_height = std::clamp<int64_t>(view_.TreeHeight() - 16, 0, std::numeric_limits<int>::max());
  view_.SetMemoPlacement(static_cast<int>(std::min<int64_t>(tree_top + 8, std::numeric_limits<int>::max())),
                         static_cast<int>(memo_height));
  view_.SetMemoReadOnly(true);
}

void MainPresenter::LayOutToolBars() {
  std::array<int, 3> widths{};
  const std::span<const ToolButton> members[] = {kBar1, kBar2, kBar3};
  int window_width = 2;
  for (size_t i = 0; i < 3; ++i) {
    for (ToolButton b : members[i])
      if (view_.IsToolButtonVisible(b)) widths[i] += view_.ToolButtonWidth(b);
    view_.SetToolBarWidth(kBars[i], widths[i]);
    window_width += widths[i] + (widths[i] > 0 ? 18 : 0);
  }
  view_.SetToolBarLeft(ToolBarId::ToolBar2, view_.ToolBarLeft(ToolBarId::ToolBar1) + widths[0]);
  view_.SetToolBarLeft(ToolBarId::ToolBar3, view_.ToolBarLeft(ToolBarId::ToolBar2) + widths[1]);
  view_.SetWidth(window_width);

  std::optional<std::string> order = ValidToolBarOrder(settings_.Read(kToolBarOrderValue));
  if (!order) {
    order = std::string(kDefaultToolBarOrder);
    settings_.Write(kToolBarOrderValue, *order);
  }
  std::array<int, 3> lefts = ToolBarLefts(*order, widths, kFirstBarLeft);
  for (size_t i = 0; i < 3; ++i) view_.SetToolBarLeft(kBars[i], lefts[i]);
}

// Each placement value: absent or malformed (not a decimal number of the
// int range) is replaced by the current value; a number applies as the
// rules below say; other numbers are left alone.
void MainPresenter::ApplyPlacement() {
  auto read = [this](std::string_view name) { return ParseSettingInt(settings_.Read(name)); };
  auto write = [this](std::string_view name, int v) { settings_.Write(name, std::to_string(v)); };

  if (auto w = read(kWidthValue); !w) {
    write(kWidthValue, view_.Width());
  } else if (*w > 0) {
    view_.SetWidth(*w);
  }
  if (auto h = read(kHeightValue); !h) {
    write(kHeightValue, view_.Height());
  } else if (*h > 0) {
    view_.SetHeight(*h);
  }

  Rect work = view_.WorkArea();
  int work_width = work.width;
  int work_height = work.height;
  int top = CentredOffset(work_height, view_.Height());
  view_.SetTop(top);
  view_.SetLeft(CentredOffset(work_width, view_.Width()));
  saved_top_ = top;

  if (auto t = read(kTopValue); !t || *t < 0 || *t > work_height) {
    int current = view_.Top();
    if (current >= 0 && current < kMiniTop) write(kTopValue, current);
  } else if (*t > 0) {
    saved_top_ = *t;
    view_.SetTop(*t);
  }
  if (auto l = read(kLeftValue); !l || *l < 0 || *l > work_width) {
    write(kLeftValue, view_.Left());
  } else if (*l > 0) {
    view_.SetLeft(*l);
  }
  view_.SetPositionDesigned();

  if (auto s = read(kWindowStateValue); !s) {
    write(kWindowStateValue, 0);
  } else if (*s == 1 || *s == 2) {  // other numbers name no window state
    view_.SetWindowState(static_cast<WindowState>(*s));
  }

  if (auto t = read(kTreeHeightValue); !t) {
    write(kTreeHeightValue, view_.TreeHeight());
  } else if (*t > 0) {
    view_.SetTreeHeight(*t);
  }
  view_.SetTreeMinHeight(kMinTreeHeight);
}

}  // namespace vx::app
