// Fault-injection sweep: every boot-service, runtime-service and protocol call
// a driver makes on a path is made to fail, one call per run, on a fresh board.
//
// A path is enumerated by running it once with call counting; then, for each
// call, the path runs again with exactly that call failing. Every run must end
// without a hang or a board error, leak no pool, write only the driver's own
// variables and its named "Setup" bytes, give the outcome the failure calls
// for, and leave nothing a later boot would misread: the next clean boot ends
// with the driver's variables exactly as after two clean boots.
#include "Framework/BootScriptSave.h"
#include "Platform/PlatformHooksProtocol.h"
#include "Platform/SetupData.h"
#include "Uefi/UefiSpec.h"
#include "sim/board/Board.h"
#include "sim/board/DriverEntries.h"
#include "sim/core/Errors.h"
#include "sim/core/Events.h"
#include "sim/core/Guid.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/Pool.h"
#include "sim/core/Status.h"
#include "sim/core/Text.h"
#include "sim/devices/EmbeddedController.h"
#include "sim/smm/OsCommandBuffer.h"
#include "sim/smm/SmmComponent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

using sim::json;

constexpr EFI_GUID kTpmPlatformFile = {
    0x2F1A0E4B, 0x6C3D, 0x4A57, {0x9E, 0x21, 0x5B, 0x7D, 0x30, 0x44, 0xC1, 0x8A}};
constexpr EFI_GUID kButtonSmmFile = {
    0x7D4C9B12, 0x3E5F, 0x4B68, {0xA1, 0x0C, 0x62, 0x93, 0xE8, 0x5D, 0x17, 0x4F}};

// One injection point: the n-th call counted under Key.
struct Point {
  std::string Key;
  uint64_t Call;
  std::string Text() const { return Key + "#" + std::to_string(Call); }
};

// The status a failing call reports: what that service returns when it fails
// for real, so the driver's handling of the usual failure is what runs.
EFI_STATUS FailureStatus(std::string_view key) {
  std::string_view service = key.substr(0, key.find(':'));
  if (service == "AllocatePool" || service == "AllocatePages")
    return EFI_OUT_OF_RESOURCES;
  if (service == "LocateProtocol" || service == "HandleProtocol" || service == "LocateHandleBuffer")
    return EFI_NOT_FOUND;
  return EFI_DEVICE_ERROR;
}

// What one run of a path did.
struct PathRun {
  bool Reached = false; // the path ran (the boot got to it)
  std::optional<EFI_STATUS> Status;
  sim::BootOutcome Outcome = sim::BootOutcome::Completed;
  std::string Detail;
  std::vector<std::string> Errors;
  std::map<std::string, uint64_t, std::less<>> Counts;
  std::map<std::string, uint64_t, std::less<>> CountsAfterBody;
  std::vector<sim::VariableStore::Write> Writes;
  size_t LiveBlocks = 0; // pool blocks the path allocated and kept
  std::map<std::string, std::vector<uint8_t>> NextBootVariables;
  std::vector<std::string> NextBootErrors;
  sim::BootOutcome NextBootOutcome = sim::BootOutcome::Completed;
};

struct Path {
  const char *Name;
  // The phase at whose end the path runs; the boot stops there.
  const char *Phase;
  // Runs unarmed before the path (the driver's start-up for a hook path).
  std::function<void(sim::Board &)> Before;
  // The path itself; returns its status.
  std::function<EFI_STATUS(sim::Board &)> Body;
  std::set<std::u16string> Variables; // it may write these
  std::set<size_t> SetupBytes;        // and these bytes of "Setup"
  // The status the path must return with `point` failing, when the driver's
  // behaviour fixes it; nullopt: the clean run's status.
  std::function<std::optional<EFI_STATUS>(const Point &, EFI_STATUS)> Expected;
  // The boot goes on to this phase (the path's events run there); empty: it
  // stops after Phase.
  const char *EndPhase = "";
  // Services the board itself calls in those later phases (installing the
  // devices' protocols): only the path's own calls of them are injected.
  std::set<std::string> BoardCalls = {};
};

EFI_STATUS StartTpmPlatform(sim::Board &b) {
  return b.StartImage({"TpmPlatformDxe", TpmPlatformDxeEntry, kTpmPlatformFile}).Status;
}

PlatformHooksProtocol *Hooks(sim::Board &b) {
  VOID *interface = nullptr;
  if (EFI_ERROR(b.Handles().LocateProtocol(&gPlatformHooksProtocolGuid, nullptr, &interface)))
    throw sim::SimulationError("PlatformHooksProtocol is not installed");
  return static_cast<PlatformHooksProtocol *>(interface);
}

