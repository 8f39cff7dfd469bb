#include "winui/dialog.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "vessix_ids.h"
#include "winui/controls.h"
#include "winui/test_support.h"
#include "winui/timer.h"

namespace vx::winui {
namespace {

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

TEST(Dialog, CreatedFromTheTemplateNamedAfterItsClass) {
  Dialog dialog("TWaitCloseFm");
  EXPECT_EQ(dialog.TemplateName(), L"TWAITCLOSEFM");
  ASSERT_TRUE(dialog.Create()) << dialog.LastError();
  EXPECT_EQ(ClassOf(dialog.hwnd()), L"TWaitCloseFm");
  EXPECT_EQ(FindWindowW(L"TWaitCloseFm", nullptr), dialog.hwnd());
  EXPECT_EQ(Window::FromHandle(dialog.hwnd()), &dialog);
  EXPECT_EQ(dialog.Caption(), "Vessix - Closing");
  EXPECT_EQ(dialog.Control<Label>(IDC_WAITCLOSE_TEXT).Text(),
            "Please wait until the program terminates correctly !");
  EXPECT_FALSE(dialog.IsVisible());  // created once, shown when needed

  Dialog missing("TNoSuchDlg");
  EXPECT_FALSE(missing.Create());
  EXPECT_EQ(missing.LastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(Dialog, ModalRunDisablesTheOtherWindowsAndReturnsTheResult) {
  testing::HostWindow owner;
  owner.Show(SW_SHOWNA);
  Dialog dialog("TWaitCloseFm");
  ASSERT_TRUE(dialog.Create(owner.hwnd()));

  bool owner_disabled_during_run = false, visible_during_run = false;
  Timer end({.handler =
                 [&] {
                   owner_disabled_during_run = !owner.IsEnabled();
                   visible_during_run = dialog.IsVisible();
                   dialog.EndModal(42);
                 },
             .interval_ms = 10,
             .enabled = true});
  EXPECT_EQ(dialog.ShowModal(), 42);
  end.SetEnabled(false);
  EXPECT_TRUE(owner_disabled_during_run);
  EXPECT_TRUE(visible_during_run);
  EXPECT_TRUE(owner.IsEnabled());
  EXPECT_FALSE(dialog.IsVisible());
  EXPECT_FALSE(dialog.IsModal());

  // Esc (IDCANCEL without a control) ends a modal run with IDCANCEL, and the
  // dialog can run again.
  Timer cancel({.handler = [&] { PostMessageW(dialog.hwnd(), WM_COMMAND, IDCANCEL, 0); },
                .interval_ms = 10,
                .enabled = true});
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
}

class FailingInitDialog : public Dialog {
 public:
  FailingInitDialog() : Dialog("TWaitCloseFm") {}

 protected:
  bool OnInitDialog() override { throw std::runtime_error("init failed"); }
};

TEST(Dialog, ExceptionInADialogHandlerStaysInside) {
  testing::ReportedExceptions reported;
  FailingInitDialog dialog;
  EXPECT_TRUE(dialog.Create());
  EXPECT_EQ(reported.messages, std::vector<std::string>{"init failed"});
}

TEST(Dialog, DestroyedDuringAModalRunEndsItAsCancelled) {
  auto dialog = std::make_unique<Dialog>("TWaitCloseFm");
  ASSERT_TRUE(dialog->Create());
  Timer destroy({.handler = [&] { dialog->Destroy(); }, .interval_ms = 10, .enabled = true});
  EXPECT_EQ(dialog->ShowModal(), IDCANCEL);
  EXPECT_EQ(dialog->hwnd(), nullptr);
  EXPECT_EQ(dialog->ShowModal(), -1);
}

}  // namespace
}  // namespace vx::winui
