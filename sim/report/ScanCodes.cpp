#include "sim/report/ScanCodes.h"
#include "sim/report/Format.h"

#include <cstdio>
#include <map>

namespace sim::report {

namespace {

const std::map<uint8_t, const char *> kBase = {
    {0x01, "Escape"},
    {0x02, "1"},
    {0x03, "2"},
    {0x04, "3"},
    {0x05, "4"},
    {0x06, "5"},
    {0x07, "6"},
    {0x08, "7"},
    {0x09, "8"},
    {0x0A, "9"},
    {0x0B, "0"},
    {0x0C, "Minus"},
    {0x0D, "Equals"},
    {0x0E, "Backspace"},
    {0x0F, "Tab"},
    {0x10, "Q"},
    {0x11, "W"},
    {0x12, "E"},
    {0x13, "R"},
    {0x14, "T"},
    {0x15, "Y"},
    {0x16, "U"},
    {0x17, "I"},
    {0x18, "O"},
    {0x19, "P"},
    {0x1A, "Left Bracket"},
    {0x1B, "Right Bracket"},
    {0x1C, "Enter"},
    {0x1D, "Left Ctrl"},
    {0x1E, "A"},
    {0x1F, "S"},
    {0x20, "D"},
    {0x21, "F"},
    {0x22, "G"},
    {0x23, "H"},
    {0x24, "J"},
    {0x25, "K"},
    {0x26, "L"},
    {0x27, "Semicolon"},
    {0x28, "Quote"},
    {0x29, "Back Tick"},
    {0x2A, "Left Shift"},
    {0x2B, "Backslash"},
    {0x2C, "Z"},
    {0x2D, "X"},
    {0x2E, "C"},
    {0x2F, "V"},
    {0x30, "B"},
    {0x31, "N"},
    {0x32, "M"},
    {0x33, "Comma"},
    {0x34, "Period"},
    {0x35, "Slash"},
    {0x36, "Right Shift"},
    {0x37, "Keypad *"},
    {0x38, "Left Alt"},
    {0x39, "Space"},
    {0x3A, "Caps Lock"},
    {0x3B, "F1"},
    {0x3C, "F2"},
    {0x3D, "F3"},
    {0x3E, "F4"},
    {0x3F, "F5"},
    {0x40, "F6"},
    {0x41, "F7"},
    {0x42, "F8"},
    {0x43, "F9"},
    {0x44, "F10"},
    {0x45, "Num Lock"},
    {0x46, "Scroll Lock"},
    {0x57, "F11"},
    {0x58, "F12"},
};

const std::map<uint8_t, const char *> kExtended = {
    {0x10, "Previous Track"}, {0x19, "Next Track"}, {0x1C, "Keypad Enter"}, {0x1D, "Right Ctrl"},
    {0x20, "Mute"},           {0x21, "Calculator"}, {0x22, "Play/Pause"},   {0x24, "Stop"},
    {0x2E, "Volume Down"},    {0x30, "Volume Up"},  {0x32, "WWW Home"},     {0x35, "Keypad /"},
    {0x38, "Right Alt"},      {0x47, "Home"},       {0x48, "Up"},           {0x49, "Page Up"},
    {0x4B, "Left"},           {0x4D, "Right"},      {0x4F, "End"},          {0x50, "Down"},
    {0x51, "Page Down"},      {0x52, "Insert"},     {0x53, "Delete"},       {0x5B, "Left GUI"},
    {0x5C, "Right GUI"},      {0x5D, "Menu"},       {0x5E, "Power"},        {0x5F, "Sleep"},
    {0x63, "Wake"},
};

} // namespace

std::vector<std::string> DescribeScanCodes(std::span<const uint8_t> stream) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < stream.size();) {
    bool extended = stream[i] == 0xE0 && i + 1 < stream.size();
    size_t length = extended ? 2 : 1;
    uint8_t code = stream[i + length - 1];
    const auto &names = extended ? kExtended : kBase;
    auto name = names.find(uint8_t(code & 0x7F));
    std::string text = HexBytes(stream.subspan(i, length));
    text.resize(7, ' ');
    if (name == names.end())
      text += std::string("unnamed ") + (extended ? "extended " : "") + "key";
    else
      text += name->second;
    text += (code & 0x80) ? " released" : " pressed";
    lines.push_back(text);
    i += length;
  }
  return lines;
}

} // namespace sim::report
