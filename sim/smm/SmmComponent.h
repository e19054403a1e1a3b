// The hot-key side of the board: the SMM core with its dispatchers and the
// boot-script service, the platform data and the OS command buffer, and the
// devices the SMM driver drives (EC, Super-I/O, PCI configuration, chipset and
// EC-side ports). Board-file section "smm"; docs/board-file.md lists its keys.
//
// Board actions for tests and platsim: Ec().Press()/Release()/Hold() raise
// GPI 6 through the chipset, RaiseGpi(1) is the power button, Os() is the
// operating system's command buffer, SuspendResume() an S3 cycle.
#pragma once
#include "sim/board/Component.h"
#include "sim/devices/EmbeddedController.h"
#include "sim/devices/PciConfig.h"
#include "sim/devices/PlatformPorts.h"
#include "sim/devices/SuperIo.h"
#include "sim/smm/BootScript.h"
#include "sim/smm/OsCommandBuffer.h"
#include "sim/smm/PlatformData.h"
#include "sim/smm/SmmCore.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class Board;

// What an S3 cycle did to the registers the board compares.
struct S3Result {
  std::map<std::string, uint64_t> BeforeSuspend;
  std::map<std::string, uint64_t> AfterSuspend; // before the script ran
  std::map<std::string, uint64_t> AfterResume;
  size_t Replayed = 0; // boot-script entries replayed
  // Registers whose value after resume differs from before the suspend.
  std::vector<std::string> Differences() const;
  // Registers the suspend changed (and the script had to restore).
  std::vector<std::string> Lost() const;
};

class SmmComponent : public Component {
public:
  struct Options {
    // Successive LocateProtocol results for the boot-script GUID: "framework",
    // "pi" or "absent"; the last one repeats.
    std::vector<std::string> BootScriptLookups = {"framework"};
    bool PublishSmmRuntimeServices = true;
    uint8_t Gate = 0;
    std::vector<uint8_t> ConfigBlock = {0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bool InstallPlatformData = true;
    bool InstallCommandBuffer = true;
    uint64_t CommandBufferAddress = 0x7F000000; // OS memory above the board's "low" region
    EmbeddedController::Options Ec;
    PlatformPorts::Defaults Ports;
    uint32_t GpiRoute = 0x00001000;
  };

  SmmComponent();
  ~SmmComponent() override;

  std::string_view Name() const override { return "smm"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  // Phase "board-protocols": the SMM, boot-script, platform-data and command-buffer
  // protocols.
  void InstallProtocols(Board &board);
  void Report(Board &board, BootReport &report) override;

  Options &Settings() { return options_; }

  // ---- Per boot ----------------------------------------------------------
  SmmCore &Core();
  BootScript &Script();
  PlatformData &Data();
  EmbeddedController &Ec();
  SuperIo &Sio();
  PciConfig &Pci();
  PlatformPorts &Ports();
  OsCommandBuffer Os();

  // Raises a GPI through the chipset's routing: "smi", "sci" or "ignored".
  std::string RaiseGpi(unsigned gpi);
  // Suspends to S3 (the devices lose what a real suspend loses) and resumes
  // (the boot script is replayed).
  S3Result SuspendResume();
  // Every compared register: EC RAM of page 6, Super-I/O, the LPC bridge's
  // GPI routing, the chipset and EC-side ports.
  std::map<std::string, uint64_t> Snapshot() const;

private:
  struct PerBoot;
  EFI_STATUS LoadIntoSmram(Board &board, const EFI_DEVICE_PATH_PROTOCOL *path,
                           EFI_HANDLE *smmImage);
  static EFI_STATUS EFIAPI LocateProtocolHook(const EFI_GUID *protocol, VOID *registration,
                                              VOID **interface);

  Options options_;
  std::unique_ptr<PerBoot> boot_;
  static SmmComponent *hooked_;
};

std::unique_ptr<Component> MakeSmmComponent();

} // namespace sim
