// Dialogs made from DIALOGEX templates. A dialog's window class is its
// class name ("TWaitCloseFm") and its template is that name in capitals
// ("TWAITCLOSEFM"); the template names the class with CLASS, and the kit
// registers that class (the dialog manager's procedure) before it creates
// the dialog. Messages go through the kit's one dialog procedure, with the
// same exception boundary as windows.
//
// Every dialog is created once (modeless, hidden unless its template says
// WS_VISIBLE) and then shown, hidden or run modally as needed.
#pragma once
#if !defined(_WIN32)
#error "src/winui is Windows-only"
#endif

#include <windows.h>

#include <optional>
#include <string>

#include "winui/window.h"

namespace vx::winui {

class Dialog : public Window {
 public:
  explicit Dialog(std::string class_name);
  ~Dialog() override;

  const std::string& ClassName() const { return class_name_; }
  // The name of the template: the class name in capitals.
  std::wstring TemplateName() const;

  // Creates the dialog from its template in `module` (the program when
  // nullptr), owned by `owner`. False on failure; LastError() tells why
  // (ERROR_RESOURCE_NAME_NOT_FOUND when there is no such template).
  bool Create(HWND owner = nullptr, HMODULE module = nullptr);

  // Shows the dialog modally: the other windows of this thread are disabled
  // until EndModal is called (or the dialog is closed, destroyed or the
  // program quits), then re-enabled, and the dialog is hidden. Returns the
  // value given to EndModal; IDCANCEL when the dialog was closed otherwise;
  // -1 when it cannot be shown (not created, or already modal).
  int ShowModal();
  void EndModal(int result);
  bool IsModal() const { return modal_; }

  // The child control `id` (nullptr when there is none).
  HWND Item(int id) const;
  // A control wrapper of type C for the child `id` (controls.h).
  template <typename C>
  C Control(int id) const {
    return C(Item(id));
  }

 protected:
  // WM_INITDIALOG. The default sets the focus as the dialog manager does.
  virtual bool OnInitDialog() { return true; }
  // IDOK and IDCANCEL (buttons, Enter, Esc, the close box). The default ends
  // a modal run with `id` and hides a modeless dialog.
  virtual void OnOkCancel(int id);

  std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  friend INT_PTR CALLBACK KitDialogProcedure(HWND, UINT, WPARAM, LPARAM);

  std::string class_name_;
  bool modal_ = false;
  std::optional<int> modal_result_;
};

}  // namespace vx::winui
