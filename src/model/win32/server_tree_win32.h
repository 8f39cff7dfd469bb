// The Win32 server tree `UDSTreeView`: a tree-view control that mirrors the
// model's ServerTreeView calls and reports the mouse, keyboard, expansion and
// custom-draw notifications to the TreePresenter, which decides everything.
// Hints are a tooltip control whose text the presenter gives.
#pragma once

#if !defined(_WIN32)
#error "Windows only"
#endif

#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <windowsx.h>

#include <functional>
#include <string>
#include <unordered_map>

#include "model/tree_presenter.h"
#include "model/tree_view.h"
#include "winui/controls.h"
#include "winui/window.h"

namespace vx::model::win32 {

class ServerTreeWin32 final : public ServerTreeView {
 public:
  // `tree` is the control; `parent` the kit window that receives its
  // WM_NOTIFY messages; `id` its control id.
  ServerTreeWin32(winui::TreeView tree, winui::Window& parent, int id);
  ~ServerTreeWin32() override;
  ServerTreeWin32(const ServerTreeWin32&) = delete;
  ServerTreeWin32& operator=(const ServerTreeWin32&) = delete;

  // The presenter the notifications go to (nullptr: none yet).
  void Bind(TreePresenter* presenter) { presenter_ = presenter; }
  // Opens a context menu at the cursor (the main window owns the menus).
  void OnPopup(std::function<void(TreePopup)> open) { open_popup_ = std::move(open); }
  // The main panel and the blank panel the refresh touches.
  void SetPanels(HWND main_panel, HWND blank_panel) { main_panel_ = main_panel, blank_panel_ = blank_panel; }

  // --- ServerTreeView ---
  void AddServerNode(NodeId id, const std::string& text, int image) override;
  void AddDeviceNode(NodeId server, NodeId id, const std::string& text, int image) override;
  void DeleteNode(NodeId id) override;
  void SetNodeText(NodeId id, const std::string& text) override;
  void OrderServers(const std::vector<NodeId>& order) override;
  void ExpandNode(NodeId id) override;
  bool IsExpanded(NodeId id) const override;
  void SelectNode(NodeId id) override;
  void SetTreeEnabled(bool enabled) override;
  void RepaintTree() override;
  void SetMainPanelEnabled(bool enabled) override;
  void SetBlankPanelVisible(bool visible) override;

  // --- For tests and the main window ---
  HWND hwnd() const { return tree_.hwnd(); }
  HWND tooltip() const { return tooltip_; }
  HTREEITEM Item(NodeId id) const;
  NodeId NodeAt(POINT client, bool* over_label = nullptr) const;
  // The rectangle of an item's text, in client coordinates.
  bool LabelRect(HTREEITEM item, RECT* rect) const;
  // The custom-draw answer for one item (what NM_CUSTOMDRAW does).
  LRESULT CustomDraw(NMTVCUSTOMDRAW& draw);
  // The hint text for the node under `client` (what the tooltip shows).
  std::string HintAt(POINT client);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                       DWORD_PTR self);
  std::optional<LRESULT> Notify(NMHDR& header);
  void MouseMove(POINT client);

  winui::TreeView tree_;
  TreePresenter* presenter_ = nullptr;
  std::function<void(TreePopup)> open_popup_;
  std::unordered_map<NodeId, HTREEITEM> items_;
  HWND main_panel_ = nullptr, blank_panel_ = nullptr;
  HWND tooltip_ = nullptr;
  HIMAGELIST images_ = nullptr;
  NodeId hint_node_ = kNoNode;
  std::wstring hint_text_;
  int silent_ = 0;
  bool expanding_reported_ = false;  // > 0 while the model changes the control (no reports back)
};

// The tree's image list UDSImageList (20 x 20): the strip "UDSIMAGES" of the
// resources, magenta transparent. nullptr when the bitmap is missing.
HIMAGELIST LoadTreeImages();

}  // namespace vx::model::win32
