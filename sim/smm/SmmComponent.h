// The SMM side of the board: the SMM core with its dispatchers, loading into
// SMRAM, the boot-script service, the platform data and the OS command buffer.
// The SMM core serves the chipset's SMIs and runs its S3 resume path
// (ChipsetComponent, where the hot-key devices are). Board-file section "smm";
// docs/board-file.md lists its keys.
//
// Board actions for tests and platsim: Os() is the operating system's command
// buffer.
#pragma once
#include "sim/board/Component.h"
#include "sim/smm/BootScript.h"
#include "sim/smm/OsCommandBuffer.h"
#include "sim/smm/PlatformData.h"
#include "sim/smm/SmmCore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class Board;

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
  OsCommandBuffer Os();

private:
  struct PerBoot;
  EFI_STATUS LocateBootScript(VOID **interface);

  Options options_;
  std::unique_ptr<PerBoot> boot_;
};

std::unique_ptr<Component> MakeSmmComponent();

} // namespace sim
