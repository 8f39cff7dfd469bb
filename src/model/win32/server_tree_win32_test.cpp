// The Win32 server tree under Wine: the control mirrors the model (texts,
// order, images, expansion, selection), custom draw paints the colours of
// each location, the hint texts and times, and the right button opens the
// menu of the node under the pointer.
#include "model/win32/server_tree_win32.h"

#include <gtest/gtest.h>

#include "model/testing/model_fixture.h"
#include "platform/text_codec.h"
#include "winui/test_support.h"

namespace vx::model::win32 {
namespace {

using testing::Bus;
using testing::Device;
using testing::Info;

constexpr int kTreeId = 120;

struct Win32Tree : ::testing::Test {
  winui::testing::HostWindow host;
  winui::TreeView control =
      winui::TreeView::Create({.parent = host.hwnd(), .id = kTreeId, .bounds = winui::Rect{0, 0, 600, 300}});
  ServerTreeWin32 tree{control, host, kTreeId};
  testing::ModelFixture f{true, {}, &tree};

  void SetUp() override {
    tree.Bind(f.presenter.get());
    f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1), Bus("moved", "10.0.5.2", 2), Bus("far", "10.9.0.5", 3)});
    bus::DeviceList l;
    l.devices = {Device(1, "PRINTER", "Acme", "Laser \"9\" 100%", "", 0),
                 Device(2, "SCANNER", "株式会社", "スキャナ", "PC-7", 2)};
    f.driver.SetDevices("10.0.0.2", l);
    f.driver.SetDevices("10.9.0.5", {});
    f.info.replies["10.0.0.2"] = Info("00:80:92:00:00:02");
    f.info.replies["10.0.5.2"] = Info("00:80:92:00:05:02", 1, "MD-LAN01");
    f.info.replies["10.9.0.5"] = Info("00:80:92:00:09:05");
    f.list->RefreshServerList();
    f.info.Deliver();
    f.list->RefreshServerList();  // the re-addressable model's suffix
  }

  std::vector<std::string> Texts(HTREEITEM parent) {
    std::vector<std::string> out;
    for (HTREEITEM i = control.FirstChild(parent); i; i = control.Next(i)) out.push_back(control.ItemText(i));
    return out;
  }
  int Image(NodeId id) {
    TVITEMW item{};
    item.mask = TVIF_IMAGE;
    item.hItem = tree.Item(id);
    SendMessageW(control.hwnd(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }
  POINT LabelCentre(NodeId id) {
    RECT r{};
    tree.LabelRect(tree.Item(id), &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  NMTVCUSTOMDRAW Draw(NodeId id, bool selected) {
    NMTVCUSTOMDRAW d{};
    d.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    d.nmcd.lItemlParam = static_cast<LPARAM>(id);
    d.nmcd.uItemState = selected ? CDIS_SELECTED : 0;
    tree.CustomDraw(d);
    return d;
  }
};

TEST_F(Win32Tree, ControlShowsTheModelsTextsOrderImagesAndExpansion) {
  EXPECT_EQ(Texts(nullptr),
            (std::vector<std::string>{
                "far - 10.9.0.5 [Online]", "uds1 - 10.0.0.2",
                "moved - 10.0.5.2 [サーバをダブルクリックして、IPアドレスを変更してください。]"}));
  const NodeId uds1 = f.Server("10.0.0.2")->id;
  EXPECT_EQ(Texts(tree.Item(uds1)),
            (std::vector<std::string>{"PRINTER - Acme - Laser \"9\" 100%",
                                      "SCANNER - 株式会社 - スキャナ [ 手動接続： PC-7 ]"}));
  EXPECT_EQ(Image(f.Server("10.9.0.5")->id), 9);
  EXPECT_EQ(Image(uds1), 0);
  EXPECT_EQ(Image(f.DeviceNodeOf("10.0.0.2", "2")), 2);
  EXPECT_TRUE(tree.IsExpanded(uds1));
  EXPECT_FALSE(f.list->Flags().programmatic_expand) << "the control reported its expansion back";
  EXPECT_FALSE(f.list->Flags().user_expand);

  // Removal of the server with its devices leaves nothing behind.
  f.driver.SetBusList({Bus("far", "10.9.0.5", 3)});
  f.list->RefreshServerList();
  EXPECT_EQ(Texts(nullptr), (std::vector<std::string>{"far - 10.9.0.5 [Online]"}));
  EXPECT_EQ(control.Count(), 1);
}

TEST_F(Win32Tree, SelectionIsMirroredWithoutReportingBack) {
  const NodeId device = f.DeviceNodeOf("10.0.0.2", "1");
  f.tree.Select(device);
  EXPECT_EQ(control.Selected(), tree.Item(device));
  EXPECT_FALSE(f.host.timer_running) << "a programmatic selection starts no click timer";
  f.tree.ClearSelection();
  EXPECT_EQ(control.Selected(), nullptr);
}

TEST_F(Win32Tree, CustomDrawColoursPerLocationAndDevice) {
  auto local = Draw(f.Server("10.0.0.2")->id, false);
  EXPECT_EQ(local.clrText, RGB(0, 0, 0x80));
  EXPECT_EQ(local.clrTextBk, RGB(255, 255, 255));
  auto remote = Draw(f.Server("10.9.0.5")->id, true);
  EXPECT_EQ(remote.clrText, RGB(0, 0, 255));
  EXPECT_EQ(remote.clrTextBk, RGB(0xDC, 0xDC, 0xDC));
  EXPECT_EQ(remote.nmcd.uItemState & CDIS_SELECTED, 0u) << "the system highlight is not used";
  EXPECT_EQ(Draw(f.Server("10.0.5.2")->id, false).clrText, RGB(255, 0, 0));
  auto device = Draw(f.DeviceNodeOf("10.0.0.2", "1"), false);
  EXPECT_EQ(device.clrText, RGB(0x80, 0, 0));
  EXPECT_EQ(device.clrTextBk, RGB(0xFE, 0xFF, 0xFF));
}

TEST_F(Win32Tree, PaintedTreeShowsTheLocationColours) {
  host.SetBounds(winui::Rect{0, 0, 640, 360});
  host.Show();
  RedrawWindow(control.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  auto has_colour = [&](NodeId id, COLORREF colour) {
    RECT r{};
    tree.LabelRect(tree.Item(id), &r);
    HDC dc = GetDC(control.hwnd());
    bool found = false;
    for (int y = r.top; y < r.bottom && !found; ++y)
      for (int x = r.left; x < r.right && !found; ++x) found = GetPixel(dc, x, y) == colour;
    ReleaseDC(control.hwnd(), dc);
    return found;
  };
  EXPECT_TRUE(has_colour(f.Server("10.0.5.2")->id, RGB(255, 0, 0)));
  EXPECT_TRUE(has_colour(f.Server("10.9.0.5")->id, RGB(0, 0, 255)));
  EXPECT_TRUE(has_colour(f.Server("10.0.0.2")->id, RGB(0, 0, 0x80)));
  EXPECT_FALSE(has_colour(f.Server("10.0.0.2")->id, RGB(255, 0, 0)));
}

TEST_F(Win32Tree, HintTextsAndTimes) {
  ASSERT_NE(tree.tooltip(), nullptr);
  EXPECT_EQ(SendMessageW(tree.tooltip(), TTM_GETDELAYTIME, TTDT_INITIAL, 0), 500);
  EXPECT_EQ(SendMessageW(tree.tooltip(), TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 3000);
  const std::string server_hint = tree.HintAt(LabelCentre(f.Server("10.0.0.2")->id));
  EXPECT_EQ(server_hint.rfind(" サーバ名： uds1 \n サーバのIPアドレス：10.0.0.2 ", 0), 0u) << server_hint;
  const std::string device_hint = tree.HintAt(LabelCentre(f.DeviceNodeOf("10.0.0.2", "2")));
  EXPECT_NE(device_hint.find(" 使用者：PC-7 "), std::string::npos) << device_hint;
  EXPECT_EQ(tree.HintAt(POINT{590, 290}), "") << "off every label";
  f.list->SetJapanese(false);
  EXPECT_EQ(tree.HintAt(LabelCentre(f.Server("10.0.0.2")->id)), "");
}

TEST_F(Win32Tree, RightButtonSelectsTheNodeAndOpensItsMenu) {
  std::vector<TreePopup> opened;
  tree.OnPopup([&](TreePopup p) { opened.push_back(p); });
  const NodeId device = f.DeviceNodeOf("10.0.0.2", "2");
  const POINT at = LabelCentre(device);
  SendMessageW(control.hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  ASSERT_EQ(opened, (std::vector<TreePopup>{TreePopup::kForDevice}));
  EXPECT_EQ(f.tree.Selected(), device);
  EXPECT_EQ(control.Selected(), tree.Item(device));
  EXPECT_EQ(f.commands.log.back(), "device 10.0.0.2/2");
  const POINT server = LabelCentre(f.Server("10.9.0.5")->id);
  SendMessageW(control.hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(server.x, server.y));
  EXPECT_EQ(opened.back(), TreePopup::kForServer);
}

// The control asks before a user collapse (Wine's keyboard collapse does not
// ask, so the notification is sent as Windows sends it).
TEST_F(Win32Tree, CollapseIsRefusedWhileTheClickTimerRunsOnTheSelectedServer) {
  const NodeId uds1 = f.Server("10.0.0.2")->id;
  f.tree.Select(uds1);
  auto ask = [&] {
    NMTREEVIEWW tv{};
    tv.hdr.hwndFrom = control.hwnd();
    tv.hdr.idFrom = kTreeId;
    tv.hdr.code = TVN_ITEMEXPANDINGW;
    tv.action = TVE_COLLAPSE;
    tv.itemNew.hItem = tree.Item(uds1);
    tv.itemNew.lParam = static_cast<LPARAM>(uds1);
    return SendMessageW(host.hwnd(), WM_NOTIFY, kTreeId, reinterpret_cast<LPARAM>(&tv));
  };
  f.host.timer_running = true;
  EXPECT_EQ(ask(), TRUE) << "refused";
  EXPECT_FALSE(f.list->Flags().user_collapse);
  f.host.timer_running = false;
  EXPECT_EQ(ask(), FALSE);
  EXPECT_TRUE(f.list->Flags().user_collapse);
}

}  // namespace
}  // namespace vx::model::win32
