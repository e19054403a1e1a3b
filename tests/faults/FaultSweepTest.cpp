// The sweep over TpmPlatformDxe's start-up and hooks and ButtonSmm's start-up
// and SMIs; FaultSweep.h has the engine and what every run must satisfy.
#include "faults/FaultSweep.h"
#include "Framework/BootScriptSave.h"
#include "sim/devices/EmbeddedController.h"
#include "sim/smm/OsCommandBuffer.h"
#include "sim/tpm/TpmComponent.h"

namespace faultsweep {
namespace {

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
       [](const Point &p, EFI_STATUS) { return FailsWith(p, "CreateEventEx", EFI_DEVICE_ERROR); },
       "",
       {},
       // A TPM that needs the self-test command first.
       json{{"tpm", {{"vendor_id", "0x15D1"}}}},
       json::array(),
       sim::BootOutcome::Completed,
       [](sim::Board &b, Facts &facts, const std::string &prefix) {
         auto *tpm = b.Find<sim::tpm::TpmComponent>();
         facts[prefix + "physical presence"] =
             tpm->Chip().ReadVolatileFlags().PhysicalPresenceLock ? "locked" : "unlocked";
       },
       [](const Point &p, const Facts &) -> Facts {
         // The first signal sends the self-test, reads the volatile flags
         // and sends the lock; a run the boot-option record stops is
         // repeated whole by the second signal.
         // Without its event nothing runs at ready-to-boot.
         if ((p.Key == "Tcg.PassThroughToTpm" && p.Call == 3) || p.Key == "CreateEventEx")
           return {{"physical presence", "unlocked"}};
         return {};
       },
       {{"physical presence", "locked"}}},
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

// An 0xE3 request; the path's "status" is the result code at offset 4.
EFI_STATUS Command(sim::Board &b, uint32_t command, const std::vector<std::u16string> &strings,
                   uint32_t argument = 0, uint32_t rate = 0, uint32_t delay = 0) {
  sim::OsCommandBuffer os = Smm(b).Os();
  os.SendButtonRequest(command, strings, argument, rate, delay);
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
         auto &ec = Chipset(b).Ec();
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

// The power button's handler writes the power-control ports and halts; an S3
// cycle replays the boot script without entering the driver. Neither calls a
// service, so these paths have no injection points: the sweep shows it.
void ObservePowerOff(sim::Board &b, Facts &facts, const std::string &prefix) {
  facts[prefix + "power off"] = Chipset(b).Ports().PowerOffRequested() ? "requested" : "no";
  facts[prefix + "halted in"] = Smm(b).Core().HaltContext();
}

std::vector<Path> PowerPaths() {
  auto started = [](sim::Board &b) { StartButtonSmm(b); };
  Path gpi1{.Name = "GPI 1 power button (switches the machine off)",
            .Phase = "load-button-smm",
            .Before = started,
            .Body = [](sim::Board &b) -> EFI_STATUS {
              Chipset(b).RaiseGpi(1);
              throw sim::SimulationError("GPI 1 returned");
            },
            .Variables = {},
            .SetupBytes = {},
            .Expected = nullptr,
            .Ends = sim::BootOutcome::Halted,
            .Observe = ObservePowerOff,
            .Clean = {{"power off", "requested"}, {"halted in", "smi:gpi1"}}};
  Path s3 = gpi1;
  s3.Name = "S3 suspend and resume, then GPI 1";
  s3.Body = [](sim::Board &b) -> EFI_STATUS {
    const sim::S3Result cycle = Chipset(b).SuspendResume();
    if (cycle.Replayed == 0 || !cycle.Differences().empty())
      throw sim::SimulationError("the resume did not restore the start-up's registers");
    Chipset(b).RaiseGpi(1);
    throw sim::SimulationError("GPI 1 returned");
  };
  return {gpi1, s3};
}

TEST(FaultSweep, TpmPlatformDxeStartUpAndHooks) {
  Sweep(TpmPlatformPaths());
}

TEST(FaultSweep, ButtonSmmStartUpAndSmis) {
  Sweep(ButtonSmmPaths());
}

TEST(FaultSweep, ButtonSmmPowerButtonAndResume) {
  Sweep(PowerPaths());
}

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
  // An outcome the failure should have given and did not.
  bad.Ending = [](const Point &, const Facts &) -> Facts { return {{"boot", "reset"}}; };
  std::string all;
  for (const auto &v : sweep.Check(point, run, clean))
    all += v + "\n";
  EXPECT_NE(all.find("wrote \"Foreign\""), std::string::npos) << all;
  EXPECT_NE(all.find("changed \"Setup\" byte 5"), std::string::npos) << all;
  EXPECT_NE(all.find("returned EFI_SUCCESS, expected EFI_OUT_OF_RESOURCES"), std::string::npos)
      << all;
  EXPECT_NE(all.find("boot: completed, expected reset"), std::string::npos) << all;
  // The clean run kept its block: a leak the sweep refuses up front.
  EXPECT_EQ(clean.LiveBlocks, 1u);
}

} // namespace
} // namespace faultsweep