std::optional<EFI_STATUS> FailsWith(const Point &p, std::string_view key, EFI_STATUS injected) {
  // A key also matches its per-protocol or per-variable form ("LocateProtocol:<GUID>").
  if (p.Key == key || (p.Key.size() > key.size() && p.Key.compare(0, key.size(), key) == 0 &&
                       p.Key[key.size()] == ':'))
    return injected;
  return std::nullopt;
}

const std::set<std::u16string> kTpmVariables = {u"ZELTCGPPIVAR", u"TCG", u"LastBootFailed",
                                                u"Setup"};

std::vector<Path> TpmPlatformPaths() {
  return {
      {"TpmPlatformDxe start-up",
       "load-tpm-platform",
       nullptr,
       StartTpmPlatform,
       kTpmVariables,
       {32, 33, 34, 602, 604},
       [](const Point &p, EFI_STATUS) -> std::optional<EFI_STATUS> {
         // Only the installation's status is reported; every other failure
         // is absorbed.
         if (p.Key == "InstallProtocolInterface")
           return FailureStatus(p.Key);
         return EFI_SUCCESS;
       }},
      {"SyncTpmEnableHook",
       "load-tpm-platform",
       [](sim::Board &b) { StartTpmPlatform(b); },
       [](sim::Board &b) { return Hooks(b)->SyncTpmEnableHook(); },
       kTpmVariables,
       {602},
       [](const Point &p, EFI_STATUS) {
         return p.Call == 1 ? FailsWith(p, "LocateProtocol", EFI_NOT_FOUND) : std::nullopt;
       }},
      {"GetPlatformOptions",
       "load-tpm-platform",
       [](sim::Board &b) { StartTpmPlatform(b); },
       [](sim::Board &b) {
         UINT8 options[kPlatformOptionsSize] = {0xEE, 0xEE, 0xEE, 0xEE};
         EFI_STATUS status = Hooks(b)->GetPlatformOptions(options);
         if (options[0] != 1 || options[1] != 0 || options[2] != 0 || options[3] != 0)
           throw sim::SimulationError("GetPlatformOptions filled the wrong record");
         return status;
       },
       {},
       {},
       [](const Point &, EFI_STATUS) { return std::optional<EFI_STATUS>(EFI_SUCCESS); }},
      {"ZeroPpiVariableHook",
       "load-tpm-platform",
       [](sim::Board &b) { StartTpmPlatform(b); },
       [](sim::Board &b) { return Hooks(b)->ZeroPpiVariableHook(); },
       {u"ZELTCGPPIVAR"},
       {},
       [](const Point &p, EFI_STATUS) {
         return FailsWith(p, "SetVariable:ZELTCGPPIVAR", EFI_DEVICE_ERROR);
       }},
      {"ReadyToBootHook and the ready-to-boot signal",
       "load-tpm-platform",
       [](sim::Board &b) { StartTpmPlatform(b); },
       [](sim::Board &b) {
         EFI_STATUS status = Hooks(b)->ReadyToBootHook();
         b.Events().SignalGroup(gEfiEventReadyToBootGuid);
         b.Events().SignalGroup(gEfiEventReadyToBootGuid);
         return status;
       },
       kTpmVariables,
       {},
       [](const Point &p, EFI_STATUS) { return FailsWith(p, "CreateEventEx", EFI_DEVICE_ERROR); }},
      {"MicrocodeHook",
       "load-tpm-platform",
       [](sim::Board &b) { StartTpmPlatform(b); },
       [](sim::Board &b) { return Hooks(b)->MicrocodeHook(); },
       kTpmVariables,
       {},
       [](const Point &p, EFI_STATUS) -> std::optional<EFI_STATUS> {
         // A failed allocation is the hook's own failure; with the board's TCG
         // protocol the measurement's failures are reported as well.
         if (p.Key == "LocateProtocol:F541796D-A62E-4954-A775-9584F61B9CDD")
           return EFI_NOT_FOUND;
         if (p.Key == "Tcg.HashLogExtendEvent")
           return EFI_DEVICE_ERROR;
         return FailsWith(p, "AllocatePool", EFI_OUT_OF_RESOURCES);
       }},
      {"OptionRomHook and PCI enumeration",
       "load-tpm-platform",
       [](sim::Board &b) { StartTpmPlatform(b); },
       [](sim::Board &b) { return Hooks(b)->OptionRomHook(); },
       kTpmVariables,
       {},
       // The registration's results are not checked: always EFI_SUCCESS.
       [](const Point &, EFI_STATUS) { return std::optional<EFI_STATUS>(EFI_SUCCESS); },
       "pci-enumeration",
       {"InstallProtocolInterface"}},
  };
}

