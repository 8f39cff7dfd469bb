// The server tree matched against the real store: device records carry the
// index and queue name of their printer and fax elements, and the drawing
// and hint show them.
#include <gtest/gtest.h>

#include "app/settings_store.h"
#include "autoconnect/auto_connect_store.h"
#include "model/testing/model_fixture.h"
#include "model/tree_texts.h"
#include "platform/registry/fake_registry.h"

namespace vx::autoconnect {
namespace {

using model::testing::Bus;
using model::testing::Device;
using model::testing::Info;

AutoConnectInfo Registered(std::string sno, std::string product, std::string printer, std::string fax) {
  AutoConnectInfo i;
  i.ServerIP = "10.0.0.2";
  i.ServerMAC = "00:80:92:00:00:02";
  i.DeviceVid = "04B8";
  i.DevicePid = "0001";
  i.DeviceSNo = std::move(sno);
  i.DeviceManufacturer = "Acme";
  i.DeviceProduct = std::move(product);
  i.PrinterEnable = !printer.empty();
  i.PrinterName = std::move(printer);
  i.FaxEnable = !fax.empty();
  i.FaxName = std::move(fax);
  return i;
}

TEST(TreeLink, RegisteredDevicesAreMarkedInTheirRecordsDrawingAndHints) {
  FakeRegistry reg;
  const std::string base(app::kSettingsKey);
  ASSERT_TRUE(WriteDeviceReg(reg, base, Registered("A1", "Laser 9", "Laser Queue", "Laser Fax")));
  ASSERT_TRUE(WriteDeviceReg(reg, base, Registered("B2", "Ink 2", "Other Queue", "")));
  AutoConnectStore store(reg, base);
  store.ReadAutoConnectReg();

  model::testing::ModelFixture f(true, {}, nullptr, &store);
  f.driver.SetBusList({Bus("uds1", "10.0.0.2", 1)});
  bus::DeviceList list;
  list.devices = {Device(1, "MFP", "Acme", "Laser 9", "", 0, 0x04B8, 0x0001, "A1"),
                  Device(2, "PRINTER", "Acme", "Ink 2", "", 0, 0x04B8, 0x0001, "B2"),
                  Device(3, "PRINTER", "Acme", "Ink 3", "", 0, 0x04B8, 0x0001, "C3")};
  f.driver.SetDevices("10.0.0.2", list);
  f.info.replies["10.0.0.2"] = Info("00:80:92:00:00:02");
  f.list->RefreshServerList();
  f.info.Deliver();

  auto record = [&](const std::string& no) -> const model::DeviceData& {
    const model::NodeId id = f.DeviceNodeOf("10.0.0.2", no);
    return *f.tree.FindDevice(id)->data;
  };
  const model::DeviceData& both = record("1");
  EXPECT_EQ(both.AutoPrintIndex, 1);  // "Ink 2" sorts before "Laser 9"
  EXPECT_EQ(both.AutoPrintName, "Laser Queue");
  EXPECT_EQ(both.AutoFaxIndex, 0);
  EXPECT_EQ(both.AutoFaxName, "Laser Fax");
  const model::DeviceData& printer = record("2");
  EXPECT_EQ(printer.AutoPrintIndex, 0);
  EXPECT_EQ(printer.AutoPrintName, "Other Queue");
  EXPECT_EQ(printer.AutoFaxIndex, -1);
  const model::DeviceData& plain = record("3");
  EXPECT_EQ(plain.AutoPrintIndex, -1);
  EXPECT_EQ(plain.AutoPrintName, "");

  const model::ItemDrawing drawn = model::DrawDevice(both, false, true);
  ASSERT_EQ(drawn.labels.size(), 2u);
  EXPECT_EQ(drawn.labels[0].back, model::kAutoConnectBack);
  EXPECT_EQ(drawn.labels[1].dx, 139);
  EXPECT_TRUE(model::DrawDevice(plain, false, true).labels.empty());
  EXPECT_NE(model::DeviceHint(both, true).find("Laser Queue"), std::string::npos);
  EXPECT_NE(model::DeviceHint(both, true).find("Laser Fax"), std::string::npos);
}

}  // namespace
}  // namespace vx::autoconnect
