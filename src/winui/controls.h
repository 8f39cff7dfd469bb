// Control wrappers. A control is a child window that its parent (a window or
// a dialog) owns and destroys: the wrappers are light, copyable views of the
// child's HWND and own nothing. Create makes a new child; a dialog's
// controls are reached with Dialog::Control<T>(id). Notifications reach the
// parent (Window::OnCommand / OnNotify).
//
// Texts are UTF-8. Indexes are 0-based; -1 means "none".
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <string>
#include <string_view>

#include "winui/geometry.h"

namespace vx::winui {

// Where a new control goes and what it starts with, as argument structs
// (designated initializers at the call site, no positional flags):
//   Button::Create({.parent = dlg, .id = IDOK, .bounds = {8, 8, 75, 23},
//                   .text = "OK", .is_default = true});
// `bounds` is in the parent's client coordinates.
struct ControlArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
};
struct ButtonArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  std::string_view text;
  bool is_default = false;  // BS_DEFPUSHBUTTON
};
struct CheckBoxArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  std::string_view text;
};
struct RadioButtonArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  std::string_view text;
  bool first_of_group = false;  // starts a new group of buttons that exclude each other
};
struct EditArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  bool multi_line = false;
};
struct LabelArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  std::string_view text;
  bool centred = false;
};
struct ComboBoxArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  bool editable = false;  // a drop-down with an edit field instead of a list only
};
struct ListViewArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  bool check_boxes = false;
};
struct TreeViewArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  DWORD extra_style = TVS_HASLINES | TVS_SHOWSELALWAYS;
};
struct ImageArgs {
  HWND parent = nullptr;
  int id = 0;
  Rect bounds;
  bool bitmap = false;  // a bitmap picture rather than an icon
};

class Control {
 public:
  Control() = default;
  explicit Control(HWND hwnd) : hwnd_(hwnd) {}

  HWND hwnd() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }
  int Id() const;

  std::string Text() const;
  void SetText(std::string_view text) const;
  bool Enabled() const;
  void SetEnabled(bool enabled) const;
  bool Visible() const;
  void SetVisible(bool visible) const;
  // In the parent's client coordinates.
  Rect Bounds() const;
  void SetBounds(const Rect& bounds) const;
  void SetFont(HFONT font) const;  // borrowed: must outlive the control
  void Focus() const;

 protected:
  // Creates a child window of a system class. nullptr on failure.
  static HWND CreateChild(const wchar_t* window_class, HWND parent, int id, const Rect& bounds, DWORD style,
                          DWORD ex_style = 0, std::string_view text = {});
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;

  HWND hwnd_ = nullptr;
};

class Button : public Control {
 public:
  using Control::Control;
  static Button Create(const ButtonArgs& args);
  // Clicks it as the user would (the parent receives BN_CLICKED).
  void Click() const;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  static CheckBox Create(const CheckBoxArgs& args);
  bool Checked() const;
  void SetChecked(bool checked) const;
};

class RadioButton : public CheckBox {
 public:
  using CheckBox::CheckBox;
  static RadioButton Create(const RadioButtonArgs& args);
};

class Edit : public Control {
 public:
  using Control::Control;
  static Edit Create(const EditArgs& args);
  bool ReadOnly() const;
  void SetReadOnly(bool read_only) const;
  // The most characters the user may type (0: the system's limit).
  void SetLimit(int characters) const;
};

class Label : public Control {
 public:
  using Control::Control;
  static Label Create(const LabelArgs& args);
};

// Combo box (drop-down list) and list box share their item model.
class StringList : public Control {
 public:
  int Add(std::string_view text) const;
  void Clear() const;
  int Count() const;
  std::string ItemText(int index) const;
  int Selected() const;
  void Select(int index) const;

 protected:
  struct Messages {
    UINT add, reset, count, text_length, text, get_selection, set_selection;
  };
  StringList(HWND hwnd, const Messages& messages) : Control(hwnd), messages_(&messages) {}

 private:
  const Messages* messages_;
};

class ComboBox : public StringList {
 public:
  explicit ComboBox(HWND hwnd = nullptr);
  static ComboBox Create(const ComboBoxArgs& args);

 private:
  static const Messages kMessages;
};

class ListBox : public StringList {
 public:
  explicit ListBox(HWND hwnd = nullptr);
  static ListBox Create(const ControlArgs& args);

 private:
  static const Messages kMessages;
};

// A list view in report mode: rows of cells under columns.
class ListView : public Control {
 public:
  using Control::Control;
  static ListView Create(const ListViewArgs& args);
  int AddColumn(std::string_view caption, int width) const;
  int AddRow(std::string_view text, LPARAM data = 0) const;
  void SetCell(int row, int column, std::string_view text) const;
  std::string Cell(int row, int column) const;
  int RowCount() const;
  void Clear() const;
  bool RemoveRow(int row) const;
  int Selected() const;
  void Select(int row) const;
  bool Checked(int row) const;
  void SetChecked(int row, bool checked) const;
  LPARAM RowData(int row) const;
};

// A tree view. Items are HTREEITEM values (nullptr: the root or none).
class TreeView : public Control {
 public:
  using Control::Control;
  static TreeView Create(const TreeViewArgs& args);
  HTREEITEM Add(HTREEITEM parent, std::string_view text, LPARAM data = 0, int image = -1) const;
  bool Remove(HTREEITEM item) const;
  void Clear() const;
  int Count() const;
  std::string ItemText(HTREEITEM item) const;
  void SetItemText(HTREEITEM item, std::string_view text) const;
  LPARAM ItemData(HTREEITEM item) const;
  HTREEITEM Selected() const;
  bool Select(HTREEITEM item) const;
  // First child of `item` (of the root when nullptr), next sibling, parent.
  HTREEITEM FirstChild(HTREEITEM item) const;
  HTREEITEM Next(HTREEITEM item) const;
  HTREEITEM Parent(HTREEITEM item) const;
  void Expand(HTREEITEM item) const;
  void Collapse(HTREEITEM item) const;
  void SetImageList(HIMAGELIST images) const;  // borrowed
  void SetIndent(int pixels) const;
  int Indent() const;
};

class ProgressBar : public Control {
 public:
  using Control::Control;
  static ProgressBar Create(const ControlArgs& args);
  void SetRange(int minimum, int maximum) const;
  // Values outside the range are held at its ends.
  void SetPosition(int position) const;
  int Position() const;
};

class TabControl : public Control {
 public:
  using Control::Control;
  static TabControl Create(const ControlArgs& args);
  int AddTab(std::string_view caption) const;
  int Count() const;
  int Selected() const;
  void Select(int index) const;
  // The area inside the tabs, in the parent's client coordinates.
  Rect PageBounds() const;
};

// A static picture: an icon or a bitmap (borrowed; must outlive the control).
class Image : public Control {
 public:
  using Control::Control;
  static Image Create(const ImageArgs& args);
  void SetIcon(HICON icon) const;
  void SetBitmap(HBITMAP bitmap) const;
};

}  // namespace vx::winui