EFI_STATUS StartButtonSmm(sim::Board &b) {
  return b.StartImage({"ButtonSmm", ButtonSmmEntry, kButtonSmmFile}).Status;
}

sim::SmmComponent &Smm(sim::Board &b) {
  auto *smm = b.Find<sim::SmmComponent>();
  if (smm == nullptr)
    throw sim::SimulationError("the board has no SMM component");
  return *smm;
}

// An 0xE3 request; the path's "status" is the result code at offset 4.
EFI_STATUS Command(sim::Board &b, uint32_t command, const std::vector<std::u16string> &strings,
                   uint32_t argument = 0, uint32_t rate = 0, uint32_t delay = 0) {
  sim::OsCommandBuffer os = Smm(b).Os();
  const uint32_t status = os.Read32(0);
  os.Clear();
  os.Write32(0, status);
  os.Write32(4, command);
  os.Write32(8, argument);
  os.Write32(12, rate);
  os.Write32(16, delay);
  os.WriteStrings(strings);
  os.RaiseSoftwareSmi(0xE3);
  if ((os.Read32(0) & 0x80) == 0)
    throw sim::SimulationError("SMI 0xE3 did not set the handled bit");
  return os.Read32(4);
}

constexpr EFI_STATUS kPasswordRefused = 6;

// The SMM runtime table's GetVariable reaches the board's variable service,
// so one read counts under both keys.
bool ReadsSetup(const Point &p) {
  return p.Key == "SmmRuntime.GetVariable" || p.Key == "GetVariable:Setup";
}

std::vector<Path> ButtonSmmPaths() {
  auto started = [](sim::Board &b) { StartButtonSmm(b); };
  // Every failing platform call of the two instances ends the start-up with
  // its status, except the boot-script lookup (the writes go unrecorded).
  auto startup = [](const Point &p, EFI_STATUS clean) -> std::optional<EFI_STATUS> {
    if (p.Call == 0 || p.Key.rfind("BootScript.", 0) == 0 || p.Key == "FreePool" ||
        p.Key == "LocateProtocol:" + sim::GuidName(gEfiBootScriptSaveProtocolGuid))
      return clean;
    return FailureStatus(p.Key);
  };
  return {
      {"ButtonSmm start-up (boot-service and SMRAM instances)",
       "load-button-smm",
       nullptr,
       StartButtonSmm,
       {},
       {},
       startup},
      {"SMI 0xE3 GetButtonInfo",
       "load-button-smm",
       started,
       [](sim::Board &b) { return Command(b, 0, {u"VolumeUpButton"}); },
       {},
       {},
       [](const Point &, EFI_STATUS) { return std::optional<EFI_STATUS>(0); }},
      {"SMI 0xE3 SetButton",
       "load-button-smm",
       started,
       [](sim::Board &b) {
         return Command(b, 1, {u"VolumeUpButton", u"E030", u""}, 0, 1, 2);
       },
       {},
       {},
       [](const Point &p, EFI_STATUS clean) -> std::optional<EFI_STATUS> {
         // An unreadable "Setup" demands the password, and without a
         // password service every password is refused.
         if (ReadsSetup(p))
           return kPasswordRefused;
         return clean;
       }},
      {"SMI 0xE3 EnableButton, RestoreButton, SetButtonActionMode",
       "load-button-smm",
       started,
       [](sim::Board &b) {
         EFI_STATUS a = Command(b, 2, {u"BrightnessUpButton", u""}, 0);
         EFI_STATUS r = Command(b, 3, {u"BrightnessUpButton", u""});
         EFI_STATUS m = Command(b, 4, {u"VolumeMuteButton"}, 1);
         return a | r << 8 | m << 16;
       },
       {},
       {},
       [](const Point &p, EFI_STATUS clean) -> std::optional<EFI_STATUS> {
         // Commands 2 and 3 read "Setup" once each; command 4 never asks.
         if (ReadsSetup(p))
           return clean | kPasswordRefused << (8 * (p.Call - 1));
         return clean;
       }},
      {"SMI 0xE0 brightness set and get",
       "load-button-smm",
       started,
       [](sim::Board &b) {
         sim::OsCommandBuffer os = Smm(b).Os();
         os.Write32(4, 40);
         os.Write32(8, 1);
         os.RaiseSoftwareSmi(0xE0);
         os.Write32(8, 0);
         os.RaiseSoftwareSmi(0xE0);
         return EFI_STATUS(os.Read32(4));
       },
       {},
       {},
       [](const Point &, EFI_STATUS clean) { return std::optional<EFI_STATUS>(clean); }},
      {"GPI 6 button events (volume up, brightness up, volume mute)",
       "load-button-smm",
       started,
       [](sim::Board &b) {
         auto &ec = Smm(b).Ec();
         for (uint8_t mask : {0x01, 0x04, 0x20}) {
           ec.Press(mask);
           ec.Release(mask);
         }
         return EFI_STATUS(ec.KeyboardStream().size());
       },
       {},
       {},
       [](const Point &, EFI_STATUS clean) { return std::optional<EFI_STATUS>(clean); }},
  };
}

