// vessix.exe: the composition root. Picks the concrete adapters (registry,
// driver channel, network), runs the process entry, creates the windows in
// their fixed order and runs the message loop.
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_network_status.h"
#include "app/main_presenter.h"
#include "app/process_entry.h"
#include "app/settings_store.h"
#include "app/win32/device_commands_win32.h"
#include "app/win32/main_form.h"
#include "app/win32/program_services.h"
#include "app/win32/single_instance_win32.h"
#include "app/win32/wait_close_form.h"
#include "devices/device_commands.h"
#include "devices/ejection.h"
#include "devices/viewer_closer.h"
#include "discovery/network_status.h"
#include "model/about_box.h"
#include "model/win32/about_box_win32.h"
#include "model/win32/tree_facet.h"
#include "platform/clock.h"
#include "platform/registry/win32/registry_win32.h"
#include "platform/text_codec.h"
#include "platform/trace.h"
#include "requests/win32/request_facet.h"
#include "winui/dialog.h"
#include "winui/kit.h"
#include "winui/main_thread_win32.h"
#include "winui/message_box.h"
#include "winui/message_loop.h"

namespace vx::app::win32 {
namespace {

class Win32MessageBoxes final : public MessageBoxes {
 public:
  explicit Win32MessageBoxes(const HWND* owner) : owner_(owner) {}
  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons,
                 MsgIcon icon) override {
    winui::MessageBoxArgs args{.text = text, .caption = caption};
    args.buttons = buttons == MsgButtons::kOkCancel ? winui::MessageButtons::OkCancel
                   : buttons == MsgButtons::kYesNo  ? winui::MessageButtons::YesNo
                                                    : winui::MessageButtons::Ok;
    args.icon = icon == MsgIcon::kExclamation ? winui::MessageIcon::Warning : winui::MessageIcon::None;
    // A hidden owner would hide the box with it.
    args.owner = (*owner_ && IsWindowVisible(*owner_)) ? *owner_ : nullptr;
    switch (winui::ShowMessageBox(args)) {
      case winui::MessageResult::Ok:
        return MsgResult::kOk;
      case winui::MessageResult::Yes:
        return MsgResult::kYes;
      case winui::MessageResult::No:
        return MsgResult::kNo;
      default:
        return buttons == MsgButtons::kYesNo ? MsgResult::kNo : MsgResult::kCancel;
    }
  }

 private:
  const HWND* owner_;
};

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(Narrow(argv[i]));
  LocalFree(argv);
  return args;
}

