// Wine test of the two request dialogs: each state of TRequestDlg and the
// reply dialog in English and Japanese, read back through the window APIs
// (captions, texts, visible controls, colours' labels, fonts), with a
// screenshot of each kept under <build>/screenshots/requests/; then the facet
// wired as vessix.exe wires it: a request event shows the reply dialog after
// Timer_Request's 500 ms and a click on Accept lets the device go.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "requests/testing/request_bench.h"
#include "requests/win32/request_dlg.h"
#include "requests/win32/request_facet.h"
#include "requests/win32/request_recv_dlg.h"
#include "vessix_ids.h"
#include "winui/kit.h"
#include "winui/test_support.h"

namespace vx::requests::win32 {
namespace {

using winui::testing::HostWindow;
using winui::testing::WaitUntil;

std::string TextOf(HWND dialog, int id) {
  wchar_t buffer[512] = {};
  GetDlgItemTextW(dialog, id, buffer, 512);
  return Narrow(buffer);
}
std::string CaptionOf(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return Narrow(buffer);
}
bool Shows(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
int HeightOf(HWND dialog, int id) {
  RECT r{};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  return r.bottom - r.top;
}
int CharsetOf(HWND dialog, int id) {
  auto font = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof(lf), &lf)) return -1;
  return lf.lfCharSet;
}

// Saves a picture of `window` as a 24-bit BMP under the build
// folder's screenshots/requests/ (Z: is the Unix root under Wine).
bool Screenshot(HWND window, const std::string& name) {
  const char* build = std::getenv("VX_BINARY_DIR");
  if (!build) return false;
  std::string folder = std::string("Z:") + build + "/screenshots";
  CreateDirectoryW(Widen(folder).c_str(), nullptr);
  folder += "/requests";
  CreateDirectoryW(Widen(folder).c_str(), nullptr);
  RECT r{};
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 2835, 2835, 0, 0};
  HDC screen = GetDC(nullptr);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, dib);
  // Wine puts a window's painting on the screen from its message loop, a
  // little later: the picture is taken again until two in a row agree.
  const DWORD row = DWORD((w * 3 + 3) & ~3), size = row * DWORD(h);
  std::vector<uint8_t> last;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  for (int attempt = 0; attempt < 40; ++attempt) {
    WaitUntil([] { return false; }, std::chrono::milliseconds(25));
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint8_t*>(bits);
    std::vector<uint8_t> now(p, p + size);
    if (attempt > 2 && now == last) break;
    last = std::move(now);
  }
  BITMAPFILEHEADER file{0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
  info.bmiHeader.biSizeImage = size;
  bool ok = false;
  if (FILE* out = _wfopen(Widen(folder + "/" + name + ".bmp").c_str(), L"wb")) {
    ok = fwrite(&file, sizeof(file), 1, out) == 1 &&
         fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out) == 1 && fwrite(bits, 1, size, out) == size;
    fclose(out);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(dib);
  ReleaseDC(nullptr, screen);
  return ok;
}

struct Dialogs : ::testing::Test {
  HostWindow owner;
  RequestDlg wait;
  RequestRecvDlg reply;
  void SetUp() override {
    SetWindowPos(owner.hwnd(), nullptr, 100, 80, 640, 420, SWP_NOZORDER);
    ASSERT_TRUE(wait.Create(owner.hwnd()));
    ASSERT_TRUE(reply.Create(owner.hwnd()));
  }
  // Centred on the owner, topmost.
  void ExpectCentredOnTop(HWND dialog) {
    RECT o{}, d{};
    GetWindowRect(owner.hwnd(), &o);
    GetWindowRect(dialog, &d);
    EXPECT_NEAR((d.left + d.right) / 2, (o.left + o.right) / 2, 1);
    EXPECT_NEAR((d.top + d.bottom) / 2, (o.top + o.bottom) / 2, 1);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
  }
};

