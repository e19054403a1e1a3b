// Fault-injection sweep: every boot-service, runtime-service and protocol call
// a driver makes on a path is made to fail, one call per run, on a fresh board.
//
// A path is enumerated by running it once with call counting; then, for each
// call, the path runs again with exactly that call failing. Every run must end
// without a hang or a board error, leak no pool, write only the driver's own
// variables and its named "Setup" bytes, give the outcome the failure calls
// for, and leave nothing a later boot would misread: the next clean boot ends
// with the driver's variables as the path's behaviour for that failure gives.
#pragma once
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
#include "sim/devices/ChipsetComponent.h"
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

namespace faultsweep {

using sim::json;

inline constexpr EFI_GUID kTpmPlatformFile = {
    0x2F1A0E4B, 0x6C3D, 0x4A57, {0x9E, 0x21, 0x5B, 0x7D, 0x30, 0x44, 0xC1, 0x8A}};
inline constexpr EFI_GUID kButtonSmmFile = {
    0x7D4C9B12, 0x3E5F, 0x4B68, {0xA1, 0x0C, 0x62, 0x93, 0xE8, 0x5D, 0x17, 0x4F}};

// One injection point: the n-th call counted under Key.
struct Point {
  std::string Key;
  uint64_t Call;
  std::string Text() const { return Key + "#" + std::to_string(Call); }
};

// The status a failing call reports: what that service returns when it fails
// for real, so the driver's handling of the usual failure is what runs.
inline EFI_STATUS FailureStatus(std::string_view key) {
  std::string_view service = key.substr(0, key.find(':'));
  if (service == "AllocatePool" || service == "AllocatePages")
    return EFI_OUT_OF_RESOURCES;
  if (service == "LocateProtocol" || service == "HandleProtocol" || service == "LocateHandleBuffer")
    return EFI_NOT_FOUND;
  return EFI_DEVICE_ERROR;
}

// What a run leaves for others to see, by name: how the boot and the next
// boot ended, the driver's variables after the next boot ("next boot: TCG"),
// and whatever the path observes itself.
using Facts = std::map<std::string, std::string>;

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
  std::vector<std::string> NextBootErrors;
  Facts Seen;
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
  // Changes to the sweep's board file (a JSON merge patch) and variables
  // added to the ones every power-on finds.
  json Board = json::object();
  json ExtraVariables = json::array();
  // How the clean run's boot ends (a power-off halts the machine).
  sim::BootOutcome Ends = sim::BootOutcome::Completed;
  // The path's own facts, taken after each of the two boots; `prefix` is ""
  // or "next boot: ".
  std::function<void(sim::Board &, Facts &, const std::string &prefix)> Observe = nullptr;
  // The facts that differ from the clean run's with `point` failing.
  std::function<Facts(const Point &, const Facts &clean)> Ending = nullptr;
  // Facts the clean run must show (what the path is there to do).
  Facts Clean = {};
  // The next boot runs this in place of Before and Body (the operating
  // system's request is gone); nullptr: Before and Body again.
  std::function<void(sim::Board &)> NextBoot = nullptr;
  // Single calls the board makes among the path's own ("CreateEvent#2").
  std::set<std::string> BoardPoints = {};
};

inline EFI_STATUS StartTpmPlatform(sim::Board &b) {
  return b.StartImage({"TpmPlatformDxe", TpmPlatformDxeEntry, kTpmPlatformFile}).Status;
}

inline PlatformHooksProtocol *Hooks(sim::Board &b) {
  VOID *interface = nullptr;
  if (EFI_ERROR(b.Handles().LocateProtocol(&gPlatformHooksProtocolGuid, nullptr, &interface)))
    throw sim::SimulationError("PlatformHooksProtocol is not installed");
  return static_cast<PlatformHooksProtocol *>(interface);
}

inline std::optional<EFI_STATUS> FailsWith(const Point &p, std::string_view key,
                                           EFI_STATUS injected) {
  // A key also matches its per-protocol or per-variable form ("LocateProtocol:<GUID>").
  if (p.Key == key || (p.Key.size() > key.size() && p.Key.compare(0, key.size(), key) == 0 &&
                       p.Key[key.size()] == ':'))
    return injected;
  return std::nullopt;
}

inline const std::set<std::u16string> kTpmVariables = {u"ZELTCGPPIVAR", u"TCG", u"LastBootFailed",
                                                       u"Setup"};

inline EFI_STATUS StartButtonSmm(sim::Board &b) {
  return b.StartImage({"ButtonSmm", ButtonSmmEntry, kButtonSmmFile}).Status;
}

template <class T> T &PartOf(sim::Board &b) {
  if (T *part = b.Find<T>())
    return *part;
  throw sim::SimulationError("the board lacks a part the sweep drives");
}
inline sim::SmmComponent &Smm(sim::Board &b) {
  return PartOf<sim::SmmComponent>(b);
}
inline sim::ChipsetComponent &Chipset(sim::Board &b) {
  return PartOf<sim::ChipsetComponent>(b);
}

