// platsim press and platsim smi: a boot, then a button press on the EC or the
// operating system's software SMIs through the command buffer. Each result is
// published as a section of the boot's report; scenarios run the same actions.
#include "Platform/SmmCommandBuffer.h"
#include "sim/core/Errors.h"
#include "sim/core/Text.h"
#include "sim/devices/ChipsetComponent.h"
#include "sim/io/AccessTrace.h"
#include "sim/smm/SmmComponent.h"
#include "tools/platsim/Actions.h"
#include "tools/platsim/Commands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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
  return PartOf<sim::SmmComponent>(board, "SMM component");
}

unsigned Number(const std::string &option, const std::string &text, unsigned max) {
  return unsigned(ParseNumber(option, text, 0, max));
}

// Port accesses the SMM handlers made since `since` (the trace's Total()):
// every port but the OS's SMI command port 0xB2.
uint64_t HandlerPortAccesses(sim::Board &board, uint64_t since) {
  uint64_t count = 0;
  for (const sim::Access &a : board.Trace().Entries())
    if (a.Sequence > since && a.Space == sim::AccessSpace::Port && a.Address != kCbApmControlPort)
      ++count;
  return count;
}

// The OS command buffer's bytes up to its last non-zero byte (at least the
// 28-byte header): what a reply shows.
std::string ReplyBytes(const sim::OsCommandBuffer &os) {
  auto bytes = os.Bytes();
  size_t end = bytes.size();
  while (end > 28 && bytes[end - 1] == 0)
    --end;
  end = std::min(bytes.size(), end + (end & 1));
  return sim::ToHex(bytes.first(end));
}

// The ports the SMM handlers touched since `since`, in order of first touch.
nlohmann::json PortsTouched(sim::Board &board, uint64_t since) {
  std::vector<uint64_t> ports;
  for (const sim::Access &a : board.Trace().Entries())
    if (a.Sequence > since && a.Space == sim::AccessSpace::Port && a.Address != kCbApmControlPort &&
        std::find(ports.begin(), ports.end(), a.Address) == ports.end())
      ports.push_back(a.Address);
  return ports;
}

// Runs a boot of the board, then the action on it, published as its section.
int RunWithBoard(const BoardOptions &options, const StoryAction &action) {
  Session session(options);
  sim::Board &board = session.Board();
  board.PowerOn();
  board.Run([&](sim::Board &b) {
    b.Sequence().Run(b);
    action.Run(b, b.Report().Section(action.Key).Data);
  });
  return session.Finish();
}

// ---- press ------------------------------------------------------------------

struct Brightness {
  uint8_t Level;
  uint32_t Percent;
};

} // namespace

StoryAction ParsePress(Args rest) {
  std::optional<std::string> name;
  unsigned hold = 0;
  bool legacy = false;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--hold" && i + 1 < rest.size())
      hold = Number("--hold", rest[++i], 100);
    else if (rest[i] == "--legacy")
      legacy = true;
    else if (!name && rest[i].rfind("--", 0) != 0)
      name = rest[i];
    else
      throw UsageError("unknown argument \"" + rest[i] + "\"");
  }
  if (!name)
    throw UsageError("which button?");
  const ButtonName &button = FindButtonName(*name);

  return {"button_press", [=](sim::Board &b, nlohmann::json &out) {
            sim::ChipsetComponent &chipset = PartOf<sim::ChipsetComponent>(b, "chipset component");
            sim::EmbeddedController &ec = chipset.Ec();
            chipset.Ports().SetAcpiMode(!legacy);
            sim::OsCommandBuffer os = SmmOf(b).Os();
            auto brightness = [&] {
              // What the OS would ask: SMI 0xE0 get.
              uint32_t savedArgument = os.Read32(kCbArgument), savedValue = os.Read32(kCbValue);
              os.Write32(kCbArgument, 0);
              os.RaiseSoftwareSmi(kCbSmiBrightness);
              Brightness now{ec.BacklightLevel(), os.Read32(kCbValue)};
              os.Write32(kCbArgument, savedArgument);
              os.Write32(kCbValue, savedValue);
              return now;
            };

            Brightness start = brightness();
            out = {{"button", button.Name},
                   {"ec_bit", button.EcBit},
                   {"acpi_mode", !legacy},
                   {"brightness_before", start.Percent},
                   {"backlight_level_before", start.Level}};
            nlohmann::json events = nlohmann::json::array();
            std::vector<uint8_t> stream; // every step's key codes

            auto step = [&](const std::string &what, const std::function<void()> &act) {
              size_t already = ec.KeyboardStream().size();
              unsigned scis = chipset.Ports().SciCount();
              uint64_t since = b.Trace().Total();
              act();
              uint64_t ports = HandlerPortAccesses(b, since);
              const auto &all = ec.KeyboardStream();
              std::vector<uint8_t> keys(all.begin() + std::ptrdiff_t(already), all.end());
              stream.insert(stream.end(), keys.begin(), keys.end());
              Brightness after = brightness();
              events.push_back({{"event", what},
                                {"key_codes", sim::ToHex(keys)},
                                {"brightness", after.Percent},
                                {"backlight_level", after.Level},
                                {"os_notifications", chipset.Ports().SciCount() - scis},
                                {"port_accesses", ports}});
            };

            step("press", [&] { ec.Press(button.EcBit); });
            for (unsigned i = 1; i <= hold; ++i)
              step("hold " + std::to_string(i), [&] { ec.Hold(); });
            step("release", [&] { ec.Release(button.EcBit); });

            out["events"] = events;
            out["brightness_after"] = brightness().Percent;
            out["keyboard_stream"] = sim::ToHex(stream);
          }};
}

