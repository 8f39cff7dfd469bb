#include "winui/controls.h"

#include <algorithm>

#include "platform/text_codec.h"
#include "winui/kit.h"

namespace vx::winui {

// ---- Control ---------------------------------------------------------------

HWND Control::CreateChild(const wchar_t* window_class, HWND parent, int id, const Rect& b, DWORD style,
                          DWORD ex_style, std::string_view text) {
  InitKit();
  HWND hwnd = CreateWindowExW(ex_style, window_class, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                              b.left, b.top, b.width, b.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
  if (hwnd) {
    // The parent's font (a dialog's), or the GUI font, instead of the system font.
    HFONT font = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return hwnd;
}

LRESULT Control::Send(UINT message, WPARAM wparam, LPARAM lparam) const {
  return hwnd_ ? SendMessageW(hwnd_, message, wparam, lparam) : 0;
}

int Control::Id() const { return hwnd_ ? GetDlgCtrlID(hwnd_) : 0; }

std::string Control::Text() const { return hwnd_ ? WindowText(hwnd_) : std::string(); }

void Control::SetText(std::string_view text) const {
  if (hwnd_) SetWindowTextW(hwnd_, Widen(text).c_str());
}

bool Control::Enabled() const { return hwnd_ && IsWindowEnabled(hwnd_); }

void Control::SetEnabled(bool enabled) const {
  if (hwnd_) EnableWindow(hwnd_, enabled);
}

bool Control::Visible() const { return hwnd_ && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE); }

void Control::SetVisible(bool visible) const {
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

Rect Control::Bounds() const {
  RECT r{};
  if (!hwnd_ || !GetWindowRect(hwnd_, &r)) return {};
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
  return FromRECT(r);
}

void Control::SetBounds(const Rect& b) const {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetFont(HFONT font) const { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void Control::Focus() const {
  if (hwnd_) SetFocus(hwnd_);
}

// ---- Buttons ---------------------------------------------------------------

Button Button::Create(const ButtonArgs& a) {
  return Button(CreateChild(WC_BUTTONW, a.parent, a.id, a.bounds,
                            WS_TABSTOP | (a.is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, a.text));
}

void Button::Click() const { Send(BM_CLICK); }

CheckBox CheckBox::Create(const CheckBoxArgs& a) {
  return CheckBox(CreateChild(WC_BUTTONW, a.parent, a.id, a.bounds, WS_TABSTOP | BS_AUTOCHECKBOX, 0, a.text));
}

bool CheckBox::Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) const { Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }

RadioButton RadioButton::Create(const RadioButtonArgs& a) {
  DWORD style = BS_AUTORADIOBUTTON | (a.first_of_group ? WS_GROUP | WS_TABSTOP : 0);
  return RadioButton(CreateChild(WC_BUTTONW, a.parent, a.id, a.bounds, style, 0, a.text));
}

// ---- Edit, label -----------------------------------------------------------

Edit Edit::Create(const EditArgs& a) {
  DWORD style =
      WS_TABSTOP | WS_BORDER | (a.multi_line ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL);
  return Edit(CreateChild(WC_EDITW, a.parent, a.id, a.bounds, style));
}

bool Edit::ReadOnly() const { return hwnd_ && (GetWindowLongW(hwnd_, GWL_STYLE) & ES_READONLY); }

void Edit::SetReadOnly(bool read_only) const { Send(EM_SETREADONLY, read_only); }

void Edit::SetLimit(int characters) const { Send(EM_SETLIMITTEXT, characters > 0 ? characters : 0); }

Label Label::Create(const LabelArgs& a) {
  return Label(CreateChild(WC_STATICW, a.parent, a.id, a.bounds,
                           (a.centred ? SS_CENTER : SS_LEFT) | SS_NOPREFIX, 0, a.text));
}

// ---- Combo box, list box ---------------------------------------------------

int StringList::Add(std::string_view text) const {
  return static_cast<int>(Send(messages_->add, 0, reinterpret_cast<LPARAM>(Widen(text).c_str())));
}

void StringList::Clear() const { Send(messages_->reset); }
int StringList::Count() const { return static_cast<int>(Send(messages_->count)); }
int StringList::Selected() const { return static_cast<int>(Send(messages_->get_selection)); }
void StringList::Select(int index) const { Send(messages_->set_selection, index); }

std::string StringList::ItemText(int index) const {
  if (!hwnd_ || index < 0) return {};
  LRESULT length = Send(messages_->text_length, index);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = Send(messages_->text, index, reinterpret_cast<LPARAM>(buffer.data()));
  if (copied < 0) return {};
  buffer.resize(static_cast<size_t>(std::min<LRESULT>(copied, length)));
  return Narrow(buffer);
}

const ComboBox::Messages ComboBox::kMessages{CB_ADDSTRING, CB_RESETCONTENT, CB_GETCOUNT, CB_GETLBTEXTLEN,
                                             CB_GETLBTEXT, CB_GETCURSEL,    CB_SETCURSEL};

ComboBox::ComboBox(HWND hwnd) : StringList(hwnd, kMessages) {}

ComboBox ComboBox::Create(const ComboBoxArgs& a) {
  DWORD style = WS_TABSTOP | WS_VSCROLL | (a.editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST);
  return ComboBox(CreateChild(WC_COMBOBOXW, a.parent, a.id, a.bounds, style));
}

const ListBox::Messages ListBox::kMessages{LB_ADDSTRING, LB_RESETCONTENT, LB_GETCOUNT, LB_GETTEXTLEN,
                                           LB_GETTEXT,   LB_GETCURSEL,    LB_SETCURSEL};

ListBox::ListBox(HWND hwnd) : StringList(hwnd, kMessages) {}

ListBox ListBox::Create(const ControlArgs& a) {
  return ListBox(
      CreateChild(WC_LISTBOXW, a.parent, a.id, a.bounds, WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY));
}

// ---- Progress bar, tabs, image ---------------------------------------------

ProgressBar ProgressBar::Create(const ControlArgs& a) {
  return ProgressBar(CreateChild(PROGRESS_CLASSW, a.parent, a.id, a.bounds, 0));
}

void ProgressBar::SetRange(int minimum, int maximum) const { Send(PBM_SETRANGE32, minimum, maximum); }
void ProgressBar::SetPosition(int position) const { Send(PBM_SETPOS, position); }
int ProgressBar::Position() const { return static_cast<int>(Send(PBM_GETPOS)); }

TabControl TabControl::Create(const ControlArgs& a) {
  return TabControl(CreateChild(WC_TABCONTROLW, a.parent, a.id, a.bounds, WS_TABSTOP | WS_CLIPSIBLINGS));
}

int TabControl::AddTab(std::string_view caption) const {
  std::wstring text = Widen(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  return static_cast<int>(Send(TCM_INSERTITEMW, Count(), reinterpret_cast<LPARAM>(&item)));
}

int TabControl::Count() const { return static_cast<int>(Send(TCM_GETITEMCOUNT)); }
int TabControl::Selected() const { return static_cast<int>(Send(TCM_GETCURSEL)); }
void TabControl::Select(int index) const { Send(TCM_SETCURSEL, index); }

Rect TabControl::PageBounds() const {
  Rect bounds = Bounds();
  RECT r{0, 0, bounds.width, bounds.height};
  Send(TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  return Rect{bounds.left + r.left, bounds.top + r.top, r.right - r.left, r.bottom - r.top};
}

Image Image::Create(const ImageArgs& a) {
  return Image(
      CreateChild(WC_STATICW, a.parent, a.id, a.bounds, (a.bitmap ? SS_BITMAP : SS_ICON) | SS_CENTERIMAGE));
}

void Image::SetIcon(HICON icon) const { Send(STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)); }

void Image::SetBitmap(HBITMAP bitmap) const {
  // With common controls v6 the control copies a bitmap with alpha and
  // hands that copy back when it is replaced: the copy is ours to delete.
  static constexpr wchar_t kCopy[] = L"VxImageCopy";
  auto previous =
      reinterpret_cast<HBITMAP>(Send(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  HANDLE copy = hwnd_ ? GetPropW(hwnd_, kCopy) : nullptr;
  if (previous && previous == copy) {
    DeleteObject(previous);
    RemovePropW(hwnd_, kCopy);
  }
  auto shown = reinterpret_cast<HBITMAP>(Send(STM_GETIMAGE, IMAGE_BITMAP));
  if (hwnd_ && shown && shown != bitmap) SetPropW(hwnd_, kCopy, shown);
}

}  // namespace vx::winui