int Run() {
  winui::InitKit();
  winui::Win32MainThread main_thread;
  ApplicationWindow app_window;
  if (!app_window.Create()) return 1;

  Settings settings(Win32Registry());
  Win32SingleInstance instance(app_window);
  std::vector<std::string> args = Arguments();
  EntryDecision entry = RunProcessEntry(settings, instance, args);
  if (!entry.run) return entry.exit_code;

  const std::string title = entry.titles.app_title;
  app_window.SetCaption(title);
  winui::SetApplicationTitle(title);

  // The main window first, then every other window of the program, once.
  MainForm form;
  if (!form.Create(app_window.hwnd())) {
    winui::ShowExceptionMessage("Cannot create the main window.");
    return 1;
  }
  const bool japanese = entry.titles.japanese();
  // The listener's network steps reach the window and the presenter's tray
  // state through MainNetworkStatus, bound once the presenter exists.
  MainNetworkStatus status_view(form);
  discovery::NetworkStatusPresenter network_status(
      status_view, [japanese] { return japanese; }, [title] { return title; });
  ProgramServices services(main_thread, network_status, [&form] { form.tree().Clear(); });
  HWND message_owner = form.hwnd();
  Win32MessageBoxes messages(&message_owner);
  MainPresenter presenter({form, messages, services.Facets(), settings, SystemClock()}, entry.titles, args);
  form.BindPresenter(&presenter);
  status_view.BindPresenter(&presenter);
  presenter.Construct();
  if (std::optional<int> end = presenter.FormCreate()) {
    instance.Release();
    return *end;
  }
  form.AttachMenus();

  // The device commands (Connect, Disconnect, Request) on the tree's selection.
  MainFormDeviceView device_view(form);
  Win32SettlePump settle_pump;
  std::unique_ptr<devices::Ejector> ejector = devices::MakeSystemEjector();
  std::unique_ptr<devices::ViewerCloser> viewer = devices::MakeSystemViewerCloser();
  devices::NoAutoConnectPrinterQueues printer_queues;
  devices::DeviceCommandOptions device_options;
  device_options.this_pc = presenter.computer_name();
  device_options.japanese = japanese;
  device_options.title = title;
  device_options.closing = [&presenter] { return presenter.closing(); };
  // The request wait dialog hides the Request command while it is shown.
  requests::win32::RequestFacet* request_facet_ptr = nullptr;
  device_options.request_dialog_shown = [&request_facet_ptr] {
    return request_facet_ptr != nullptr && request_facet_ptr->WaitDialogShown();
  };
  devices::DeviceCommands device_commands(
      devices::DeviceCommandPorts{device_view, settle_pump, *ejector, *viewer, printer_queues},
      device_options);

  // The server tree, its model and the driver's events.
  MainForm* main_form = &form;
  model::win32::TreeFacet tree(model::win32::TreeFacetArgs{
      .tree = form.tree(),
      .tree_parent = &form.main_panel(),
      .tree_id = kIdTree,
      .main_panel = form.main_panel().hwnd(),
      .blank_panel = form.blank_panel(),
      .main_thread = &main_thread,
      .discovery = &services.Discovery(),
      .channel = services.BusDriver().Channel(),
      .master = services.BusDriver().MasterBus(),
      .version_info = &services.BusDriver().VersionInfo(),
      .japanese = japanese,
      .title = title,
      .closing = [&presenter] { return presenter.closing(); },
      .focus_main_panel = [main_form] { SetFocus(main_form->main_panel().hwnd()); },
      .double_click_time = [main_form] { return main_form->DoubleClickTimeMs(); },
      .start_click_timer =
          [main_form](int ms) {
            main_form->SetTimerInterval(MainTimer::Timer_Click, ms);
            main_form->SetTimerEnabled(MainTimer::Timer_Click, true);
          },
      .stop_click_timer = [main_form] { main_form->SetTimerEnabled(MainTimer::Timer_Click, false); },
      .click_timer_running = [main_form] { return main_form->IsTimerEnabled(MainTimer::Timer_Click); },
      .set_caption = [main_form](const std::string& text) { main_form->SetCaption(text); },
      .stop_mbus_update_timer =
          [main_form] { main_form->SetTimerEnabled(MainTimer::Timer_MBusUpdate, false); },
      .set_find_server_enabled =
          [main_form](bool on) { main_form->SetToolButtonEnabled(ToolButton::SBtn_FindServer, on); },
      .open_popup = [main_form](model::TreePopup popup) { main_form->ShowTreePopup(popup); },
      .commands = &device_commands,
      .autoconnect = &services.AutoConnect()});
  services.SetTree(&tree);
  struct Unhook {
    ProgramServices& services;
    ~Unhook() { services.SetTree(nullptr); }
  } unhook{services};
  form.SetBusUpdateHandler([&tree] { tree.Timer_MBusUpdateTimer(); });
  form.SetClickTimerHandler([&tree] { tree.Timer_ClickTimer(); });
  device_commands.Bind(&tree.List(), [&tree] { tree.Presenter().Action_UDSClickExecute(); });
  struct UnbindCommands {
    devices::DeviceCommands& commands;
    ~UnbindCommands() { commands.Bind(nullptr, nullptr); }
  } unbind_commands{device_commands};
  form.SetActionHandler(MainAction::Action_Connect,
                        [&device_commands] { device_commands.Action_ConnectExecute(); });
  form.SetActionHandler(MainAction::Action_Disconnect,
                        [&device_commands] { device_commands.Action_DisconnectExecute(); });
  form.SetActionHandler(MainAction::Action_Request,
                        [&device_commands] { device_commands.Action_RequestExecute(); });

  // A window with behaviour has a class of its own; the others are shells
  // until their subsystems give them one.
  std::vector<std::unique_ptr<winui::Dialog>> windows;
  model::win32::AboutBox* about = nullptr;
  requests::win32::RequestDlg* request_dlg = nullptr;
  requests::win32::RequestRecvDlg* request_recv_dlg = nullptr;
  for (size_t k = 1; k < kWindowCreationOrder.size(); ++k) {
    std::unique_ptr<winui::Dialog> dialog;
    WaitCloseForm* wait_window = nullptr;
    if (kWindowCreationOrder[k] == "TWaitCloseFm") {
      auto wait = std::make_unique<WaitCloseForm>();
      wait_window = wait.get();
      dialog = std::move(wait);
    } else if (kWindowCreationOrder[k] == "TAboutBox") {
      auto box = std::make_unique<model::win32::AboutBox>();
      about = box.get();
      dialog = std::move(box);
    } else if (kWindowCreationOrder[k] == "TRequestDlg") {
      auto box = std::make_unique<requests::win32::RequestDlg>();
      request_dlg = box.get();
      dialog = std::move(box);
    } else if (kWindowCreationOrder[k] == "TRequestRecvDlg") {
      auto box = std::make_unique<requests::win32::RequestRecvDlg>();
      request_recv_dlg = box.get();
      dialog = std::move(box);
    } else {
      dialog = std::make_unique<winui::Dialog>(std::string(kWindowCreationOrder[k]));
    }
    if (!dialog->Create(form.hwnd())) {
      TraceLine("Create window failed : " + std::string(kWindowCreationOrder[k]));
    } else if (wait_window) {
      form.SetWaitWindow(wait_window);
    }
    windows.push_back(std::move(dialog));
  }

  // The sharing requests: the two dialogs, Timer_Request and the Request command.
  std::unique_ptr<requests::win32::RequestFacet> request_facet;
  if (request_dlg && request_dlg->hwnd() && request_recv_dlg && request_recv_dlg->hwnd()) {
    request_facet = std::make_unique<requests::win32::RequestFacet>(requests::win32::RequestFacetArgs{
        .tree = &tree.Tree(),
        .wait = request_dlg,
        .reply = request_recv_dlg,
        .japanese = japanese,
        .computer_name = presenter.computer_name(),
        .set_request_enabled =
            [main_form](bool on) { main_form->action(MainAction::Action_Request).SetEnabled(on); },
        .show_message =
            [&messages, title](const std::string& text) {
              messages.Show(text, title, MsgButtons::kOk, MsgIcon::kNone);
            },
        .closing = [&presenter] { return presenter.closing(); },
        .refresh_selection = [&tree] { tree.Presenter().Action_UDSClickExecute(); },
        .tree_busy = [&tree] { return tree.List().Busy(); }});
    tree.SetRequests(&request_facet->Requests());
    requests::win32::RequestFacet* facet = request_facet.get();
    request_facet_ptr = facet;
    form.action(MainAction::Action_Request).SetHandler([facet] { facet->Action_RequestExecute(); });
  }
  struct UnhookRequests {
    model::win32::TreeFacet& tree;
    requests::win32::RequestFacet*& facet;
    ~UnhookRequests() {
      tree.SetRequests(nullptr);
      facet = nullptr;
    }
  } unhook_requests{tree, request_facet_ptr};

  form.SetAboutHandler([about, &presenter, japanese] {
    if (about)
      about->ShowModal(
          model::MakeAboutTexts(japanese, presenter.titles().app_title, presenter.product_version()));
  });

  form.ShowApplicationWindow();
  form.ShowMainWindow();
  int code = winui::RunMessageLoop();
  // No more hand-overs: a worker still running ends instead of waiting for a
  // main thread that no longer pumps.
  main_thread.Close();
  instance.Release();
  return code;
}

}  // namespace
}  // namespace vx::app::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return vx::app::win32::Run();
  } catch (...) {
    vx::winui::ReportCurrentException();
    return 1;
  }
}
