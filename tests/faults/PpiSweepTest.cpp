// The sweep over the physical-presence story: a pending request processed by
// hook slot 3 at the console (confirmed at the screen or waived), handed over
// with the reset or ending in a "Setup" flag, and the next boot's start-up
// that records the result of the operation the earlier boot phase carried out.
#include "faults/FaultSweep.h"
#include "ppi/PpiTestBoard.h"
#include "sim/ppi/PpiBoardComponent.h"

namespace faultsweep {
namespace {

using ppitest::kLastBootFailedGuid;
using ppitest::kPpiGuid;
using ppitest::kTcgGuid;
using ppitest::StateRecord;

json Variable(const char *name, const char *guid, const char *hex, unsigned attributes = 7) {
  return {{"name", name}, {"guid", guid}, {"attributes", attributes}, {"data", hex}};
}

// A request pending at this boot; the TCG core's own calls are left out, the
// path calls the hook itself.
json RequestBoard(json record, const char *keys, bool tpm) {
  return {{"tpm_platform_state", {{"record", std::move(record)}}},
          {"tcg_core", {{"calls", json::array()}}},
          {"console", {{"keys", keys}}},
          {"tpm", {{"present", tpm}}}};
}

std::string Hex(sim::Board &b, const CHAR16 *name) {
  for (const auto &v : b.Variables().All())
    if (v.Name == name)
      return sim::ToHex(v.Data);
  return "absent";
}

// What the story leaves: the request variable, the hand-over markers, the
// failed-boot marker, the "Setup" flag bytes, and what the earlier boot phase
// of the next boot did.
void ObservePpi(sim::Board &b, Facts &facts, const std::string &prefix) {
  const auto *ppi = b.Find<sim::PpiBoardComponent>();
  const auto &done = ppi->LastExecution();
  facts[prefix + "carried out"] = !done ? "nothing"
                                        : "operation " + std::to_string(done->Operation) +
                                              (done->Succeeded ? " done" : " failed");
  facts[prefix + "CMOS 0x6F"] = std::to_string(b.Cmos().Get(0x6F));
  if (!prefix.empty())
    return; // the generic facts have the next boot's variables
  for (const CHAR16 *name : {u"ZELTCGPPIVAR", u"TCG", u"LastBootFailed"})
    facts[sim::ToUtf8(name)] = Hex(b, name);
  const auto *setup = b.Variables().Find(u"Setup", gSetupVariableGuid);
  for (size_t offset : {605, 834, 835})
    facts["Setup " + std::to_string(offset)] =
        setup ? std::to_string(setup->Data.at(offset)) : "absent";
}

// The hook's event and its registration (the first of each; a deferred
// reset makes the second).
bool ArmingFails(const Point &p) {
  return (p.Key == "CreateEvent" || p.Key == "RegisterProtocolNotify") && p.Call == 1;
}

// The hook's status: only its arming can fail it.
std::optional<EFI_STATUS> HookStatus(const Point &p, EFI_STATUS) {
  if (ArmingFails(p))
    return EFI_DEVICE_ERROR;
  return std::nullopt;
}

// A path of hook slot 3: the driver starts, the hook arms the processing, the
// console arrives and the request is processed; the next boot only starts the
// driver (the operating system's request is gone).
Path RequestPath(const char *name, json board, std::set<size_t> setupBytes,
                 std::function<Facts(const Point &, const Facts &)> ending) {
  return {.Name = name,
          .Phase = "load-tpm-platform",
          .Before = [](sim::Board &b) { StartTpmPlatform(b); },
          .Body = [](sim::Board &b) { return Hooks(b)->ProcessPpiRequestHook(); },
          .Variables = kTpmVariables,
          .SetupBytes = std::move(setupBytes),
          .Expected = HookStatus,
          .EndPhase = "console-connect",
          // The console's devices and their key events.
          .BoardCalls = {"InstallProtocolInterface", "CreateEvent"},
          .Board = std::move(board),
          .ExtraVariables =
              json::array({Variable("LastBootFailed", kLastBootFailedGuid, "01020304", 1)}),
          .Ends = sim::BootOutcome::Completed,
          .Observe = ObservePpi,
          .Ending = std::move(ending),
          .NextBoot = [](sim::Board &b) { StartTpmPlatform(b); }};
}

// A hand-over path (operation `op`): with the request recorded the machine
// resets and the next boot carries the operation out. Facts when the request
// is never processed, when the hand-over fails, and when only the failed-boot
// marker stays.
Facts NotProcessed(const std::string &request) {
  return {{"boot", "completed"},
          {"ZELTCGPPIVAR", request},
          {"TCG", "000100000100"},
          {"CMOS 0x6F", "0"},
          {"LastBootFailed", "01020304"},
          {"next boot: carried out", "nothing"},
          {"next boot: ZELTCGPPIVAR", request},
          {"next boot: LastBootFailed", "01020304"}};
}

// A request handed over: recorded with the markers, the failed-boot marker
// deleted and the reset; the next boot's earlier phase carries it out.
Facts HandedOver(const char *request, const char *done, const char *result) {
  return {{"boot", "reset"},
          {"ZELTCGPPIVAR", request},
          {"TCG", "000101000100"},
          {"CMOS 0x6F", "1"},
          {"LastBootFailed", "absent"},
          {"next boot: carried out", done},
          {"next boot: ZELTCGPPIVAR", result}};
}

std::vector<Path> RequestPaths() {
  std::vector<Path> paths;
  {
    // Operation 6 (enable + activate), confirmed with F1.
    Path p = RequestPath(
        "PPI request confirmed at the screen (operation 6), handed over, reset",
        RequestBoard(StateRecord(6), "F1", false), {}, [](const Point &p, const Facts &) -> Facts {
          if (ArmingFails(p))
            return NotProcessed("0000000000");
          // The hand-over's own writes: the request (the third write of
          // "ZELTCGPPIVAR", after the one before the screen and the clear)
          // and "TCG".
          if ((p.Key == "SetVariable:ZELTCGPPIVAR" && p.Call == 3) || p.Key == "SetVariable:TCG")
            return NotProcessed("0006f100ff");
          if (p.Key == "GetVariable:LastBootFailed")
            return {{"LastBootFailed", "01020304"}, {"next boot: LastBootFailed", "01020304"}};
          return {};
        });
    p.Ends = sim::BootOutcome::Reset;
    // Without a TPM (it keeps the path's 42 runs fast) the next boot's
    // earlier phase fails the operation and records 0xFFF1 itself; the
    // waived path below has the TPM carry its operation out.
    p.Clean = HandedOver("0606000000", "operation 6 failed", "0006f100ff");
    paths.push_back(std::move(p));
  }
  {
    // Operation 1 (enable) with byte 25 and no owner: no screen.
    Path p = RequestPath(
        "PPI request waived (operation 1, byte 25, no owner), handed over, reset",
        RequestBoard(StateRecord(1, {{25, 1}}), "", true), {},
        [](const Point &p, const Facts &) -> Facts {
          if (ArmingFails(p))
            return NotProcessed("0000000000");
          if (p.Key == "SetVariable:ZELTCGPPIVAR" || p.Key == "SetVariable:TCG")
            return NotProcessed(p.Key == "SetVariable:TCG" ? "0001f100ff" : "0000f100ff");
          if (p.Key == "GetVariable:LastBootFailed")
            return {{"LastBootFailed", "01020304"}, {"next boot: LastBootFailed", "01020304"}};
          return {};
        });
    p.Ends = sim::BootOutcome::Reset;
    p.Clean = HandedOver("0101000000", "operation 1 done", "0001000000");
    paths.push_back(std::move(p));
  }
  {
    // Operation 1 waived again, with ResetSystem returning until the Reset
    // Architectural Protocol arrives at ready-to-boot: the reset waits for it.
    json board = RequestBoard(StateRecord(1, {{25, 1}}), "", true);
    board["ppi"] = {{"reset_arch_phase", "ready-to-boot"}};
    Path p = RequestPath(
        "PPI request waived (operation 1), handed over, reset deferred to ready-to-boot", board, {},
        [](const Point &p, const Facts &) -> Facts {
          if (ArmingFails(p))
            return NotProcessed("0000000000");
          // The deferred reset not armed: the boot goes on with the
          // request handed over, and the next boot carries it out.
          if (p.Key == "CreateEvent" || p.Key == "RegisterProtocolNotify")
            return {{"boot", "completed"}};
          if (p.Key == "SetVariable:ZELTCGPPIVAR" || p.Key == "SetVariable:TCG")
            return NotProcessed(p.Key == "SetVariable:TCG" ? "0001f100ff" : "0000f100ff");
          if (p.Key == "GetVariable:LastBootFailed")
            return {{"LastBootFailed", "01020304"}, {"next boot: LastBootFailed", "01020304"}};
          return {};
        });
    p.EndPhase = "ready-to-boot";
    // The console's device and its key event come before the driver's own
    // event for the deferred reset.
    p.BoardCalls = {"InstallProtocolInterface"};
    p.BoardPoints = {"CreateEvent#2", "CreateEvent#3"};
    p.Ends = sim::BootOutcome::Reset;
    p.Clean = HandedOver("0101000000", "operation 1 done", "0001000000");
    paths.push_back(std::move(p));
  }
  {
    // Operation 5 (clear) refused with F4: 0xFFF0 and the reset.
    Path p = RequestPath(
        "PPI request refused at the screen (operation 5), reset",
        RequestBoard(StateRecord(5), "F4", false), {}, [](const Point &p, const Facts &) -> Facts {
          auto request = [](const char *bytes) -> Facts {
            return {{"ZELTCGPPIVAR", bytes}, {"next boot: ZELTCGPPIVAR", bytes}};
          };
          if (ArmingFails(p))
            return NotProcessed("0000000000");
          // The request not recorded before the screen: the refusal goes
          // to the bytes start-up left.
          if (p.Key == "SetVariable:ZELTCGPPIVAR" && p.Call == 1)
            return request("0000f000ff");
          // The store refusing the result itself: the request's bytes stay.
          if (p.Key == "SetVariable:ZELTCGPPIVAR" && p.Call == 3)
            return request("0005000000");
          if (p.Key == "GetVariable:LastBootFailed")
            return {{"LastBootFailed", "01020304"}, {"next boot: LastBootFailed", "01020304"}};
          return {};
        });
    p.Ends = sim::BootOutcome::Reset;
    p.Clean = {{"boot", "reset"},
               {"ZELTCGPPIVAR", "0005f000ff"},
               {"CMOS 0x6F", "0"},
               {"LastBootFailed", "absent"},
               {"next boot: carried out", "nothing"},
               {"next boot: ZELTCGPPIVAR", "0005f000ff"}};
    paths.push_back(std::move(p));
  }
  return paths;
}

// The Setup-flag operations: one "Setup" byte set, a result recorded, and the
// boot goes on. Every power-on finds the result of an earlier refusal of
// operation 5 (0005f000ff).
Path FlagPath(const char *name, json record, const char *keys, size_t offset) {
  const bool screen = *keys != 0;
  const uint8_t op = record[18];
  return RequestPath(name, RequestBoard(std::move(record), keys, false), {offset},
                     [offset, screen, op](const Point &p, const Facts &clean) -> Facts {
                       const std::string flag = "Setup " + std::to_string(offset);
                       // The next boot's "Setup" without the flag.
                       std::string setup = clean.at("next boot: Setup");
                       setup.replace(2 * offset, 2, "00");
                       auto request = [](const std::string &bytes) -> Facts {
                         return {{"ZELTCGPPIVAR", bytes}, {"next boot: ZELTCGPPIVAR", bytes}};
                       };
                       auto unset = [&](const std::string &bytes) {
                         Facts facts = request(bytes);
                         facts[flag] = "0";
                         facts["next boot: Setup"] = setup;
                         return facts;
                       };
                       if (ArmingFails(p))
                         return unset("0005f000ff");
                       // The flag's read or write failing records 0xFFF1 for the request:
                       // the operation's own code after the screen, else the earlier one.
                       if (p.Key == "GetVariable:Setup" || p.Key == "SetVariable:Setup")
                         return unset(screen
                                          ? sim::ToHex(std::vector<uint8_t>{0, op, 0xF1, 0, 0xFF})
                                          : "0005f100ff");
                       if (screen) {
                         // The request not recorded before the screen: the result goes to
                         // the earlier operation's bytes.
                         if (p.Key == "SetVariable:ZELTCGPPIVAR" && p.Call == 1)
                           return request("0005000000");
                         return {};
                       }
                       // Without the screen the result is the variable's only read and
                       // write. Unreadable, it is rebuilt around the operation; unwritable,
                       // the earlier result stays.
                       if (p.Key == "GetVariable:ZELTCGPPIVAR")
                         return request(sim::ToHex(std::vector<uint8_t>{0, op, 0, 0, 0}));
                       if (p.Key == "SetVariable:ZELTCGPPIVAR")
                         return request("0005f000ff");
                       return {};
                     });
}

std::vector<Path> FlagPaths() {
  std::vector<Path> paths = {
      FlagPath("PPI operation 16 confirmed at the screen, \"Setup\" byte 834", StateRecord(16),
               "F1", 834),
      FlagPath("PPI operation 18 waived (bytes 20 and 24), \"Setup\" byte 605",
               StateRecord(18, {{20, 1}, {24, 1}}), "", 605),
      FlagPath("PPI operation 20 waived (byte 32), \"Setup\" byte 835", StateRecord(20, {{32, 1}}),
               "", 835),
  };
  for (Path &p : paths) {
    p.ExtraVariables.push_back(Variable("ZELTCGPPIVAR", kPpiGuid, "0005f000ff"));
    const std::string flag = "Setup " + std::to_string(*p.SetupBytes.begin());
    p.Clean = {{"boot", "completed"}, {flag, "1"}, {"LastBootFailed", "01020304"}};
  }
  paths[0].Clean["ZELTCGPPIVAR"] = "0010000000";
  paths[1].Clean["ZELTCGPPIVAR"] = "0005000000"; // no request recorded without the screen
  paths[2].Clean["ZELTCGPPIVAR"] = "0005000000";
  return paths;
}

// The next boot's start-up after a hand-over of operation 6: the earlier boot
// phase carried it out (PpiSuccessHob) or failed it (no TPM: it recorded
// 0xFFF1 itself), and start-up clears the markers and records the result.
Path StartUpAfterHandOver(const char *name, bool tpm, const char *result) {
  return {.Name = name,
          .Phase = "load-tpm-platform",
          .Before = nullptr,
          .Body = StartTpmPlatform,
          .Variables = kTpmVariables,
          .SetupBytes = {32, 33, 34, 602, 604},
          .Expected = [](const Point &p, EFI_STATUS) -> std::optional<EFI_STATUS> {
            if (p.Key == "InstallProtocolInterface")
              return FailureStatus(p.Key);
            return EFI_SUCCESS;
          },
          .Board = {{"tpm", {{"present", tpm}}}, {"cmos", {{"initial", {{"0x6F", 1}}}}}},
          .ExtraVariables = json::array({Variable("ZELTCGPPIVAR", kPpiGuid, "0606000000"),
                                         Variable("TCG", kTcgGuid, "000101000100")}),
          .Ends = sim::BootOutcome::Completed,
          .Observe = ObservePpi,
          .Ending = [](const Point &p, const Facts &) -> Facts {
            // "TCG" not written: the marker stays, harmless with CMOS 0x6F
            // at 0, and the next start-up writes it again.
            if (p.Key == "SetVariable:TCG")
              return {{"TCG", "000101000100"}};
            return {};
          },
          .Clean = {{"carried out", tpm ? "operation 6 done" : "operation 6 failed"},
                    {"ZELTCGPPIVAR", result},
                    {"TCG", "000100000100"},
                    {"CMOS 0x6F", "0"},
                    {"next boot: ZELTCGPPIVAR", result}}};
}

std::vector<Path> StartUpPaths() {
  return {StartUpAfterHandOver("TpmPlatformDxe start-up after a hand-over: operation 6 done "
                               "(PpiSuccessHob), result 0",
                               true, "0006000000"),
          StartUpAfterHandOver("TpmPlatformDxe start-up after a hand-over: operation 6 failed "
                               "(no TPM), result 0xFFF1 kept",
                               false, "0006f100ff")};
}

TEST(FaultSweep, PhysicalPresenceRequests) {
  Sweep(RequestPaths());
}

TEST(FaultSweep, PhysicalPresenceSetupFlags) {
  Sweep(FlagPaths());
}

} // namespace
} // namespace faultsweep

namespace faultsweep {
namespace {

TEST(FaultSweep, PhysicalPresenceStartUpAfterHandOver) {
  Sweep(StartUpPaths());
}

} // namespace
} // namespace faultsweep