TEST_F(Dialogs, WaitDialogShowsEachStateInBothLanguages) {
  struct Row {
    ReplyState state;
    int title, button, picture;
    const char* name;
  };
  const Row rows[] = {
      {ReplyState::kWaiting, IDC_REQ_TITLE, IDC_REQ_CANCEL, IDC_REQ_ANIMATE, "waiting"},
      {ReplyState::kConnected, IDC_REQ_TITLE_OK, IDC_REQ_CLOSE, IDC_REQ_OK_IMAGE, "connected"},
      {ReplyState::kRefused, IDC_REQ_TITLE_REJECT, IDC_REQ_CLOSE, IDC_REQ_NO_IMAGE, "refused"},
      {ReplyState::kFailed, IDC_REQ_TITLE_REJECT, IDC_REQ_CLOSE, IDC_REQ_NO_IMAGE, "failed"},
  };
  const int titles[] = {IDC_REQ_TITLE, IDC_REQ_TITLE_OK, IDC_REQ_TITLE_REJECT};
  const int pictures[] = {IDC_REQ_ANIMATE, IDC_REQ_OK_IMAGE, IDC_REQ_NO_IMAGE};
  const HWND dlg = wait.hwnd();
  for (bool japanese : {false, true}) {
    wait.SetRequestInfo({"PC-B", "uds1 - 10.0.0.2", "PRINTER - Acme - Laser 9"});
    wait.ShowDialog();
    ExpectCentredOnTop(dlg);
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (japanese ? " (Japanese)" : ""));
      const WaitDialogLook look = LookOfWaitDialog(row.state, japanese);
      wait.ShowLook(look);
      EXPECT_EQ(CaptionOf(dlg), look.caption);
      for (int id : titles) EXPECT_EQ(Shows(dlg, id), id == row.title) << id;
      for (int id : pictures) EXPECT_EQ(Shows(dlg, id), id == row.picture) << id;
      EXPECT_EQ(TextOf(dlg, row.title), look.title_text);
      EXPECT_EQ(Shows(dlg, IDC_REQ_CANCEL), row.button == IDC_REQ_CANCEL);
      EXPECT_EQ(Shows(dlg, IDC_REQ_CLOSE), row.button == IDC_REQ_CLOSE);
      EXPECT_EQ(TextOf(dlg, row.button), row.button == IDC_REQ_CANCEL ? look.cancel_text : look.close_text);
      EXPECT_EQ(TextOf(dlg, IDC_REQ_REMOTE_TEXT), look.remote_label);
      EXPECT_EQ(TextOf(dlg, IDC_REQ_DEVICE_TEXT), look.device_label);
      EXPECT_EQ(TextOf(dlg, IDC_REQ_REMOTE), "PC-B");
      EXPECT_EQ(TextOf(dlg, IDC_REQ_DEVICE), "PRINTER - Acme - Laser 9");
      EXPECT_EQ(wait.AnimationRunning(), row.state == ReplyState::kWaiting);
      if (japanese) {
        EXPECT_EQ(CharsetOf(dlg, IDC_REQ_SERVER_TEXT), SHIFTJIS_CHARSET);
        EXPECT_EQ(HeightOf(dlg, row.title), 25);
        EXPECT_EQ(HeightOf(dlg, IDC_REQ_SERVER), 25);
      }
      if (row.state == ReplyState::kWaiting) {
        const int first = wait.AnimationFrame();
        EXPECT_TRUE(WaitUntil([&] { return wait.AnimationFrame() != first; })) << "the animation plays";
      }
      EXPECT_TRUE(Screenshot(dlg, std::string("request-wait-") + row.name + (japanese ? "-ja" : "-en")));
    }
    wait.HideDialog();
    EXPECT_FALSE(wait.IsShown());
    EXPECT_FALSE(wait.AnimationRunning());
  }
}