class FaultSweep {
public:
  explicit FaultSweep(const Path &path) : path_(path) {}

  PathRun Execute(const std::optional<Point> &point) {
    const auto state =
        std::filesystem::path(::testing::TempDir()) / ("fault-sweep-" + std::to_string(::getpid()));
    std::filesystem::remove_all(state);
    PathRun run;
    {
      sim::Board board(Config(), state);
      bool armed = true;
      size_t firstWrite = 0;
      uint64_t firstSerial = 0;
      board.Sequence().Attach(path_.Phase, "fault-sweep", [&](sim::Board &b) {
        if (path_.Before)
          path_.Before(b);
        b.Faults().ResetCounts();
        if (armed) {
          firstWrite = b.Variables().Writes().size();
          firstSerial = b.Pool().TotalAllocations() + 1;
        }
        if (armed && point)
          b.Faults().FailNth(point->Key, point->Call, FailureStatus(point->Key));
        run.Reached = armed ? true : run.Reached;
        EFI_STATUS status = path_.Body(b);
        if (armed) {
          run.Status = status;
          run.CountsAfterBody = b.Faults().CallCounts();
        }
      });
      sim::BootResult result = board.Boot();
      run.Outcome = result.Outcome;
      run.Detail = result.Detail;
      run.Errors = board.Reports().Current().Errors();
      run.Counts = board.Faults().CallCounts();
      const auto &writes = board.Variables().Writes();
      if (firstWrite <= writes.size())
        run.Writes.assign(writes.begin() + firstWrite, writes.end());
      const bool freeFailed = point && point->Key == "FreePool";
      for (const auto &block : board.Pool().Live())
        if (run.Reached && block.Serial >= firstSerial)
          ++run.LiveBlocks;
      if (freeFailed && run.LiveBlocks > 0)
        --run.LiveBlocks; // the block whose release was refused

      // The next boot, with nothing failing.
      armed = false;
      board.Faults().ClearRules();
      sim::BootResult next = board.Boot();
      run.NextBootOutcome = next.Outcome;
      run.NextBootErrors = board.Reports().Current().Errors();
      for (const auto &v : board.Variables().All())
        if (kTpmVariables.count(v.Name))
          run.NextBootVariables[sim::ToUtf8(v.Name)] = v.Data;
    }
    std::filesystem::remove_all(state);
    return run;
  }

  // The injection points of a clean run: each call counted under a variable
  // name is one point under that name; other services count per call.
  std::vector<Point> Points(const PathRun &clean) const {
    std::vector<Point> points;
    for (auto [key, count] : clean.Counts) {
      if (path_.BoardCalls.count(key)) {
        auto body = clean.CountsAfterBody.find(key);
        count = body == clean.CountsAfterBody.end() ? 0 : body->second;
      }
      bool detailed = key.find(':') != std::string::npos;
      bool hasDetails = false;
      uint64_t detailSum = 0;
      if (!detailed)
        for (const auto &[other, n] : clean.Counts)
          if (other.size() > key.size() && other.compare(0, key.size() + 1, key + ":") == 0) {
            hasDetails = true;
            detailSum += n;
          }
      if (hasDetails && detailSum == count)
        continue; // counted through its details
      for (uint64_t n = 1; n <= count; ++n)
        points.push_back({key, n});
    }
    return points;
  }

