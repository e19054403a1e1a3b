// Views of sections whose data platsim builds: the boot script (against the
// board's own record text), a button press and SMI replies in the line
// formats people's scripts read.
#include "Framework/BootScriptSave.h"
#include "sim/report/SectionViews.h"
#include "sim/smm/BootScript.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;

sim::report::Lines Render(const char *key, const json &data, int verbosity = 2) {
  sim::report::Lines lines;
  sim::report::FindSectionView(key)->Render(data, verbosity, lines);
  return lines;
}

TEST(StoryView, BootScriptLinesAreTheRecordsOwnText) {
  using sim::ScriptEntry;
  using sim::ScriptForm;
  const ScriptEntry entries[] = {
      {ScriptForm::Framework, 0, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, 0, 0x2E, 1, {0x25}, 0, 0, ""},
      {ScriptForm::Pi, 0, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, 2, 0x500, 1, {0x42}, 0, 0, ""},
      {ScriptForm::Framework, 0, EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE, 0, 0x2F, 0, {}, 0x20, 0, ""},
      {ScriptForm::Pi, 0, EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE, 1, 0x438, 0, {}, 0x42, 0xFF00, ""},
      {ScriptForm::Framework,
       0,
       EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE,
       2,
       0x001F00B8,
       0,
       {},
       0x4,
       0xFFFFFFF3,
       ""},
  };
  json data = json::array();
  for (const ScriptEntry &e : entries)
    data.push_back(e.ToJson());
  auto lines = Render("boot_script", data);
  ASSERT_EQ(lines.size(), std::size(entries));
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i], entries[i].ToString());
  EXPECT_EQ(Render("boot_script", json::array()), sim::report::Lines{"empty"});
}

TEST(StoryView, ButtonPressAndSmiReplies) {
  const json press = {{"button", "BrightnessUpButton"},
                      {"ec_bit", 4},
                      {"acpi_mode", false},
                      {"brightness_before", 52},
                      {"backlight_level_before", 0x9C},
                      {"events",
                       {{{"event", "press"},
                         {"key_codes", ""},
                         {"brightness", 60},
                         {"backlight_level", 0xB0},
                         {"os_notifications", 1},
                         {"port_accesses", 28}},
                        {{"event", "release"},
                         {"key_codes", "e030"},
                         {"brightness", 60},
                         {"backlight_level", 0xB0},
                         {"os_notifications", 0},
                         {"port_accesses", 29}}}},
                      {"brightness_after", 60},
                      {"keyboard_stream", "e030"}};
  struct Case {
    const char *Key;
    json Data;
    int Verbosity;
    sim::report::Lines Lines;
  };
  const Case cases[] = {
      {"button_press",
       press,
       0,
       {"button BrightnessUpButton, EC state bit 0x04, ACPI mode off",
        "press: no key codes; brightness 52% (EC level 0x9C) -> 60% (EC level 0xB0); OS notified "
        "(1 SCI) [28 port accesses]",
        "release: key codes E0 30 [29 port accesses]", "    E0 30  Volume Up pressed",
        "brightness: 60% (EC level 0xB0)"}},
      {"smi_request",
       {{"smi", 0xE3},
        {"command", 2},
        {"name", "VolumeUpButton"},
        {"status", 0x1180},
        {"result", 6},
        {"port_accesses", 0},
        {"ports_touched", json::array()},
        {"reply", "80110000060000"}},
       0,
       {"SMI 0xE3 command 2 VolumeUpButton", "result code (offset 4): 6 (password refused)",
        "status: 0x00001180 (handled, started, key codes to EC)",
        "port accesses by the handler: 0"}},
      {"smi_request",
       {{"smi", 0xE0},
        {"set", nullptr},
        {"percent", 52},
        {"status", 0x290},
        {"port_accesses", 4},
        {"ports_touched", {0x8FF, 0xA03}},
        {"reply", "9002000034"}},
       1,
       {"SMI 0xE0 get", "percent (offset 4): 52",
        "status: 0x00000290 (succeeded, handled, brightness up)", "port accesses by the handler: 4",
        "ports touched: 0x08FF, 0x0A03", "reply: 90 02 00 00 34"}},
      {"smi_request",
       {{"smi", 0xE3},
        {"raw", true},
        {"sent", 3},
        {"value", 7},
        {"status", 0x80},
        {"port_accesses", 0},
        {"ports_touched", json::array()},
        {"reply", "80000000"}},
       0,
       {"SMI 0xE3 raw, 3 bytes sent", "status: 0x00000080 (handled)",
        "port accesses by the handler: 0", "ports touched: none", "reply: 80 00 00 00"}},
  };
  for (const Case &c : cases)
    EXPECT_EQ(Render(c.Key, c.Data, c.Verbosity), c.Lines) << c.Data.dump();
}

} // namespace