TEST_F(Dialogs, ReplyDialogShowsItsTextsInBothLanguages) {
  const HWND dlg = reply.hwnd();
  for (bool japanese : {false, true}) {
    SCOPED_TRACE(japanese ? "Japanese" : "English");
    const ReplyDialogLook look = LookOfReplyDialog(japanese);
    reply.ApplyLook(look);
    reply.SetRequestInfo({"PC-B (10.0.0.21)", "uds1 - 10.0.0.2", "PRINTER - Acme - Laser 7"});
    reply.ShowDialog();
    ExpectCentredOnTop(dlg);
    EXPECT_EQ(CaptionOf(dlg), look.caption);
    EXPECT_EQ(TextOf(dlg, IDC_RECV_TITLE), look.title);
    EXPECT_EQ(TextOf(dlg, IDC_RECV_QUESTION), look.question);
    EXPECT_EQ(TextOf(dlg, IDC_RECV_ACCEPT), look.accept_text);
    EXPECT_EQ(TextOf(dlg, IDC_RECV_REJECT), look.reject_text);
    EXPECT_EQ(TextOf(dlg, IDC_RECV_SERVER_TEXT), look.server_label);
    EXPECT_EQ(TextOf(dlg, IDC_RECV_REMOTE), "PC-B (10.0.0.21)");
    if (japanese) {
      EXPECT_EQ(CharsetOf(dlg, IDC_RECV_QUESTION), SHIFTJIS_CHARSET);
      EXPECT_EQ(CharsetOf(dlg, IDC_RECV_ACCEPT), SHIFTJIS_CHARSET);
      EXPECT_EQ(HeightOf(dlg, IDC_RECV_TITLE), 25);
      EXPECT_EQ(HeightOf(dlg, IDC_RECV_DEVICE), 25);
    }
    EXPECT_TRUE(Screenshot(dlg, std::string("request-reply-") + (japanese ? "ja" : "en")));
    reply.HideDialog();
  }
  EXPECT_EQ(LookOfReplyDialog(false).caption, "Please reply to the request !");
}

// The facet as vessix.exe has it: the driver's event reaches the presenter,
// Timer_Request shows the reply dialog, Accept releases the device.
TEST_F(Dialogs, FacetShowsTheReplyDialogAfterTheTimerAndAcceptReleases) {
  testing::RequestBench bench;  // the tree with uds1's devices; its own fakes stay unused
  bool request_enabled = true;
  RequestFacet facet({.tree = &bench.f.tree,
                      .wait = &wait,
                      .reply = &reply,
                      .japanese = false,
                      .computer_name = testing::kThisPc,
                      .set_request_enabled = [&](bool on) { request_enabled = on; },
                      .show_message = {},
                      .closing = [] { return false; },
                      .refresh_selection = {},
                      .tree_busy = {}});
  EXPECT_EQ(CaptionOf(reply.hwnd()), "Please reply to the request !");
  auto record = testing::RequestRecord(kCodeAsk, "10.0.0.2", 3, "10.0.0.21", "PC-B");
  facet.Requests().OnRequestToUse(record, int(record.size()));
  EXPECT_FALSE(reply.IsShown());
  ASSERT_TRUE(WaitUntil([&] { return reply.IsShown(); })) << "Timer_Request shows it";
  EXPECT_EQ(TextOf(reply.hwnd(), IDC_RECV_REMOTE), "PC-B (10.0.0.21)");
  SendMessageW(GetDlgItem(reply.hwnd(), IDC_RECV_ACCEPT), BM_CLICK, 0, 0);
  EXPECT_FALSE(reply.IsShown());
  EXPECT_EQ(bench.Calls("10.0.0.2", bus::kIoctlReleaseDevice).size(), 1u);

  // The asking side: Request, then Cancel withdraws.
  bench.Select("10.0.0.2", "1");
  facet.Action_RequestExecute();
  EXPECT_TRUE(wait.IsShown());
  EXPECT_TRUE(facet.WaitDialogShown());
  EXPECT_FALSE(request_enabled);
  SendMessageW(GetDlgItem(wait.hwnd(), IDC_REQ_CANCEL), BM_CLICK, 0, 0);
  EXPECT_FALSE(wait.IsShown());
  EXPECT_EQ(bench.Sent().back(), (testing::SentRequest{"10.0.0.2", 1, kCodeWithdraw, "0.0.0.0"}));
}

}  // namespace
}  // namespace vx::requests::win32