  // Every invariant of a faulted run, as a list of violations.
  std::vector<std::string> Check(const Point &point, const PathRun &run,
                                 const PathRun &clean) const {
    std::vector<std::string> bad;
    if (!run.Reached)
      bad.push_back("the path did not run");
    if (run.Outcome == sim::BootOutcome::Hung)
      bad.push_back("the boot hung: " + run.Detail);
    if (run.Outcome != clean.Outcome)
      bad.push_back(std::string("boot ended ") + sim::OutcomeName(run.Outcome) + ", clean run " +
                    sim::OutcomeName(clean.Outcome));
    for (const auto &e : run.Errors)
      bad.push_back("board error: " + e);
    if (run.LiveBlocks > clean.LiveBlocks)
      bad.push_back("pool leak: " + std::to_string(run.LiveBlocks - clean.LiveBlocks) + " blocks");
    for (const auto &w : run.Writes) {
      std::string name = sim::ToUtf8(w.Name);
      if (!path_.Variables.count(w.Name)) {
        bad.push_back("wrote \"" + name + "\"");
        continue;
      }
      if (w.Name == u"Setup") {
        if (!w.Before || !w.After || w.Before->size() != w.After->size()) {
          bad.push_back("\"Setup\" created, deleted or resized");
          continue;
        }
        for (size_t i = 0; i < w.After->size(); ++i)
          if ((*w.Before)[i] != (*w.After)[i] && !path_.SetupBytes.count(i))
            bad.push_back("changed \"Setup\" byte " + std::to_string(i));
      } else if (w.Name != u"LastBootFailed" && w.Attributes != 7) {
        bad.push_back("wrote \"" + name + "\" with attributes " + std::to_string(w.Attributes));
      }
    }
    if (run.Outcome == sim::BootOutcome::Completed) {
      std::optional<EFI_STATUS> expected = path_.Expected(point, *clean.Status);
      EFI_STATUS want = expected ? *expected : *clean.Status;
      if (!run.Status)
        bad.push_back("no status");
      else if (*run.Status != want)
        bad.push_back("returned " + sim::StatusText(*run.Status) + ", expected " +
                      sim::StatusText(want));
    }
    if (run.NextBootOutcome != clean.NextBootOutcome)
      bad.push_back("the next boot ended differently");
    for (const auto &e : run.NextBootErrors)
      bad.push_back("next boot: board error: " + e);
    if (run.NextBootVariables != clean.NextBootVariables)
      bad.push_back("the next clean boot leaves the driver's variables differently");
    return bad;
  }

private:
  sim::BoardConfig Config() const {
    json board = json::parse(sim::kReferenceBoardJson);
    // The sweep starts the driver itself, at the end of the path's phase.
    board["drivers"]["tpm_platform"]["load"] = false;
    board["drivers"]["button_smm"]["load"] = false;
    json phases = json::array();
    const std::string_view end = *path_.EndPhase ? path_.EndPhase : path_.Phase;
    for (const auto &p : sim::BootPhases()) {
      phases.push_back(std::string(p.Name));
      if (p.Name == end)
        break;
    }
    board["boot"]["phases"] = phases;
    // "Setup" out of line with the TPM (every sync step writes) and asking for
    // the DSDT flag, so the paths reach their writes and the ACPI calls.
    board["variables"]["initial"] =
        json::array({{{"name", "Setup"},
                      {"guid", "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9"},
                      {"size", kSetupDataSize},
                      {"set", {{"34", 1}, {"599", 1}, {"600", 1}, {"604", 1}}}},
                     {{"name", "OrvMfgData"},
                      {"guid", "707C9176-A4C1-4E27-851D-1C37B7CA73C8"},
                      {"size", 7},
                      {"set", {{"1", 1}}}}});
    // Devices found after the option-ROM hook ran, one of each ROM kind.
    board["pci"]["devices"] = json::array({{{"name", "nic"}, {"bus", 2}, {"rom", "efi"}},
                                           {{"name", "vga"}, {"device", 2}, {"rom", "legacy"}},
                                           {{"name", "raid"}, {"bus", 3}, {"rom", "unsigned"}}});
    return sim::BoardConfig::FromText(board.dump(), "fault-sweep.json");
  }

  const Path &path_;
};

std::string Outcome(const PathRun &run) {
  if (run.Outcome != sim::BootOutcome::Completed)
    return sim::OutcomeName(run.Outcome);
  if (!run.Status)
    return "no status";
  // The SMI paths report result codes and counts, not EFI statuses.
  if (*run.Status != 0 && *run.Status < 0x10000)
    return "result " + std::to_string(*run.Status);
  return sim::StatusText(*run.Status);
}