namespace {

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

// smi raw --input 0xE3|0xE0 [--arg N] --buffer HEX|@FILE
StoryAction ParseRaw(std::map<std::string, std::string> &flags,
                     const std::vector<std::string> &operands) {
  if (!operands.empty())
    throw UsageError("raw takes no operand \"" + operands[0] + "\"");
  auto take = [&](const std::string &flag) -> std::optional<std::string> {
    auto it = flags.find(flag);
    if (it == flags.end())
      return std::nullopt;
    std::string value = it->second;
    flags.erase(it);
    return value;
  };
  auto input = take("--input");
  if (!input)
    throw UsageError("raw needs --input 0xE3 or 0xE0");
  unsigned smi = Number("--input", *input, 0xFF);
  std::optional<uint32_t> arg;
  if (auto text = take("--arg"))
    arg = Number("--arg", *text, 0xFFFFFFFF);
  auto buffer = take("--buffer");
  if (!buffer)
    throw UsageError("raw needs --buffer HEX or --buffer @FILE");
  std::vector<uint8_t> bytes;
  if (!buffer->empty() && (*buffer)[0] == '@') {
    std::ifstream in(buffer->substr(1), std::ios::binary);
    if (!in)
      throw UsageError("--buffer: cannot read " + buffer->substr(1));
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  } else {
    std::string hex;
    for (char c : *buffer)
      if (c != ' ' && c != ':')
        hex.push_back(c);
    auto parsed = sim::FromHex(hex);
    if (!parsed)
      throw UsageError("--buffer takes hex bytes (\"1C000000 07000000 ...\") or @FILE");
    bytes = *parsed;
  }
  return {"smi_request", [=](sim::Board &b, nlohmann::json &out) {
            sim::OsCommandBuffer os = SmmOf(b).Os();
            if (bytes.size() > os.Bytes().size())
              throw UsageError("--buffer holds " + std::to_string(bytes.size()) +
                               " bytes; the command buffer has " +
                               std::to_string(os.Bytes().size()));
            os.Clear();
            std::copy(bytes.begin(), bytes.end(), os.Bytes().begin());
            if (arg)
              os.Write32(kCbValue, *arg);
            uint64_t since = b.Trace().Total();
            os.RaiseSoftwareSmi(uint8_t(smi));
            out = {{"smi", smi},
                   {"raw", true},
                   {"sent", bytes.size()},
                   {"status", os.Read32(kCbStatus)},
                   {"value", os.Read32(kCbValue)},
                   {"port_accesses", HandlerPortAccesses(b, since)},
                   {"ports_touched", PortsTouched(b, since)},
                   {"reply", ReplyBytes(os)}};
          }};
}

} // namespace

