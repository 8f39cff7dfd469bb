// Device profiles, device reports, the values made from them, and the shipped
// templates rendered for the demo's devices: the keys and values the
// classification reads are there and point at each other.
#include "pnp_profile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/registry/fake_registry.h"

namespace vx::lab::pnp {
namespace {

using ::testing::HasSubstr;

constexpr RegRoot kLm = RegRoot::kLocalMachine;
const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum\\";
const std::string kClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
const std::string kPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

DeviceReport Device(int no, uint16_t vid, uint16_t pid, const char* manufacturer, const char* product,
                    const char* serial, const char* profile) {
  DeviceReport d;
  d.device_no = no;
  d.vid = vid;
  d.pid = pid;
  d.manufacturer = manufacturer;
  d.product = product;
  d.serial = serial;
  d.pnp = PnpProfile{profile, {}};
  return d;
}

std::string Str(const FakeRegistry& reg, const std::string& key, const char* name) {
  return reg.GetString(kLm, key, name).value_or("<missing>");
}

std::vector<std::string> Multi(const FakeRegistry& reg, const std::string& key, const char* name) {
  std::vector<std::string> out;
  auto v = reg.Get(kLm, key, name);
  if (!v || v->type != kRegMultiSz) return out;
  for (size_t at = 0; at < v->data.size();) {
    size_t end = v->data.find('\0', at);
    if (end == std::string::npos || end == at) break;
    out.push_back(v->data.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

std::vector<std::string> SubKeys(FakeRegistry& reg, const std::string& key) {
  std::vector<std::string> names;
  auto k = reg.Open(kLm, key, RegAccess::kQuery);
  if (k.status == RegStatus::kOk) k.key->EnumSubKeys(&names);
  return names;
}

void Render(FakeRegistry* reg, const DeviceReport& d) {
  RenderResult r = RenderDevice(VX_PNP_TEMPLATES, d);
  ASSERT_TRUE(r.ok) << r.error;
  auto error = reg->Load(r.text);
  ASSERT_FALSE(error) << *error;
}

// The printer-class child below Enum\ENUMERATOR whose instance name contains
// `prefix` and that has a driver: its instance id, as the queue's PnPData names it.
std::string PrinterChild(FakeRegistry& reg, const std::string& enumerator, const std::string& prefix) {
  for (const auto& hwid : SubKeys(reg, kEnum + enumerator))
    for (const auto& inst : SubKeys(reg, kEnum + enumerator + "\\" + hwid))
      if (inst.find(prefix) != std::string::npos &&
          !reg.GetString(kLm, kEnum + enumerator + "\\" + hwid + "\\" + inst, "Driver").value_or("").empty())
        return enumerator + "\\" + hwid + "\\" + inst;
  return "";
}

TEST(PnpProfile, ReadsANameOrAnObjectWithOverrides) {
  std::string why;
  auto p = ParsePnpProfile("printer", &why);
  ASSERT_TRUE(p) << why;
  EXPECT_EQ(p->profile, "printer");
  EXPECT_TRUE(p->overrides.empty());
  p = ParsePnpProfile(nlohmann::json::parse(R"({"profile": "mfp-dot4-fax", "queue": "Front desk",
                                               "twain_ds": "Vessix Lab Scanner"})"),
                      &why);
  ASSERT_TRUE(p) << why;
  EXPECT_EQ(p->overrides.at("queue"), "Front desk");
  EXPECT_EQ(ParsePnpProfile(PnpProfileJson(*p), &why), p) << "the object form reads back";
  for (const char* bad : {
           R"(5)",
           R"(null)",
           R"([])",
           R"("")",
           R"("Printer")",
           R"("../printer")",
           R"("a234567890123456789012345678901x")",
           R"({"queue": "x"})",
           R"({"profile": 1})",
           R"({"profile": "printer", "vid": "1234"})",
           R"({"profile": "printer", "serial": "x"})",
           R"({"profile": "printer", "queu": "x"})",
           R"({"profile": "printer", "queue": 5})",
           R"({"profile": "printer", "queue": ""})",
           R"({"profile": "printer", "queue": "caf\u00e9"})",
           R"({"profile": "printer", "queue": "a\nb"})",
       }) {
    EXPECT_FALSE(ParsePnpProfile(nlohmann::json::parse(bad), &why)) << bad;
    EXPECT_THAT(why, HasSubstr("\"pnp\"")) << bad;
  }
  nlohmann::json long_text = {{"profile", "printer"}, {"queue", std::string(kMaxPnpText + 1, 'q')}};
  EXPECT_FALSE(ParsePnpProfile(long_text, &why));
  long_text["queue"] = std::string(kMaxPnpText, 'q');
  EXPECT_TRUE(ParsePnpProfile(long_text, &why));
}

TEST(PnpProfile, DeviceReportsRoundTripAndRefuseBadBytes) {
  DeviceReport d = Device(3, 0x04B8, 0x0E03, "Acme", "Laser 9", "LS9-0001", "printer");
  d.owner = "VXPC1";
  d.hold = 7;
  d.usb_class = "PRINTER";
  std::string why;
  auto back = ParseDeviceReport(DeviceReportJson(d).dump(), &why);
  ASSERT_TRUE(back) << why;
  EXPECT_EQ(back->device_no, 3);
  EXPECT_EQ(back->vid, 0x04B8);
  EXPECT_EQ(back->pid, 0x0E03);
  EXPECT_EQ(back->serial, "LS9-0001");
  EXPECT_EQ(back->owner, "VXPC1");
  EXPECT_EQ(back->hold, 7u);
  EXPECT_EQ(back->pnp, d.pnp);
  d.pnp.reset();
  back = ParseDeviceReport(DeviceReportJson(d).dump(), &why);
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->pnp);

  std::string full = DeviceReportJson(Device(1, 1, 2, "m", "p", "s", "printer")).dump();
  for (size_t n = 0; n < full.size(); ++n)
    EXPECT_FALSE(ParseDeviceReport(std::string_view(full).substr(0, n), &why)) << "cut at " << n;
  for (const char* bad : {
           R"([])",
           R"({"vid": "0001", "pid": "0002"})",
           R"({"device_no": 128, "vid": "0001", "pid": "0002"})",
           R"({"device_no": -1, "vid": "0001", "pid": "0002"})",
           R"({"device_no": 1, "vid": "00001", "pid": "0002"})",
           R"({"device_no": 1, "vid": "00G1", "pid": "0002"})",
           R"({"device_no": 1, "vid": 1, "pid": "0002"})",
           R"({"device_no": 1, "vid": "0001", "pid": "0002", "serial": 5})",
           R"({"device_no": 1, "vid": "0001", "pid": "0002", "hold": -1})",
           R"({"device_no": 1, "vid": "0001", "pid": "0002", "hold": 4294967296})",
           R"({"device_no": 1, "vid": "0001", "pid": "0002", "pnp": "Bad Name"})",
       }) {
    EXPECT_FALSE(ParseDeviceReport(bad, &why)) << bad;
  }
  nlohmann::json long_serial = nlohmann::json::parse(full);
  long_serial["serial"] = std::string(64, 's');
  EXPECT_FALSE(ParseDeviceReport(long_serial.dump(), &why));
}

TEST(PnpProfile, ValuesAreStablePerDeviceAndDifferBetweenDevices) {
  DeviceReport a = Device(1, 0x04b8, 0x0e03, "Acme", "Laser 9", "LS9-0001", "printer");
  DeviceReport b = Device(1, 0x04b8, 0x0e03, "Acme", "Laser 9", "LS9-0088", "printer");
  Values va = DeviceValues(a), vb = DeviceValues(b);
  EXPECT_EQ(va, DeviceValues(a));
  EXPECT_EQ(va["vid"], "04B8");
  EXPECT_EQ(va["pid"], "0E03");
  EXPECT_EQ(va["instance"], "LS9-0001");
  EXPECT_EQ(va["queue"], "Acme Laser 9 Series");
  EXPECT_EQ(va["driver"], "Acme Laser 9 Series");
  EXPECT_THAT(va["port"], ::testing::MatchesRegex("USB0[0-9][0-9]"));
  EXPECT_THAT(va["printer_hwid"], ::testing::MatchesRegex("AcmeLaser9[0-9A-F]{4}"));
  for (const char* k : {"prefix1", "prefix2", "drv1", "printer_hwid"}) EXPECT_NE(va[k], vb[k]) << k;
  std::set<std::string> drivers, prefixes;
  for (int k = 1; k <= 10; ++k) drivers.insert(va["drv" + std::to_string(k)]);
  for (int k = 1; k <= 6; ++k) prefixes.insert(va["prefix" + std::to_string(k)]);
  EXPECT_EQ(drivers.size(), 10u) << "driver keys of one device never collide";
  EXPECT_EQ(prefixes.size(), 6u);
  EXPECT_THAT(va["drv1"], ::testing::MatchesRegex("[0-9]{4}"));
  EXPECT_THAT(va["prefix1"], ::testing::MatchesRegex("6&[0-9a-f]+&0"));

  // Overrides win; the identity does not move.
  a.pnp->overrides = {{"queue", "Front desk"}, {"instance", "OWN-NAME"}};
  va = DeviceValues(a);
  EXPECT_EQ(va["queue"], "Front desk");
  EXPECT_EQ(va["driver"], "Acme Laser 9 Series");
  EXPECT_EQ(va["instance"], "OWN-NAME");
  EXPECT_EQ(va["serial"], "LS9-0001");

  // The DOT4 device's ports and hardware ids are of its kind.
  Values vm = DeviceValues(Device(1, 0x03F0, 0x5417, "Orbit", "OfficeJet MX", "MX-55120", "mfp-dot4-fax"));
  EXPECT_THAT(vm["port"], ::testing::MatchesRegex("DOT4_0[0-9][0-9]"));
  EXPECT_NE(vm["port"], vm["fax_port"]);
  EXPECT_THAT(vm["printer_hwid"], ::testing::MatchesRegex("Orbit_OfficeJet_MX[0-9A-F]{4}"));
  EXPECT_EQ(vm["fax_queue"], "Orbit OfficeJet MX Fax");
  EXPECT_EQ(vm["scanner_name"], "Orbit OfficeJet MX Scanner");
}

TEST(PnpProfile, ASerialWindowsCannotUseGivesALocationInstance) {
  for (const char* serial : {"", "A,B", "A\\B", " lead", "caf\xC3\xA9"}) {
    Values v = DeviceValues(Device(4, 1, 2, "m", "p", serial, "printer"));
    EXPECT_THAT(v["instance"], ::testing::MatchesRegex("5&[0-9a-f]+&0&5")) << serial;
  }
  EXPECT_NE(DeviceValues(Device(4, 1, 2, "m", "p", "", "printer"))["instance"],
            DeviceValues(Device(4, 1, 3, "m", "p", "", "printer"))["instance"]);
}

TEST(PnpProfile, NamesWithQuotesAndBackslashesAreEscapedOrRefusedClearly) {
  DeviceReport d = Device(1, 0x04B8, 0x0E03, "Acme \"Pro\"", "Laser\\9", "LS9-0001", "printer");
  RenderResult r = RenderDevice(VX_PNP_TEMPLATES, d);
  EXPECT_FALSE(r.ok) << "a queue name with a backslash is no key name";
  EXPECT_THAT(r.error, HasSubstr("printer.reg: line"));
  EXPECT_THAT(r.error, HasSubstr("\"queue\""));
  d.pnp->overrides["queue"] = "Acme \"Pro\" Laser 9";
  FakeRegistry reg;
  Render(&reg, d);
  std::string queue = kPrinters + "Acme \"Pro\" Laser 9";
  EXPECT_EQ(Str(reg, queue, "Printer Driver"), "Acme \"Pro\" Laser\\9 Series");
  EXPECT_EQ(Str(reg, kEnum + "USB\\VID_04B8&PID_0E03\\LS9-0001", "Mfg"), "Acme \"Pro\"");
  EXPECT_FALSE(RenderDevice(VX_PNP_TEMPLATES, Device(1, 1, 2, "m", "p", "s", "no-such")).ok);
  DeviceReport none = d;
  none.pnp.reset();
  EXPECT_THAT(RenderDevice(VX_PNP_TEMPLATES, none).error, HasSubstr("no Plug and Play profile"));
}

TEST(PnpTemplates, PrinterNodeChildAndQueuePointAtEachOther) {
  FakeRegistry reg;
  Render(&reg, Device(1, 0x04B8, 0x0E03, "Acme", "Laser 9", "LS9-0001", "printer"));
  std::string node = kEnum + "USB\\VID_04B8&PID_0E03\\LS9-0001";
  EXPECT_EQ(Multi(reg, node, "CompatibleIDs"),
            (std::vector<std::string>{"USB\\Class_07&SubClass_01&Prot_02", "USB\\Class_07&SubClass_01",
                                      "USB\\Class_07"}));
  EXPECT_EQ(Multi(reg, node, "HardwareID").size(), 2u);
  EXPECT_EQ(Str(reg, node, "Class"), "USB");
  EXPECT_EQ(Str(reg, node, "Service"), "usbprint");
  EXPECT_TRUE(reg.KeyExists(kLm, kClass + Str(reg, node, "Driver")));
  std::string child = PrinterChild(reg, "USBPRINT", Str(reg, node, "ParentIdPrefix"));
  ASSERT_FALSE(child.empty());
  std::string queue = kPrinters + "Acme Laser 9 Series";
  EXPECT_EQ(Str(reg, queue + "\\PnPData", "DeviceInstanceId"), child);
  EXPECT_EQ(Str(reg, queue, "Printer Driver"), "Acme Laser 9 Series");
  EXPECT_THAT(Str(reg, queue, "Port"), ::testing::MatchesRegex("USB0[0-9][0-9]"));
}

TEST(PnpTemplates, ScannerIsAStillImageDeviceWithItsNames) {
  FakeRegistry reg;
  DeviceReport d = Device(2, 0x04A9, 0x1912, "Acme", "Flatbed 300", "FB3-7731", "scanner");
  d.pnp->overrides["twain_ds"] = "Vessix Lab Scanner";
  Render(&reg, d);
  std::string node = kEnum + "USB\\VID_04A9&PID_1912\\FB3-7731";
  EXPECT_EQ(Multi(reg, node, "CompatibleIDs").front(), "USB\\Class_ff&SubClass_ff&Prot_ff");
  EXPECT_EQ(Str(reg, node, "Class"), "Image");
  EXPECT_EQ(Str(reg, node, "Service"), "usbscan");
  std::string driver = kClass + Str(reg, node, "Driver");
  EXPECT_EQ(Str(reg, driver, "SubClass"), "StillImage");
  auto type = reg.Get(kLm, driver, "DeviceType");
  ASSERT_TRUE(type);
  EXPECT_EQ(type->data, std::string("\1\0\0\0", 4));
  EXPECT_EQ(Str(reg, driver, "FriendlyName"), "Acme Flatbed 300");
  EXPECT_EQ(Str(reg, driver + "\\DeviceData", "TwainDS"), "Vessix Lab Scanner");
  EXPECT_THAT(Str(reg, driver, "DeviceID"),
              ::testing::MatchesRegex("\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F\\}\\\\[0-9]{4}"));
}

TEST(PnpTemplates, CompositeInterfacesHangOffTheDevicePrefix) {
  FakeRegistry reg;
  Render(&reg, Device(5, 0x2C1E, 0x0230, "Orvane", "MF-640", "X3JK004512", "composite"));
  std::string node = kEnum + "USB\\VID_2C1E&PID_0230\\X3JK004512";
  EXPECT_EQ(Multi(reg, node, "CompatibleIDs").back(), "USB\\COMPOSITE");
  std::string prefix = Str(reg, node, "ParentIdPrefix");
  const char* first_ids[] = {"USB\\Class_07&SubClass_01&Prot_02", "USB\\Class_ff&SubClass_ff&Prot_ff",
                             "USB\\Class_08&SubClass_06&Prot_50"};
  for (int n = 0; n < 3; ++n) {
    std::string parent = kEnum + "USB\\VID_2C1E&PID_0230&MI_0" + std::to_string(n);
    auto instances = SubKeys(reg, parent);
    ASSERT_EQ(instances.size(), 1u) << n;
    EXPECT_EQ(instances[0], prefix + "&000" + std::to_string(n));
    EXPECT_EQ(Multi(reg, parent + "\\" + instances[0], "CompatibleIDs").front(), first_ids[n]);
  }
  std::string printer_if = kEnum + "USB\\VID_2C1E&PID_0230&MI_00\\" + prefix + "&0000";
  std::string child = PrinterChild(reg, "USBPRINT", Str(reg, printer_if, "ParentIdPrefix"));
  EXPECT_EQ(Str(reg, kPrinters + "Orvane MF-640 Series\\PnPData", "DeviceInstanceId"), child);
  std::string scanner_if = kEnum + "USB\\VID_2C1E&PID_0230&MI_01\\" + prefix + "&0001";
  EXPECT_EQ(Str(reg, kClass + Str(reg, scanner_if, "Driver") + "\\DeviceData", "TwainDS"),
            "Orvane MF-640 TWAIN");
}

TEST(PnpTemplates, Dot4MultifunctionBridgesToPrintFaxAndScanFunctions) {
  FakeRegistry reg;
  Render(&reg, Device(1, 0x03F0, 0x5417, "Orbit", "OfficeJet MX", "MX-55120", "mfp-dot4-fax"));
  std::string node = kEnum + "USB\\VID_03F0&PID_5417\\MX-55120";
  std::string prefix = Str(reg, node, "ParentIdPrefix");
  std::string dot4_if = kEnum + "USB\\VID_03F0&PID_5417&MI_01\\" + prefix + "&0001";
  EXPECT_EQ(Multi(reg, dot4_if, "CompatibleIDs").front(), "USB\\Class_07&SubClass_01&Prot_03");
  EXPECT_EQ(Str(reg, dot4_if, "Service"), "Dot4Usb");
  // The bridge: found by the interface's first hardware id + "&DOT4" and its prefix.
  std::string hwid = Multi(reg, dot4_if, "HardwareID").front();
  std::string bridge_parent = kEnum + "DOT4USB\\" + hwid.substr(4) + "&DOT4";
  auto bridges = SubKeys(reg, bridge_parent);
  ASSERT_EQ(bridges.size(), 1u);
  EXPECT_NE(bridges[0].find(Str(reg, dot4_if, "ParentIdPrefix")), std::string::npos);
  std::string bridge = bridge_parent + "\\" + bridges[0];
  EXPECT_EQ(Str(reg, bridge, "Service"), "Dot4");
  auto functions = SubKeys(reg, bridge + "\\Device Parameters\\Functions");
  EXPECT_EQ(functions, (std::vector<std::string>{"FAX_VXL", "PRINT_VXL", "SCAN_VXL"}));
  std::string bridge_hwid = Multi(reg, bridge, "HardwareID").front();
  std::map<std::string, std::string> function_node;
  for (const auto& f : functions) {
    std::string parent = kEnum + "DOT4\\" + bridge_hwid.substr(8) + "&" + f;
    auto inst = SubKeys(reg, parent);
    ASSERT_EQ(inst.size(), 1u) << f;
    EXPECT_NE(inst[0].find(Str(reg, bridge, "ParentIdPrefix")), std::string::npos) << f;
    function_node[f] = parent + "\\" + inst[0];
  }
  EXPECT_EQ(Str(reg, function_node["PRINT_VXL"], "Class"), "Dot4Print");
  EXPECT_EQ(Str(reg, function_node["FAX_VXL"], "Class"), "Dot4Print");
  EXPECT_EQ(Str(reg, function_node["SCAN_VXL"], "Class"), "Image");
  EXPECT_EQ(Str(reg, function_node["SCAN_VXL"], "Service"), "Dot4Scan");
  std::string print_child =
      PrinterChild(reg, "DOT4PRT", Str(reg, function_node["PRINT_VXL"], "ParentIdPrefix"));
  std::string fax_child = PrinterChild(reg, "DOT4PRT", Str(reg, function_node["FAX_VXL"], "ParentIdPrefix"));
  EXPECT_EQ(Str(reg, kPrinters + "Orbit OfficeJet MX Series\\PnPData", "DeviceInstanceId"), print_child);
  EXPECT_EQ(Str(reg, kPrinters + "Orbit OfficeJet MX Fax\\PnPData", "DeviceInstanceId"), fax_child);
  EXPECT_EQ(Str(reg, kPrinters + "Orbit OfficeJet MX Fax", "Printer Driver"), "Orbit OfficeJet MX Fax");
  std::string scan_driver = kClass + Str(reg, function_node["SCAN_VXL"], "Driver");
  EXPECT_EQ(Str(reg, scan_driver, "FriendlyName"), "Orbit OfficeJet MX Scanner");
  // The card reader on interface 0.
  EXPECT_EQ(Str(reg, kEnum + "USB\\VID_03F0&PID_5417&MI_00\\" + prefix + "&0000", "Service"), "USBSTOR");
}

TEST(PnpTemplates, StorageAndTwoDevicesInOnePrefixKeepTheirOwnKeys) {
  FakeRegistry reg;
  Render(&reg, Device(3, 0x0781, 0x5581, "Kumo", "Pocket Disk 64", "4C530001", "storage"));
  std::string node = kEnum + "USB\\VID_0781&PID_5581\\4C530001";
  EXPECT_EQ(Str(reg, node, "Service"), "USBSTOR");
  EXPECT_EQ(Multi(reg, node, "CompatibleIDs").back(), "USB\\Class_08");
  EXPECT_EQ(SubKeys(reg, kEnum + "USBSTOR").size(), 1u);

  // Two scanners of one model: each its own still-image driver key.
  FakeRegistry two;
  Render(&two, Device(1, 0x04A9, 0x1912, "Acme", "Flatbed 300", "FB3-0001", "scanner"));
  Render(&two, Device(2, 0x04A9, 0x1912, "Acme", "Flatbed 300", "FB3-0002", "scanner"));
  std::string d1 = Str(two, kEnum + "USB\\VID_04A9&PID_1912\\FB3-0001", "Driver");
  std::string d2 = Str(two, kEnum + "USB\\VID_04A9&PID_1912\\FB3-0002", "Driver");
  EXPECT_NE(d1, d2);
  // Rendering the same device again changes nothing (it is connected again).
  std::string before = two.Dump();
  Render(&two, Device(1, 0x04A9, 0x1912, "Acme", "Flatbed 300", "FB3-0001", "scanner"));
  EXPECT_EQ(two.Dump(), before);
}

TEST(PnpTemplates, EveryDemoDeviceWithAProfileRendersAndKeepsItsOwnKeys) {
  int rendered = 0;
  FakeRegistry reg;
  for (const char* file : {"servers.json", "remote.json"}) {
    std::ifstream in(std::string(VX_DEMO_DIR) + "/" + file);
    auto config = nlohmann::json::parse(in);
    for (const auto& server : config["servers"]) {
      for (auto device : server.value("devices", nlohmann::json::array())) {
        if (!device.contains("pnp")) continue;
        device["owner"] = "VXPC1";
        std::string why;
        auto report = ParseDeviceReport(device.dump(), &why);
        ASSERT_TRUE(report) << server["name"] << ": " << why;
        Render(&reg, *report);
        ++rendered;
      }
    }
  }
  EXPECT_EQ(rendered, 6) << "printer, scanner, multifunction device, stick, two more printers";
  // Two printers of one model (Office-1F, Lab-Annex): two device nodes, and two queues, the
  // second named as Windows names a second queue of one driver.
  EXPECT_EQ(SubKeys(reg, kEnum + "USB\\VID_04B8&PID_0E03").size(), 2u);
  std::string first = Str(reg, kPrinters + "Acme Laser 9 Series\\PnPData", "DeviceInstanceId");
  std::string second = Str(reg, kPrinters + "Acme Laser 9 Series (Copy 1)\\PnPData", "DeviceInstanceId");
  EXPECT_NE(first, second);
  EXPECT_NE(first, "<missing>");
  EXPECT_NE(second, "<missing>");
}

}  // namespace
}  // namespace vx::lab::pnp
