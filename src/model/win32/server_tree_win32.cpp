#include "model/win32/server_tree_win32.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/text_codec.h"

namespace vx::model::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x5654;  // "VT"

COLORREF Colour(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

NodeId IdOf(LPARAM param) { return static_cast<NodeId>(param); }

struct Silence {
  explicit Silence(int& depth) : depth_(depth) { ++depth_; }
  ~Silence() { --depth_; }
  int& depth_;
};

}  // namespace

HIMAGELIST LoadTreeImages() {
  return ImageList_LoadImageW(GetModuleHandleW(nullptr), L"UDSIMAGES", 20, 0, RGB(255, 0, 255), IMAGE_BITMAP,
                              LR_CREATEDIBSECTION);
}

ServerTreeWin32::ServerTreeWin32(winui::TreeView tree, winui::Window& parent, int id) : tree_(tree) {
  HWND hwnd = tree_.hwnd();
  SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | TVS_NOTOOLTIPS);
  images_ = LoadTreeImages();
  if (images_) tree_.SetImageList(images_);
  SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  parent.OnNotify(id, [this](NMHDR& header) { return Notify(header); });

  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             0, 0, 0, 0, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tooltip_) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, kHintShowMs);
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_RESHOW, kHintShowMs);
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, kHintHideMs);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    SendMessageW(tooltip_, TTM_ACTIVATE, FALSE, 0);
  }
}

ServerTreeWin32::~ServerTreeWin32() {
  if (IsWindow(tree_.hwnd())) RemoveWindowSubclass(tree_.hwnd(), SubclassProc, kSubclassId);
  if (tooltip_) DestroyWindow(tooltip_);
  if (images_) ImageList_Destroy(images_);
}

HTREEITEM ServerTreeWin32::Item(NodeId id) const {
  auto it = items_.find(id);
  return it == items_.end() ? nullptr : it->second;
}

// ---- ServerTreeView ------------------------------------------------------------

void ServerTreeWin32::AddServerNode(NodeId id, const std::string& text, int image) {
  Silence s(silent_);
  items_[id] = tree_.Add(nullptr, text, static_cast<LPARAM>(id), image);
}

void ServerTreeWin32::AddDeviceNode(NodeId server, NodeId id, const std::string& text, int image) {
  Silence s(silent_);
  HTREEITEM parent = Item(server);
  if (!parent) return;
  items_[id] = tree_.Add(parent, text, static_cast<LPARAM>(id), image);
}

void ServerTreeWin32::DeleteNode(NodeId id) {
  Silence s(silent_);
  HTREEITEM item = Item(id);
  if (!item) return;
  for (HTREEITEM child = tree_.FirstChild(item); child; child = tree_.Next(child))
    items_.erase(IdOf(tree_.ItemData(child)));
  items_.erase(id);
  if (hint_node_ == id) hint_node_ = kNoNode;
  tree_.Remove(item);
}

void ServerTreeWin32::SetNodeText(NodeId id, const std::string& text) {
  if (HTREEITEM item = Item(id)) tree_.SetItemText(item, text);
}

