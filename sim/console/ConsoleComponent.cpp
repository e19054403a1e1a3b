#include "sim/console/ConsoleComponent.h"

#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/core/Events.h"
#include "sim/core/Guid.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/SystemTables.h"

#include <algorithm>

namespace sim {

namespace {
const std::vector<std::string> kActions = {"con-out", "con-in", "text-input"};

// Marks the console's own input handle (the device behind ConIn).
constexpr EFI_GUID kConsoleInputHandleGuid = {
    0x5B1E7A3C, 0x2D4F, 0x4E8A, {0x9C, 0x61, 0x0A, 0x3B, 0x7E, 0x52, 0xD9, 0x14}};

std::string JoinKeys(const std::vector<EFI_INPUT_KEY> &keys) {
  std::string text;
  for (const auto &key : keys)
    text += (text.empty() ? "" : ",") + KeyName(key);
  return text;
}
} // namespace

ConsoleComponent::ConsoleComponent() {
  steps_ = {{"console-connect", "con-out"},
            {"console-connect", "con-in"},
            {"console-connect", "text-input"}};
}

ConsoleComponent::~ConsoleComponent() {
  if (Console::Current() == &console_)
    Console::SetCurrent(nullptr);
}

void ConsoleComponent::Configure(ConfigSection &section) {
  RegisterGuidName(gTextScreenProtocolGuid, "TextScreenProtocol");
  RegisterGuidName(kConsoleInputHandleGuid, "ConsoleInput (board)");
  textScreenPhase_ = section.String("text_screen", textScreenPhase_);
  console_.SetBeginRow(section.Integer("begin_row", 4, 0, TextScreen::kRows - 1));
  std::string keys = section.String("keys", "");
  try {
    console_.SetKeys(ParseKeyList(keys));
  } catch (const SimulationError &e) {
    section.Fail("keys", e.what());
  }
  if (section.Has("connect")) {
    steps_.clear();
    for (ConfigSection *step : section.Objects("connect"))
      steps_.push_back({step->String("phase", "console-connect"),
                        step->Choice("action", "text-input", kActions)});
  }
}

void ConsoleComponent::AttachPhases(BootSequence &sequence) {
  if (textScreenPhase_ != "none")
    sequence.Attach(textScreenPhase_, "console", [this](Board &board) {
      EFI_HANDLE handle = nullptr;
      board.BootServices()->InstallProtocolInterface(
          &handle, &gTextScreenProtocolGuid, EFI_NATIVE_INTERFACE, console_.ScreenProtocol());
    });
  // Steps of one phase run in the order listed.
  std::vector<std::string> phases;
  for (const Step &step : steps_)
    if (std::find(phases.begin(), phases.end(), step.Phase) == phases.end())
      phases.push_back(step.Phase);
  for (const std::string &phase : phases)
    sequence.Attach(phase, "console", [this, phase](Board &board) {
      for (const Step &step : steps_)
        if (step.Phase == phase)
          Run(board, step.Action);
    });
}

void ConsoleComponent::PowerOn(Board &) {
  console_.PowerOn();
  Console::SetCurrent(&console_);
  keysReadBefore_ = console_.KeysRead().size();
}

void ConsoleComponent::Run(Board &board, const std::string &action) {
  EFI_BOOT_SERVICES *bs = board.BootServices();
  if (action == "con-out") {
    EFI_HANDLE handle = nullptr;
    bs->InstallProtocolInterface(&handle, &gEfiSimpleTextOutProtocolGuid, EFI_NATIVE_INTERFACE,
                                 console_.TextOutput());
    board.Tables().SetConsoleOut(handle, console_.TextOutput());
    return;
  }
  Console::TextInput *input = console_.NewTextInput();
  bs->CreateEvent(0, TPL_APPLICATION, nullptr, nullptr, &input->Protocol.WaitForKey);
  if (action == "con-in") {
    // The console's own input: reachable through ConIn only.
    bs->InstallProtocolInterface(&input->Handle, &kConsoleInputHandleGuid, EFI_NATIVE_INTERFACE,
                                 nullptr);
    board.Tables().SetConsoleIn(input->Handle, &input->Protocol);
    return;
  }
  bs->InstallProtocolInterface(&input->Handle, &gEfiSimpleTextInProtocolGuid, EFI_NATIVE_INTERFACE,
                               &input->Protocol);
}

void ConsoleComponent::Report(Board &, BootReport &report) {
  if (console_.Screen().Revision() > 1 || console_.ScreenBegun() != 0) {
    auto &screen = report.Section("screen").Data;
    screen["rows"] = console_.Screen().UsedRows();
    screen["cursor"] = {console_.Screen().CursorColumn(), console_.Screen().CursorRow()};
  }
  const auto &read = console_.KeysRead();
  std::vector<EFI_INPUT_KEY> thisBoot(read.begin() + std::min(keysReadBefore_, read.size()),
                                      read.end());
  if (!thisBoot.empty())
    report.Section("keys").Data["keys"] = JoinKeys(thisBoot);
}

std::unique_ptr<Component> MakeConsole() {
  return std::make_unique<ConsoleComponent>();
}

} // namespace sim