StoryAction ParseSmi(Args rest) {
  if (rest.empty())
    throw UsageError("which request?");
  const std::string &what = rest[0];
  std::vector<std::string> operands;
  std::map<std::string, std::string> flags;
  for (size_t i = 1; i < rest.size(); ++i) {
    if (rest[i].rfind("--", 0) == 0) {
      if (i + 1 >= rest.size())
        throw UsageError(rest[i] + " needs a value");
      flags[rest[i]] = rest[i + 1];
      ++i;
    } else {
      operands.push_back(rest[i]);
    }
  }
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

  std::function<void(sim::OsCommandBuffer &, nlohmann::json &)> run;
  if (what == "raw") {
    StoryAction raw = ParseRaw(flags, operands);
    if (!flags.empty())
      throw UsageError("unknown option \"" + flags.begin()->first + "\" for raw");
    return raw;
  }
  if (what == "brightness") {
    std::optional<unsigned> set;
    if (operands.size() == 2 && operands[0] == "set")
      set = Number("set", operands[1], 0xFFFFFFFF);
    else if (!(operands.empty() || (operands.size() == 1 && operands[0] == "get")))
      throw UsageError("brightness [get | set PERCENT]");
    run = [set](sim::OsCommandBuffer &os, nlohmann::json &out) {
      os.Write32(kCbValue, set.value_or(0));
      os.Write32(kCbArgument, set ? 1 : 0);
      os.RaiseSoftwareSmi(kCbSmiBrightness);
      out = {{"smi", kCbSmiBrightness},
             {"set", set ? nlohmann::json(*set) : nlohmann::json()},
             {"percent", os.Read32(kCbValue)},
             {"status", os.Read32(kCbStatus)}};
    };
  } else {
    Request request;
    if (what == "button-info") {
      request.Command = kCbCommandGetButtonInfo;
      request.Strings = {buttonOperand()};
    } else if (what == "set-button") {
      request.Command = kCbCommandSetButton;
      auto keys = take("--keys");
      if (!keys)
        throw UsageError("set-button needs --keys HEX");
      request.Argument = OnOff("--repeat", take("--repeat").value_or("on"));
      request.Defaults = Number("--delay", take("--delay").value_or("2"), 255);
      request.Settings = Number("--rate", take("--rate").value_or("1"), 255);
      request.Strings = {buttonOperand(), sim::ToUtf16(*keys), PasswordText(take("--password"))};
    } else if (what == "enable-button") {
      request.Command = kCbCommandEnableButton;
      request.Strings = {buttonOperand(true), PasswordText(take("--password"))};
      request.Argument = switchOperand();
    } else if (what == "restore-button") {
      request.Command = kCbCommandRestoreButton;
      request.Strings = {buttonOperand(), PasswordText(take("--password"))};
    } else if (what == "action-mode") {
      request.Command = kCbCommandSetActionMode;
      request.Strings = {buttonOperand(true)};
      request.Argument = switchOperand();
    } else {
      throw UsageError("unknown request \"" + what + "\"");
    }
    run = [request](sim::OsCommandBuffer &os, nlohmann::json &out) {
      Raise(os, request);
      uint32_t value = os.Read32(kCbValue);
      out = {{"smi", kCbSmiCommand},
             {"command", request.Command},
             {"name", sim::ToUtf8(request.Strings[0])},
             {"status", os.Read32(kCbStatus)}};
      if (request.Command == kCbCommandGetButtonInfo) {
        auto strings = os.ReadStrings(2);
        strings.resize(2);
        out["default_key_codes"] = sim::ToUtf8(strings[0]);
        out["key_codes"] = sim::ToUtf8(strings[1]);
        out["action_mode"] = value;
        out["settings"] = os.Read32(kCbSettings);
        out["default_settings"] = os.Read32(kCbDefaultSettings);
      } else {
        out["result"] = value;
      }
    };
  }
  if (!flags.empty())
    throw UsageError("unknown option \"" + flags.begin()->first + "\" for " + what);

  return {"smi_request", [run](sim::Board &b, nlohmann::json &out) {
            sim::OsCommandBuffer os = SmmOf(b).Os();
            uint64_t since = b.Trace().Total();
            run(os, out);
            out["port_accesses"] = HandlerPortAccesses(b, since);
            out["ports_touched"] = PortsTouched(b, since);
            out["reply"] = ReplyBytes(os);
          }};
}

int RunPress(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  return RunWithBoard(options, ParsePress(rest));
}

int RunSmi(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  return RunWithBoard(options, ParseSmi(rest));
}

} // namespace platsim