// Two values of a fact, shortened to where they part for long ones ("Setup").
inline std::string Difference(const std::string &seen, const std::string &want) {
  if (seen.size() < 80 && want.size() < 80)
    return seen + ", expected " + want;
  size_t at = 0;
  while (at < seen.size() && at < want.size() && seen[at] == want[at])
    ++at;
  at -= at % 2; // hex digits: report the byte
  return "differs from byte " + std::to_string(at / 2) + ": " + seen.substr(at, 16) +
         "..., expected " + want.substr(at, 16) + "...";
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
        if (!armed && path_.NextBoot) {
          path_.NextBoot(b);
          return;
        }
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
      run.Seen["boot"] = sim::OutcomeName(result.Outcome);
      if (path_.Observe)
        path_.Observe(board, run.Seen, "");

      // The next boot, with nothing failing.
      armed = false;
      board.Faults().ClearRules();
      sim::BootResult next = board.Boot();
      run.NextBootErrors = board.Reports().Current().Errors();
      run.Seen["next boot"] = sim::OutcomeName(next.Outcome);
      for (const auto &name : kTpmVariables)
        run.Seen["next boot: " + sim::ToUtf8(name)] = "absent";
      for (const auto &v : board.Variables().All())
        if (kTpmVariables.count(v.Name))
          run.Seen["next boot: " + sim::ToUtf8(v.Name)] = sim::ToHex(v.Data);
      if (path_.Observe)
        path_.Observe(board, run.Seen, "next boot: ");
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
        if (!path_.BoardPoints.count(Point{key, n}.Text()))
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
    if (clean.Status) {
      std::optional<EFI_STATUS> expected =
          path_.Expected ? path_.Expected(point, *clean.Status) : std::nullopt;
      EFI_STATUS want = expected ? *expected : *clean.Status;
      if (!run.Status)
        bad.push_back("no status");
      else if (*run.Status != want)
        bad.push_back("returned " + sim::StatusText(*run.Status) + ", expected " +
                      sim::StatusText(want));
    }
    for (const auto &e : run.NextBootErrors)
      bad.push_back("next boot: board error: " + e);
    Facts want = clean.Seen;
    if (path_.Ending)
      for (auto &[name, value] : path_.Ending(point, clean.Seen)) {
        if (!want.count(name))
          bad.push_back("the path expects an unknown fact \"" + name + "\"");
        want[name] = value;
      }
    for (const auto &[name, value] : want) {
      auto seen = run.Seen.find(name);
      const std::string got = seen == run.Seen.end() ? "(not seen)" : seen->second;
      if (got != value)
        bad.push_back(name + ": " + Difference(got, value));
    }
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
    board.merge_patch(path_.Board);
    for (const auto &v : path_.ExtraVariables)
      board["variables"]["initial"].push_back(v);
    return sim::BoardConfig::FromText(board.dump(), "fault-sweep.json");
  }

  const Path &path_;
};

inline std::string Outcome(const PathRun &run) {
  if (run.Outcome != sim::BootOutcome::Completed)
    return sim::OutcomeName(run.Outcome);
  if (!run.Status)
    return "no status";
  // The SMI paths report result codes and counts, not EFI statuses.
  if (*run.Status != 0 && *run.Status < 0x10000)
    return "result " + std::to_string(*run.Status);
  return sim::StatusText(*run.Status);
}

// The facts a run changed from the clean run's, for the report.
inline std::string Changes(const PathRun &run, const PathRun &clean) {
  std::string text;
  for (const auto &[name, value] : run.Seen) {
    auto c = clean.Seen.find(name);
    if (name == "boot" || (c != clean.Seen.end() && c->second == value))
      continue;
    text += (text.empty() ? "; " : ", ") + name + " " + (value.size() < 40 ? value : "changed");
  }
  return text;
}

inline void Sweep(const std::vector<Path> &paths) {
  size_t total = 0;
  for (const Path &path : paths) {
    SCOPED_TRACE(path.Name);
    FaultSweep sweep(path);
    const PathRun clean = sweep.Execute(std::nullopt);
    ASSERT_TRUE(clean.Reached) << path.Name << ": the clean run did not reach the path";
    ASSERT_EQ(clean.Outcome, path.Ends) << clean.Detail;
    ASSERT_TRUE(clean.Status.has_value() || path.Ends == sim::BootOutcome::Halted);
    ASSERT_TRUE(clean.Errors.empty()) << clean.Errors.front();
    ASSERT_EQ(clean.LiveBlocks, 0u) << path.Name << " keeps pool on its clean run";
    if (clean.Status && path.Expected)
      if (auto expected = path.Expected({"(none)", 0}, *clean.Status))
        EXPECT_EQ(*clean.Status, *expected) << "clean run";

    for (const auto &[name, value] : path.Clean) {
      auto seen = clean.Seen.find(name);
      EXPECT_EQ(seen == clean.Seen.end() ? "(not seen)" : seen->second, value)
          << "clean run: " << name;
    }

    const std::vector<Point> points = sweep.Points(clean);
    std::ostringstream summary;
    summary << "[fault-sweep] " << path.Name << ": " << points.size()
            << " injection points (clean: " << Outcome(clean) << ")\n";
    size_t failures = 0;
    for (const Point &point : points) {
      const PathRun run = sweep.Execute(point);
      const std::vector<std::string> bad = sweep.Check(point, run, clean);
      summary << "  " << point.Text() << " = " << sim::StatusText(FailureStatus(point.Key))
              << " -> " << Outcome(run) << Changes(run, clean) << (bad.empty() ? "" : "  FAILED")
              << "\n";
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

} // namespace faultsweep
