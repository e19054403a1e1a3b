// platsim press and platsim smi: a boot, then a button press on the EC or the
// operating system's software SMIs through the command buffer. The results go
// into the boot's report (text and --json).
#include "sim/core/Errors.h"
#include "sim/core/Text.h"
#include "sim/io/AccessTrace.h"
#include "sim/smm/SmmComponent.h"
#include "tools/platsim/Commands.h"
#include "tools/platsim/ScanCodes.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace platsim {

namespace {

struct ButtonName {
  const char *Name;
  const char *Alias;
  uint8_t EcBit; // the EC's state-byte bit; 0: the button has none
};

const ButtonName kButtonNames[] = {
    {"VolumeUpButton", "volume-up", 0x01},
    {"VolumeDownButton", "volume-down", 0x02},
    {"BrightnessUpButton", "brightness-up", 0x04},
    {"BrightnessDownButton", "brightness-down", 0x10},
    {"VolumeMuteButton", "mute", 0x20},
    {"MicrophoneMuteButton", "mic-mute", 0x00},
};

const ButtonName &FindButtonName(const std::string &name) {
  for (const ButtonName &b : kButtonNames)
    if (name == b.Name || name == b.Alias)
      return b;
  std::string known;
  for (const ButtonName &b : kButtonNames)
    known += std::string(known.empty() ? "" : ", ") + b.Alias;
  throw UsageError("unknown button \"" + name + "\" (" + known + ", or the driver's names)");
}

sim::SmmComponent &SmmOf(sim::Board &board) {
  auto *smm = board.Find<sim::SmmComponent>();
  if (smm == nullptr)
    throw sim::SimulationError("this board has no SMM component");
  return *smm;
}

unsigned Number(const std::string &option, const std::string &text, unsigned max) {
  return unsigned(ParseNumber(option, text, 0, max));
}

std::string Hex(uint64_t value, int digits) {
  return sim::HexNumber(value, digits);
}

// The status word's bits by name.
std::string StatusText(uint32_t status) {
  static const std::pair<uint32_t, const char *> bits[] = {
      {0x10, "succeeded"},      {0x80, "handled"},          {0x100, "started"},
      {0x200, "brightness up"}, {0x400, "brightness down"}, {0x1000, "key codes to EC"},
  };
  std::string text = Hex(status, 8);
  std::string names;
  for (auto [bit, name] : bits)
    if (status & bit)
      names += std::string(names.empty() ? "" : ", ") + name;
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
  char text[96];
  std::snprintf(text, sizeof text, "%s (delay %u, rate %u, repeat %s%s)", Hex(settings, 8).c_str(),
                settings & 0xFF, (settings >> 8) & 0xFF, (settings & 0x10000) ? "on" : "off",
                withEnabled ? ((settings & 0x1000000) ? ", enabled" : ", disabled") : "");
  return text;
}

// Port accesses the SMM handlers made since `since` (the trace's Total()):
// every port but the OS's SMI command port 0xB2.
uint64_t HandlerPortAccesses(sim::Board &board, uint64_t since) {
  uint64_t count = 0;
  for (const sim::Access &a : board.Trace().Entries())
    if (a.Sequence > since && a.Space == sim::AccessSpace::Port && a.Address != 0xB2)
      ++count;
  return count;
}

// Runs a boot of the board, then `action` on it, and adds the lines it returns
// to the report under `key`.
int RunWithBoard(const BoardOptions &options, const std::string &key, const std::string &title,
                 const std::function<void(sim::Board &, sim::ReportSection &)> &action) {
  Session session(options);
  sim::Board &board = session.Board();
  board.PowerOn();
  board.Run([&](sim::Board &b) {
    b.Sequence().Run(b);
    action(b, b.Report().Section(key, title));
  });
  return session.Finish();
}

// ---- press ------------------------------------------------------------------

struct Brightness {
  uint8_t Level;
  uint32_t Percent;
};

constexpr OptionSpec kPressOptions[] = {{"--hold", "N"}, {"--legacy", ""}};

int Press(Args args) {
  BoardOptions options;
  ParsedArgs parsed = ParseBoardOptions(args, kPressOptions, options);
  unsigned hold = unsigned(parsed.Number("--hold", 0, 0, 100));
  bool legacy = parsed.Has("--legacy");
  if (parsed.Positionals().size() > 1)
    throw UsageError("unexpected argument \"" + parsed.Positionals()[1] + "\"");
  std::optional<std::string> name;
  if (!parsed.Positionals().empty())
    name = parsed.Positionals()[0];
  if (!name)
    throw UsageError("which button?");
  const ButtonName &button = FindButtonName(*name);

  return RunWithBoard(
      options, "button_press", "Button press", [&](sim::Board &b, sim::ReportSection &out) {
        sim::SmmComponent &smm = SmmOf(b);
        sim::EmbeddedController &ec = smm.Ec();
        smm.Ports().SetAcpiMode(!legacy);
        sim::OsCommandBuffer os = smm.Os();
        auto brightness = [&] {
          // What the OS would ask: SMI 0xE0 get.
          uint32_t saved8 = os.Read32(8), saved4 = os.Read32(4);
          os.Write32(8, 0);
          os.RaiseSoftwareSmi(0xE0);
          Brightness now{ec.BacklightLevel(), os.Read32(4)};
          os.Write32(8, saved8);
          os.Write32(4, saved4);
          return now;
        };
        auto show = [](const Brightness &v) {
          return std::to_string(v.Percent) + "% (EC level " + Hex(v.Level, 2) + ")";
        };

        out.Lines.push_back(std::string("button ") + button.Name + ", EC state bit " +
                            Hex(button.EcBit, 2) + ", ACPI mode " + (legacy ? "off" : "on"));
        if (button.EcBit == 0)
          out.Lines.push_back("this button has no EC state bit: the EC reports no event for it");
        Brightness start = brightness();
        out.Data["button"] = button.Name;
        out.Data["acpi_mode"] = !legacy;
        out.Data["brightness_before"] = start.Percent;
        nlohmann::json events = nlohmann::json::array();
        std::vector<uint8_t> stream; // every step's key codes

        auto step = [&](const std::string &what, const std::function<void()> &act) {
          ec.ClearKeyboardStream();
          unsigned scis = smm.Ports().SciCount();
          Brightness before = brightness();
          uint64_t since = b.Trace().Total();
          act();
          uint64_t ports = HandlerPortAccesses(b, since);
          std::vector<uint8_t> keys = ec.KeyboardStream();
          stream.insert(stream.end(), keys.begin(), keys.end());
          Brightness after = brightness();
          unsigned notified = smm.Ports().SciCount() - scis;
          std::string line = what + ": ";
          line += keys.empty() ? "no key codes" : "key codes " + HexBytes(keys);
          if (after.Level != before.Level || after.Percent != before.Percent)
            line += "; brightness " + show(before) + " -> " + show(after);
          if (notified)
            line += "; OS notified (" + std::to_string(notified) + " SCI)";
          line += " [" + std::to_string(ports) + " port accesses]";
          out.Lines.push_back(line);
          for (const std::string &key : DescribeScanCodes(keys))
            out.Lines.push_back("    " + key);
          events.push_back({{"event", what},
                            {"key_codes", sim::ToHex(keys)},
                            {"brightness", after.Percent},
                            {"backlight_level", after.Level},
                            {"os_notifications", notified},
                            {"port_accesses", ports}});
        };

        step("press", [&] { ec.Press(button.EcBit); });
        for (unsigned i = 1; i <= hold; ++i)
          step("hold " + std::to_string(i), [&] { ec.Hold(); });
        step("release", [&] { ec.Release(button.EcBit); });

        Brightness end = brightness();
        out.Lines.push_back("brightness: " + show(end));
        out.Data["events"] = events;
        out.Data["brightness_after"] = end.Percent;
        out.Data["keyboard_stream"] = sim::ToHex(stream);
      });
}

// ---- smi --------------------------------------------------------------------

struct Request {
  uint32_t Command = 0;
  uint32_t Argument = 0;
  uint32_t Settings = 0;
  uint32_t Defaults = 0;
  std::vector<std::u16string> Strings;
};

void Raise(sim::OsCommandBuffer &os, const Request &r) {
  os.SendButtonRequest(r.Command, r.Strings, r.Argument, r.Settings, r.Defaults);
}

bool OnOff(const std::string &option, const std::string &text) {
  if (text == "on")
    return true;
  if (text == "off")
    return false;
  throw UsageError(option + " takes on or off");
}

std::u16string PasswordText(const std::optional<std::string> &password) {
  // The command interface wants the UTF-16 marker before a password.
  return password ? u"<utf-16/>" + sim::ToUtf16(*password) : u"";
}

constexpr OptionSpec kSmiOptions[] = {
    {"--keys", "HEX"}, {"--repeat", "on|off"}, {"--delay", "N"},
    {"--rate", "N"},   {"--password", "TEXT"},
};

int Smi(Args args) {
  BoardOptions options;
  ParsedArgs parsed = ParseBoardOptions(args, kSmiOptions, options);
  const auto &rest = parsed.Positionals();
  if (rest.empty())
    throw UsageError("which request?");
  const std::string what = rest[0];
  std::vector<std::string> operands(rest.begin() + 1, rest.end());
  std::map<std::string, std::string> flags;
  for (const OptionSpec &o : kSmiOptions)
    if (auto value = parsed.Value(o.Name))
      flags[std::string(o.Name)] = *value;
  auto take = [&](const std::string &flag) -> std::optional<std::string> {
    auto it = flags.find(flag);
    if (it == flags.end())
      return std::nullopt;
    std::string value = it->second;
    flags.erase(it);
    return value;
  };
  // NAME, and for the switches an optional on or off after it (default on).
  auto buttonOperand = [&](bool switched = false) -> std::u16string {
    if (operands.empty() || operands.size() > (switched ? 2u : 1u))
      throw UsageError(what + " takes a button name" + (switched ? " and on or off" : ""));
    return sim::ToUtf16(FindButtonName(operands[0]).Name);
  };
  auto switchOperand = [&] { return operands.size() < 2 || OnOff(what, operands[1]); };

  std::function<void(sim::OsCommandBuffer &, sim::ReportSection &)> run;
  if (what == "brightness") {
    std::optional<unsigned> set;
    if (operands.size() == 2 && operands[0] == "set")
      set = Number("set", operands[1], 0xFFFFFFFF);
    else if (!(operands.empty() || (operands.size() == 1 && operands[0] == "get")))
      throw UsageError("brightness [get | set PERCENT]");
    run = [set](sim::OsCommandBuffer &os, sim::ReportSection &out) {
      os.Write32(4, set.value_or(0));
      os.Write32(8, set ? 1 : 0);
      os.RaiseSoftwareSmi(0xE0);
      out.Lines.push_back(std::string("SMI 0xE0 ") + (set ? "set " + std::to_string(*set) : "get"));
      out.Lines.push_back("percent (offset 4): " + std::to_string(os.Read32(4)));
      out.Lines.push_back("status: " + StatusText(os.Read32(0)));
      out.Data = {{"smi", 0xE0}, {"percent", os.Read32(4)}, {"status", os.Read32(0)}};
    };
  } else {
    Request request;
    if (what == "button-info") {
      request.Command = 0;
      request.Strings = {buttonOperand()};
    } else if (what == "set-button") {
      request.Command = 1;
      auto keys = take("--keys");
      if (!keys)
        throw UsageError("set-button needs --keys HEX");
      request.Argument = OnOff("--repeat", take("--repeat").value_or("on"));
      request.Defaults = Number("--delay", take("--delay").value_or("2"), 255);
      request.Settings = Number("--rate", take("--rate").value_or("1"), 255);
      request.Strings = {buttonOperand(), sim::ToUtf16(*keys), PasswordText(take("--password"))};
    } else if (what == "enable-button") {
      request.Command = 2;
      request.Strings = {buttonOperand(true), PasswordText(take("--password"))};
      request.Argument = switchOperand();
    } else if (what == "restore-button") {
      request.Command = 3;
      request.Strings = {buttonOperand(), PasswordText(take("--password"))};
    } else if (what == "action-mode") {
      request.Command = 4;
      request.Strings = {buttonOperand(true)};
      request.Argument = switchOperand();
    } else {
      throw UsageError("unknown request \"" + what + "\"");
    }
    run = [request](sim::OsCommandBuffer &os, sim::ReportSection &out) {
      Raise(os, request);
      uint32_t value = os.Read32(4);
      out.Lines.push_back("SMI 0xE3 command " + std::to_string(request.Command) + " " +
                          sim::ToUtf8(request.Strings[0]));
      out.Data = {{"smi", 0xE3}, {"command", request.Command}, {"status", os.Read32(0)}};
      if (request.Command == 0) {
        auto strings = os.ReadStrings(2);
        out.Lines.push_back("default key codes: " + sim::ToUtf8(strings[0]));
        out.Lines.push_back("current key codes: " + sim::ToUtf8(strings[1]));
        out.Lines.push_back("action mode (offset 4): " + std::to_string(value));
        out.Lines.push_back("current settings (offset 12): " + SettingsText(os.Read32(12), true));
        out.Lines.push_back("default settings (offset 16): " + SettingsText(os.Read32(16), false));
        out.Data["default_key_codes"] = sim::ToUtf8(strings[0]);
        out.Data["key_codes"] = sim::ToUtf8(strings[1]);
        out.Data["action_mode"] = value;
        out.Data["settings"] = os.Read32(12);
        out.Data["default_settings"] = os.Read32(16);
      } else {
        out.Lines.push_back("result code (offset 4): " + ResultText(value));
        out.Data["result"] = value;
      }
      out.Lines.push_back("status: " + StatusText(os.Read32(0)));
    };
  }
  if (!flags.empty())
    throw UsageError("unknown option \"" + flags.begin()->first + "\" for " + what);

  return RunWithBoard(
      options, "smi_request", "Software SMI", [&](sim::Board &b, sim::ReportSection &out) {
        sim::OsCommandBuffer os = SmmOf(b).Os();
        uint64_t since = b.Trace().Total();
        run(os, out);
        uint64_t ports = HandlerPortAccesses(b, since);
        out.Lines.push_back("port accesses by the handler: " + std::to_string(ports));
        out.Data["port_accesses"] = ports;
      });
}

} // namespace

int RunPress(Args args) {
  return Press(args);
}
int RunSmi(Args args) {
  return Smi(args);
}

} // namespace platsim
