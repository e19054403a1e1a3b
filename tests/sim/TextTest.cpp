// The board's formatted text: sized to what it formats, never cut short.
#include "sim/core/Text.h"
#include "sim/smm/BootScript.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

TEST(Text, PrintfIsSizedToItsText) {
  const std::string wide(300, 'x');
  const struct {
    std::string got;
    std::string want;
  } cases[] = {
      {sim::Printf("%s", ""), ""},
      {sim::Printf("port.%04X", 0x4Eu), "port.004E"},
      {sim::Printf("%06X", 0x123456u), "123456"},
      // Longer than any of the fixed buffers the board used to format into.
      {sim::Printf("[%s]", wide.c_str()), "[" + wide + "]"},
      {sim::HexNumber(0x1F), "0x1F"},
      {sim::HexNumber(0x1F, 4), "0x001F"},
      {sim::HexNumber(UINT64_MAX), "0xFFFFFFFFFFFFFFFF"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.got, c.want);
}

TEST(Text, BootScriptEntryTextAndJson) {
  const sim::ScriptEntry pci = {sim::ScriptForm::Pi,
                                0,
                                EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE,
                                2,
                                0x001F00B8,
                                0,
                                {},
                                0x4,
                                0xFFFFFFF3,
                                ""};
  EXPECT_EQ(pci.ToString(),
            "pci-rmw   00:1F.0 reg 0xB8 width 32 or 0x00000004 and 0xFFFFFFF3  [pi]");
  const nlohmann::json json = pci.ToJson();
  EXPECT_EQ(json.at("form"), "pi");
  EXPECT_EQ(json.at("address"), 0x001F00B8u);
  EXPECT_EQ(json.at("mask"), 0xFFFFFFF3u);
}

} // namespace
