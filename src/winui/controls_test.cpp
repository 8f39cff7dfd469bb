#include "winui/controls.h"

#include <gtest/gtest.h>

#include "winui/test_support.h"

namespace vx::winui {
namespace {

class Controls : public ::testing::Test {
 protected:
  testing::HostWindow parent;
  const Rect box{10, 10, 200, 120};
};

TEST_F(Controls, TextsRoundTripUnicodeAndStates) {
  Edit edit = Edit::Create({.parent = parent.hwnd(), .id = 101, .bounds = box});
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit.Id(), 101);
  edit.SetText("192.168.0.10 – 株式会社");
  EXPECT_EQ(edit.Text(), "192.168.0.10 – 株式会社");
  edit.SetReadOnly(true);
  EXPECT_TRUE(edit.ReadOnly());
  edit.SetEnabled(false);
  EXPECT_FALSE(edit.Enabled());
  edit.SetVisible(false);
  EXPECT_FALSE(edit.Visible());
  edit.SetBounds(Rect{5, 6, 70, 20});
  EXPECT_EQ(edit.Bounds(), (Rect{5, 6, 70, 20}));
  EXPECT_EQ(Edit(nullptr).Text(), "");  // an empty view does nothing
}

TEST_F(Controls, RadioButtonsOfAGroupExcludeEachOther) {
  RadioButton bmp = RadioButton::Create(
      {.parent = parent.hwnd(), .id = 201, .bounds = {0, 0, 80, 20}, .text = "BMP", .first_of_group = true});
  RadioButton jpeg =
      RadioButton::Create({.parent = parent.hwnd(), .id = 202, .bounds = {0, 20, 80, 20}, .text = "JPEG"});
  RadioButton other_group = RadioButton::Create(
      {.parent = parent.hwnd(), .id = 203, .bounds = {0, 40, 80, 20}, .text = "PDF", .first_of_group = true});
  int clicks = 0;
  parent.OnCommand(202, [&](int code) { clicks += code == BN_CLICKED; });
  other_group.SetChecked(true);
  bmp.SetChecked(true);
  Button(jpeg.hwnd()).Click();
  EXPECT_TRUE(jpeg.Checked());
  EXPECT_FALSE(bmp.Checked());
  EXPECT_TRUE(other_group.Checked());
  EXPECT_EQ(clicks, 1);
}

TEST_F(Controls, ComboAndListBoxSelection) {
  ComboBox combo = ComboBox::Create({.parent = parent.hwnd(), .id = 301, .bounds = box});
  EXPECT_EQ(combo.Selected(), -1);
  combo.Add("English");
  combo.Add("日本語");
  combo.Select(1);
  EXPECT_EQ(combo.Selected(), 1);
  EXPECT_EQ(combo.ItemText(1), "日本語");
  EXPECT_EQ(combo.ItemText(5), "");
  combo.Clear();
  EXPECT_EQ(combo.Count(), 0);

  ListBox list = ListBox::Create({.parent = parent.hwnd(), .id = 302, .bounds = box});
  list.Add("PRINTER");
  list.Add("FAX");
  list.Select(1);
  EXPECT_EQ(list.ItemText(list.Selected()), "FAX");
}

TEST_F(Controls, ListViewRowsCellsChecksAndData) {
  ListView view = ListView::Create({.parent = parent.hwnd(), .id = 401, .bounds = box, .check_boxes = true});
  EXPECT_EQ(view.AddColumn("Printer", 100), 0);
  EXPECT_EQ(view.AddColumn("Port", 80), 1);
  int first = view.AddRow("LBP-01", 11);
  int second = view.AddRow("複合機", 22);
  view.SetCell(second, 1, "USB002");
  EXPECT_EQ(view.RowCount(), 2);
  EXPECT_EQ(view.Cell(second, 0), "複合機");
  EXPECT_EQ(view.Cell(second, 1), "USB002");
  EXPECT_EQ(view.Cell(7, 0), "");
  EXPECT_EQ(view.RowData(first), 11);
  view.SetChecked(second, true);
  EXPECT_TRUE(view.Checked(second));
  EXPECT_FALSE(view.Checked(first));
  view.Select(second);
  EXPECT_EQ(view.Selected(), second);
  view.Select(-1);
  EXPECT_EQ(view.Selected(), -1);
  EXPECT_TRUE(view.RemoveRow(first));
  EXPECT_EQ(view.RowData(0), 22);
}

TEST_F(Controls, TreeViewNavigationAndData) {
  TreeView tree = TreeView::Create({.parent = parent.hwnd(), .id = 501, .bounds = box});
  HTREEITEM server = tree.Add(nullptr, "MD-LAN01 (192.168.0.10)", 1);
  HTREEITEM printer = tree.Add(server, "Printer", 2);
  HTREEITEM scanner = tree.Add(server, "スキャナ", 3);
  HTREEITEM second_server = tree.Add(nullptr, "MD-LAN02", 4);
  EXPECT_EQ(tree.Count(), 4);
  EXPECT_EQ(tree.FirstChild(nullptr), server);
  EXPECT_EQ(tree.Next(server), second_server);
  EXPECT_EQ(tree.FirstChild(server), printer);
  EXPECT_EQ(tree.Next(printer), scanner);
  EXPECT_EQ(tree.Next(scanner), nullptr);
  EXPECT_EQ(tree.Parent(scanner), server);
  EXPECT_EQ(tree.ItemData(scanner), 3);
  EXPECT_EQ(tree.ItemText(scanner), "スキャナ");
  tree.SetItemText(printer, std::string(300, 'p'));
  EXPECT_EQ(tree.ItemText(printer), std::string(300, 'p'));
  tree.SetIndent(23);
  EXPECT_EQ(tree.Indent(), 23);
  EXPECT_TRUE(tree.Select(scanner));
  EXPECT_EQ(tree.Selected(), scanner);
  EXPECT_TRUE(tree.Remove(server));  // with its children
  EXPECT_EQ(tree.Count(), 1);
  tree.Clear();
  EXPECT_EQ(tree.Count(), 0);
}

TEST_F(Controls, ProgressHeldInRangeAndTabs) {
  ProgressBar progress = ProgressBar::Create({.parent = parent.hwnd(), .id = 601, .bounds = box});
  progress.SetRange(0, 512);
  progress.SetPosition(300);
  EXPECT_EQ(progress.Position(), 300);
  progress.SetPosition(9000);
  EXPECT_EQ(progress.Position(), 512);

  TabControl tabs = TabControl::Create({.parent = parent.hwnd(), .id = 602, .bounds = box});
  tabs.AddTab("General");
  tabs.AddTab("言語");
  EXPECT_EQ(tabs.Count(), 2);
  tabs.Select(1);
  EXPECT_EQ(tabs.Selected(), 1);
  Rect page = tabs.PageBounds();
  EXPECT_GT(page.top, box.top);
  EXPECT_LT(page.width, box.width);
}

}  // namespace
}  // namespace vx::winui
