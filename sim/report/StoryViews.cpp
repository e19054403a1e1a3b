// The text of the sections platsim's own actions publish: a button press and
// a software SMI (platsim press, smi, smi raw and scenario steps).
#include "sim/core/Text.h"
#include "sim/report/Format.h"
#include "sim/report/ScanCodes.h"
#include "sim/report/SectionViews.h"

#include <cstdio>

namespace sim::report {

using json = nlohmann::json;

namespace {

std::string N(const json &v) {
  return std::to_string(v.get<uint64_t>());
}

std::string Brightness(const json &percent, const json &level) {
  return N(percent) + "% (EC level " + HexNumber(level.get<uint64_t>(), 2) + ")";
}

// The command-buffer status word's bits by name.
std::string SmiStatusText(uint32_t status) {
  static const std::pair<uint32_t, const char *> bits[] = {
      {0x10, "succeeded"},      {0x80, "handled"},          {0x100, "started"},
      {0x200, "brightness up"}, {0x400, "brightness down"}, {0x1000, "key codes to EC"},
  };
  std::string names;
  for (auto [bit, name] : bits)
    if (status & bit)
      names += std::string(names.empty() ? "" : ", ") + name;
  std::string text = HexNumber(status, 8);
  return names.empty() ? text : text + " (" + names + ")";
}

std::string ResultText(uint32_t result) {
  switch (result) {
  case 0:
    return "0 (success)";
  case 1:
    return "1 (no button of that name)";
  case 5:
    return "5 (malformed data)";
  case 6:
    return "6 (password refused)";
  default:
    return std::to_string(result);
  }
}

// The default settings word carries no enabled bit.
std::string SettingsText(uint32_t settings, bool withEnabled) {
  return Printf("%s (delay %u, rate %u, repeat %s%s)", HexNumber(settings, 8).c_str(),
                settings & 0xFF, (settings >> 8) & 0xFF, (settings & 0x10000) ? "on" : "off",
                withEnabled ? ((settings & 0x1000000) ? ", enabled" : ", disabled") : "");
}

std::vector<uint8_t> Bytes(const json &hex) {
  return FromHex(hex.get<std::string>()).value_or(std::vector<uint8_t>{});
}

} // namespace

void RenderButtonPress(const json &d, int, Lines &out) {
  out.push_back("button " + d["button"].get<std::string>() + ", EC state bit " +
                HexNumber(d["ec_bit"].get<uint64_t>(), 2) + ", ACPI mode " +
                (d["acpi_mode"].get<bool>() ? "on" : "off"));
  if (d["ec_bit"].get<uint64_t>() == 0)
    out.push_back("this button has no EC state bit: the EC reports no event for it");
  json percent = d["brightness_before"], level = d["backlight_level_before"];
  for (const auto &e : d["events"]) {
    std::vector<uint8_t> keys = Bytes(e["key_codes"]);
    std::string line = e["event"].get<std::string>() + ": ";
    line += keys.empty() ? "no key codes" : "key codes " + HexBytes(keys);
    if (e["brightness"] != percent || e["backlight_level"] != level)
      line += "; brightness " + Brightness(percent, level) + " -> " +
              Brightness(e["brightness"], e["backlight_level"]);
    if (e["os_notifications"].get<uint64_t>())
      line += "; OS notified (" + N(e["os_notifications"]) + " SCI)";
    line += " [" + N(e["port_accesses"]) + " port accesses]";
    out.push_back(line);
    for (const std::string &key : DescribeScanCodes(keys))
      out.push_back("    " + key);
    percent = e["brightness"];
    level = e["backlight_level"];
  }
  out.push_back("brightness: " + Brightness(d["brightness_after"], level));
}

void RenderSmiRequest(const json &d, int verbosity, Lines &out) {
  const uint32_t status = d["status"].get<uint32_t>();
  if (d.value("raw", false)) {
    out.push_back("SMI " + HexNumber(d["smi"].get<uint64_t>(), 2) + " raw, " + N(d["sent"]) +
                  " bytes sent");
  } else if (d["smi"] == 0xE0) {
    out.push_back(std::string("SMI 0xE0 ") + (d["set"].is_null() ? "get" : "set " + N(d["set"])));
    out.push_back("percent (offset 4): " + N(d["percent"]));
  } else {
    out.push_back("SMI 0xE3 command " + N(d["command"]) + " " + d["name"].get<std::string>());
    if (d["command"] == 0) {
      out.push_back("default key codes: " + d["default_key_codes"].get<std::string>());
      out.push_back("current key codes: " + d["key_codes"].get<std::string>());
      out.push_back("action mode (offset 4): " + N(d["action_mode"]));
      out.push_back("current settings (offset 12): " + SettingsText(d["settings"], true));
      out.push_back("default settings (offset 16): " + SettingsText(d["default_settings"], false));
    } else {
      out.push_back("result code (offset 4): " + ResultText(d["result"]));
    }
  }
  out.push_back("status: " + SmiStatusText(status));
  out.push_back("port accesses by the handler: " + N(d["port_accesses"]));
  if (d.contains("ports_touched") && (verbosity >= 1 || d.value("raw", false))) {
    std::string ports;
    for (const auto &p : d["ports_touched"])
      ports += (ports.empty() ? "" : ", ") + HexNumber(p.get<uint64_t>(), 4);
    out.push_back("ports touched: " + (ports.empty() ? std::string("none") : ports));
  }
  if (d.contains("reply") && (verbosity >= 1 || d.value("raw", false)))
    out.push_back("reply: " + HexBytes(Bytes(d["reply"])));
}

} // namespace sim::report