void ServerTreeWin32::OrderServers(const std::vector<NodeId>& order) {
  std::map<NodeId, size_t> rank;
  for (size_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
  TVSORTCB sort{};
  sort.hParent = TVI_ROOT;
  sort.lParam = reinterpret_cast<LPARAM>(&rank);
  sort.lpfnCompare = [](LPARAM a, LPARAM b, LPARAM ranks) -> int {
    const auto& r = *reinterpret_cast<const std::map<NodeId, size_t>*>(ranks);
    auto ra = r.find(IdOf(a)), rb = r.find(IdOf(b));
    const size_t x = ra == r.end() ? SIZE_MAX : ra->second, y = rb == r.end() ? SIZE_MAX : rb->second;
    return x < y ? -1 : (x > y ? 1 : 0);
  };
  Silence s(silent_);
  SendMessageW(tree_.hwnd(), TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

void ServerTreeWin32::ExpandNode(NodeId id) {
  HTREEITEM item = Item(id);
  if (!item) return;
  // The control reports TVN_ITEMEXPANDING only the first time an item is
  // expanded by message; the presenter hears of every expansion.
  expanding_reported_ = false;
  tree_.Expand(item);
  if (!expanding_reported_ && presenter_) presenter_->OnExpanding(id);
}

bool ServerTreeWin32::IsExpanded(NodeId id) const {
  HTREEITEM item = Item(id);
  if (!item) return false;
  return (SendMessageW(tree_.hwnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
          TVIS_EXPANDED) != 0;
}

void ServerTreeWin32::SelectNode(NodeId id) {
  Silence s(silent_);
  HTREEITEM item = id == kNoNode ? nullptr : Item(id);
  SendMessageW(tree_.hwnd(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void ServerTreeWin32::SetTreeEnabled(bool enabled) { EnableWindow(tree_.hwnd(), enabled); }
void ServerTreeWin32::RepaintTree() { InvalidateRect(tree_.hwnd(), nullptr, TRUE); }
void ServerTreeWin32::SetMainPanelEnabled(bool enabled) {
  if (main_panel_) EnableWindow(main_panel_, enabled);
}
void ServerTreeWin32::SetBlankPanelVisible(bool visible) {
  if (blank_panel_) ShowWindow(blank_panel_, visible ? SW_SHOWNA : SW_HIDE);
}

// ---- Hit tests, drawing, hints -----------------------------------------------------

bool ServerTreeWin32::LabelRect(HTREEITEM item, RECT* rect) const {
  // TVM_GETITEMRECT takes the item in the rectangle's first bytes.
  std::memcpy(rect, &item, sizeof item);
  return item && SendMessageW(tree_.hwnd(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(rect));
}

NodeId ServerTreeWin32::NodeAt(POINT client, bool* over_label) const {
  TVHITTESTINFO hit{};
  hit.pt = client;
  HTREEITEM item =
      reinterpret_cast<HTREEITEM>(SendMessageW(tree_.hwnd(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (over_label) *over_label = item && (hit.flags & TVHT_ONITEMLABEL);
  return item ? IdOf(tree_.ItemData(item)) : kNoNode;
}

LRESULT ServerTreeWin32::CustomDraw(NMTVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      if (!presenter_) return CDRF_DODEFAULT;
      const bool selected = (draw.nmcd.uItemState & CDIS_SELECTED) != 0;
      const ItemDrawing d = presenter_->DrawingOf(IdOf(draw.nmcd.lItemlParam), selected);
      draw.clrText = Colour(d.text_colour);
      draw.clrTextBk = Colour(d.back);
      // Our colours, not the system's highlight.
      draw.nmcd.uItemState &= ~UINT(CDIS_SELECTED | CDIS_FOCUS);
      return d.labels.empty() ? CDRF_DODEFAULT : CDRF_NOTIFYPOSTPAINT;
    }
    case CDDS_ITEMPOSTPAINT: {
      if (!presenter_) return CDRF_DODEFAULT;
      const ItemDrawing d = presenter_->DrawingOf(IdOf(draw.nmcd.lItemlParam), false);
      RECT text{};
      if (!LabelRect(reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec), &text)) return CDRF_DODEFAULT;
      for (const auto& label : d.labels) {
        std::wstring wide = Widen(label.text);
        SetBkColor(draw.nmcd.hdc, Colour(label.back));
        SetTextColor(draw.nmcd.hdc, Colour(label.text_colour));
        SetBkMode(draw.nmcd.hdc, OPAQUE);
        TextOutW(draw.nmcd.hdc, text.right + label.dx, text.top + label.dy, wide.c_str(), int(wide.size()));
      }
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

std::string ServerTreeWin32::HintAt(POINT client) {
  if (!presenter_) return {};
  bool over_label = false;
  const NodeId node = NodeAt(client, &over_label);
  TreeHint hint = presenter_->HintAt(node, over_label);
  return hint.show ? hint.text : std::string();
}

void ServerTreeWin32::MouseMove(POINT client) {
  if (!presenter_ || !tooltip_) return;
  bool over_label = false;
  const NodeId node = NodeAt(client, &over_label);
  const NodeId shown = over_label ? node : kNoNode;
  if (shown == hint_node_) return;
  hint_node_ = shown;
  const TreeHint hint = presenter_->HintAt(node, over_label);
  hint_text_ = Widen(hint.text);
  SendMessageW(tooltip_, TTM_POP, 0, 0);
  SendMessageW(tooltip_, TTM_ACTIVATE, hint.show && !hint.text.empty(), 0);
}

// ---- Messages ------------------------------------------------------------------------

std::optional<LRESULT> ServerTreeWin32::Notify(NMHDR& header) {
  if (!presenter_) return std::nullopt;
  switch (header.code) {
    case NM_CUSTOMDRAW:
      return CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW&>(header));
    case NM_CLICK:
      presenter_->OnClick();
      return 0;
    case NM_DBLCLK:
      presenter_->OnDoubleClick();
      return 0;
    case TVN_ITEMEXPANDINGA:  // same layout for what is read here
    case TVN_ITEMEXPANDINGW: {
      auto& tv = reinterpret_cast<NMTREEVIEWW&>(header);
      const NodeId id = IdOf(tv.itemNew.lParam);
      if (tv.action & TVE_COLLAPSE) return presenter_->OnCollapsing(id) ? FALSE : TRUE;
      expanding_reported_ = true;
      presenter_->OnExpanding(id);
      return FALSE;
    }
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
      auto& tv = reinterpret_cast<NMTREEVIEWW&>(header);
      if (silent_ == 0 && tv.action == TVC_BYKEYBOARD)
        presenter_->OnKeyboardSelection(IdOf(tv.itemNew.lParam));
      return 0;
    }
    default:
      return std::nullopt;
  }
}

LRESULT CALLBACK ServerTreeWin32::SubclassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                               UINT_PTR, DWORD_PTR self_ptr) {
  auto* self = reinterpret_cast<ServerTreeWin32*>(self_ptr);
  try {
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    switch (message) {
      case WM_LBUTTONDOWN:
        if (self->presenter_) self->presenter_->OnLeftButtonDown(self->NodeAt(at));
        break;
      case WM_RBUTTONDOWN:
        if (self->presenter_) {
          const TreePopup popup = self->presenter_->OnRightButtonDown(self->NodeAt(at));
          if (popup != TreePopup::kNone && self->open_popup_) self->open_popup_(popup);
        }
        return 0;  // no drag-detect loop, no NM_RCLICK
      case WM_MOUSEMOVE:
        self->MouseMove(at);
        break;
      case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->hwndFrom == self->tooltip_ && header->code == TTN_GETDISPINFOW) {
          auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
          info->lpszText = self->hint_text_.data();
          return 0;
        }
        break;
      }
      default:
        break;
    }
  } catch (...) {
    // Never across the window procedure.
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace vx::model::win32