void Sweep(const std::vector<Path> &paths) {
  size_t total = 0;
  for (const Path &path : paths) {
    SCOPED_TRACE(path.Name);
    FaultSweep sweep(path);
    const PathRun clean = sweep.Execute(std::nullopt);
    ASSERT_TRUE(clean.Reached) << path.Name << ": the clean run did not reach the path";
    ASSERT_EQ(clean.Outcome, sim::BootOutcome::Completed) << clean.Detail;
    ASSERT_TRUE(clean.Status.has_value());
    ASSERT_TRUE(clean.Errors.empty()) << clean.Errors.front();
    ASSERT_EQ(clean.LiveBlocks, 0u) << path.Name << " keeps pool on its clean run";
    if (auto expected = path.Expected({"(none)", 0}, *clean.Status))
      EXPECT_EQ(*clean.Status, *expected) << "clean run";

    const std::vector<Point> points = sweep.Points(clean);
    std::ostringstream summary;
    summary << "[fault-sweep] " << path.Name << ": " << points.size()
            << " injection points (clean: " << Outcome(clean) << ")\n";
    size_t failures = 0;
    for (const Point &point : points) {
      const PathRun run = sweep.Execute(point);
      const std::vector<std::string> bad = sweep.Check(point, run, clean);
      summary << "  " << point.Text() << " = " << sim::StatusText(FailureStatus(point.Key))
              << " -> " << Outcome(run) << (bad.empty() ? "" : "  FAILED") << "\n";
      for (const auto &b : bad) {
        ADD_FAILURE() << path.Name << ", " << point.Text() << " failing: " << b;
        ++failures;
      }
    }
    total += points.size();
    std::cout << summary.str();
    EXPECT_EQ(failures, 0u);
  }
  std::cout << "[fault-sweep] " << total << " injection points in all\n";
}

TEST(FaultSweep, TpmPlatformDxeStartUpAndHooks) {
  Sweep(TpmPlatformPaths());
}

TEST(FaultSweep, ButtonSmmStartUpAndSmis) {
  Sweep(ButtonSmmPaths());
}

} // namespace

namespace {

// The sweep's own checks catch what they are there to catch: a path that
// leaks, writes a foreign variable or a foreign "Setup" byte, or swallows the
// status it should return, is reported.
TEST(FaultSweep, ChecksReportViolations) {
  static UINT8 setup[kSetupDataSize];
  Path bad{"misbehaving path",
           "load-tpm-platform",
           nullptr,
           [](sim::Board &b) {
             VOID *block = nullptr;
             b.BootServices()->AllocatePool(EfiBootServicesData, 16, &block);
             UINT8 byte = 1;
             b.RuntimeServices()->SetVariable(const_cast<CHAR16 *>(u"Foreign"),
                                              const_cast<EFI_GUID *>(&gSetupVariableGuid), 7, 1,
                                              &byte);
             UINTN size = sizeof setup;
             b.RuntimeServices()->GetVariable(const_cast<CHAR16 *>(u"Setup"),
                                              const_cast<EFI_GUID *>(&gSetupVariableGuid), nullptr,
                                              &size, setup);
             setup[5] ^= 1;
             b.RuntimeServices()->SetVariable(const_cast<CHAR16 *>(u"Setup"),
                                              const_cast<EFI_GUID *>(&gSetupVariableGuid), 7, size,
                                              setup);
             return EFI_SUCCESS;
           },
           kTpmVariables,
           {32},
           [](const Point &p, EFI_STATUS) {
             return FailsWith(p, "AllocatePool", EFI_OUT_OF_RESOURCES);
           }};
  FaultSweep sweep(bad);
  const PathRun clean = sweep.Execute(std::nullopt);
  ASSERT_TRUE(clean.Reached);
  const Point point{"AllocatePool", 1};
  const PathRun run = sweep.Execute(point);
  std::string all;
  for (const auto &v : sweep.Check(point, run, clean))
    all += v + "\n";
  EXPECT_NE(all.find("wrote \"Foreign\""), std::string::npos) << all;
  EXPECT_NE(all.find("changed \"Setup\" byte 5"), std::string::npos) << all;
  EXPECT_NE(all.find("returned EFI_SUCCESS, expected EFI_OUT_OF_RESOURCES"), std::string::npos)
      << all;
  // The clean run kept its block: a leak the sweep refuses up front.
  EXPECT_EQ(clean.LiveBlocks, 1u);
}

} // namespace
