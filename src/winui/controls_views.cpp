// The list view and tree view wrappers.
#include <cwchar>

#include "platform/text_codec.h"
#include "winui/controls.h"

namespace vx::winui {
namespace {

// Reads a text whose length the control does not tell: grows the buffer
// until the text fits (bounded: texts of these controls are short).
template <typename Fill>
std::string ReadGrowing(Fill fill) {
  for (size_t size = 256; size <= 65536; size *= 4) {
    std::wstring buffer(size, L'\0');
    fill(buffer.data(), static_cast<int>(size));
    size_t length = std::wcslen(buffer.c_str());
    if (length + 1 < size) {
      buffer.resize(length);
      return Narrow(buffer);
    }
  }
  return {};
}

}  // namespace

// ---- ListView --------------------------------------------------------------

ListView ListView::Create(const ListViewArgs& a) {
  ListView view(CreateChild(WC_LISTVIEWW, a.parent, a.id, a.bounds,
                            WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, WS_EX_CLIENTEDGE));
  DWORD extended = LVS_EX_FULLROWSELECT | (a.check_boxes ? LVS_EX_CHECKBOXES : 0);
  view.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
  return view;
}

int ListView::AddColumn(std::string_view caption, int width) const {
  std::wstring text = Widen(caption);
  HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
  int index = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = text.data();
  column.cx = width;
  column.iSubItem = index;
  return static_cast<int>(Send(LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
}

int ListView::AddRow(std::string_view text, LPARAM data) const {
  std::wstring wide = Widen(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = RowCount();
  item.pszText = wide.data();
  item.lParam = data;
  return static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetCell(int row, int column, std::string_view text) const {
  std::wstring wide = Widen(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  Send(LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

std::string ListView::Cell(int row, int column) const {
  if (row < 0 || row >= RowCount()) return {};
  return ReadGrowing([&](wchar_t* buffer, int size) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = size;
    Send(LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  });
}

int ListView::RowCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
void ListView::Clear() const { Send(LVM_DELETEALLITEMS); }
bool ListView::RemoveRow(int row) const { return Send(LVM_DELETEITEM, row) != FALSE; }

int ListView::Selected() const {
  return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::Select(int row) const {
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  if (row < 0) return;
  LVITEMW item{};
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool ListView::Checked(int row) const {
  // State image 2 is "checked", 1 "unchecked".
  auto state = static_cast<UINT>(Send(LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void ListView::SetChecked(int row, bool checked) const {
  LVITEMW item{};
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  item.stateMask = LVIS_STATEIMAGEMASK;
  Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

LPARAM ListView::RowData(int row) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

// ---- TreeView --------------------------------------------------------------

TreeView TreeView::Create(const TreeViewArgs& a) {
  return TreeView(
      CreateChild(WC_TREEVIEWW, a.parent, a.id, a.bounds, WS_TABSTOP | a.extra_style, WS_EX_CLIENTEDGE));
}

HTREEITEM TreeView::Add(HTREEITEM parent, std::string_view text, LPARAM data, int image) const {
  std::wstring wide = Widen(text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = wide.data();
  insert.item.lParam = data;
  if (image >= 0) {
    insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
  }
  return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool TreeView::Remove(HTREEITEM item) const {
  return item && Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != FALSE;
}

void TreeView::Clear() const { Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }
int TreeView::Count() const { return static_cast<int>(Send(TVM_GETCOUNT)); }

std::string TreeView::ItemText(HTREEITEM handle) const {
  if (!handle) return {};
  return ReadGrowing([&](wchar_t* buffer, int size) {
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = handle;
    item.pszText = buffer;
    item.cchTextMax = size;
    Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  });
}

void TreeView::SetItemText(HTREEITEM handle, std::string_view text) const {
  std::wstring wide = Widen(text);
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = handle;
  item.pszText = wide.data();
  Send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

LPARAM TreeView::ItemData(HTREEITEM handle) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = handle;
  return handle && Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

HTREEITEM TreeView::Selected() const {
  return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CARET, 0));
}

bool TreeView::Select(HTREEITEM item) const {
  return Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != FALSE;
}

HTREEITEM TreeView::FirstChild(HTREEITEM item) const {
  if (!item) return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_ROOT, 0));
  return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM TreeView::Next(HTREEITEM item) const {
  return item ? reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))
              : nullptr;
}

HTREEITEM TreeView::Parent(HTREEITEM item) const {
  return item
             ? reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)))
             : nullptr;
}

void TreeView::Expand(HTREEITEM item) const { Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)); }

void TreeView::Collapse(HTREEITEM item) const {
  Send(TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
}

void TreeView::SetImageList(HIMAGELIST images) const {
  Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

void TreeView::SetIndent(int pixels) const { Send(TVM_SETINDENT, pixels); }
int TreeView::Indent() const { return static_cast<int>(Send(TVM_GETINDENT)); }

}  // namespace vx::winui
