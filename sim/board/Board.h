// One simulated laptop across power cycles.
//
// The board is built from a board file (BoardConfig) and a state directory.
// Persistent parts (variables, CMOS, the components' own state such as the
// TPM's) are read from the state directory when the board is built and
// written back by Commit() when the run completes; a run that fails before
// Commit leaves the directory untouched.
//
// A boot: PowerOn() builds fresh firmware services and devices, then the boot
// sequence runs its phases. ResetSystem, a processor halt or a wait that can
// never end unwinds out of whatever runs (driver code included) and ends the
// boot; Boot() reports how it ended. Between PowerOn and the next PowerOn the
// per-boot parts (handles, events, pool, tables, I/O trace) stay inspectable.
//
// Driver code reaches the board only through the tables and Hw.h, which
// route to Board::Current(): the most recently built board still alive.
#pragma once
#include "Uefi/UefiSpec.h"
#include "sim/board/BoardConfig.h"
#include "sim/board/BoardParts.h"
#include "sim/board/BootSequence.h"
#include "sim/board/Component.h"
#include "sim/core/Events.h"
#include "sim/core/Faults.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/HobBuilder.h"
#include "sim/core/Pool.h"
#include "sim/core/StateStore.h"
#include "sim/core/SystemTables.h"
#include "sim/core/VariableStore.h"
#include "sim/devices/Cmos.h"
#include "sim/io/AccessTrace.h"
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"
#include "sim/report/Report.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class BootOutcome { Completed, Reset, Halted, Hung };
const char *OutcomeName(BootOutcome outcome);

struct BootResult {
  unsigned Index = 0; // 1 for the first boot of the run
  BootOutcome Outcome = BootOutcome::Completed;
  std::optional<EFI_RESET_TYPE> ResetType;
  std::string Phase;  // the phase running when the boot ended
  std::string Detail; // halt context, why the board hung
};

// A driver image as the board loads it.
struct DriverImage {
  std::string Name;
  EFI_IMAGE_ENTRY_POINT Entry;
  EFI_GUID FileGuid; // its file in the firmware volume
  // The image's HII package list (its .hii section), published on the image
  // handle under EFI_HII_PACKAGE_LIST_PROTOCOL as the image loader does.
  const VOID *HiiPackageList = nullptr;
};

struct LoadedImage {
  std::string Name;
  EFI_IMAGE_ENTRY_POINT Entry;
  EFI_HANDLE Handle;
  EFI_STATUS Status;
};

class Board {
public:
  // Reads the state directory (or the board file's initial values on a
  // first boot). Throws BoardConfigError / SimulationError.
  Board(BoardConfig config, std::filesystem::path stateDirectory);
  ~Board();
  Board(const Board &) = delete;
  Board &operator=(const Board &) = delete;

  static Board &Current();
  static Board *CurrentOrNull();

  // ---- Boots ------------------------------------------------------------
  // One whole boot: PowerOn, the boot sequence, the end-of-boot checks.
  BootResult Boot();
  // The parts of Boot() for tests that drive a boot by hand.
  void PowerOn();
  // Runs `body` as the rest of the boot: catches the signals that end a boot,
  // then runs the end-of-boot work (component EndBoot and Report, leak check).
  BootResult Run(const std::function<void(Board &)> &body);
  bool Booted() const { return env_ != nullptr; }
  unsigned BootIndex() const { return bootIndex_; }
  // Boots of this board over all runs on its state directory (the report's
  // boot numbers).
  unsigned LifetimeBoots() const { return earlierBoots_ + bootIndex_; }
  const std::vector<BootResult> &Results() const { return results_; }

  // Stages the persistent state of every part and writes the state directory.
  void Commit();

  // ---- Persistent parts --------------------------------------------------
  const BoardConfig &Config() const { return config_; }
  StateStore &State() { return state_; }
  VariableStore &Variables() { return variables_->Store(); }
  CmosRam &Cmos() { return cmos_->Ram(); }
  FaultInjector &Faults() { return faults_; }
  RunReport &Reports() { return report_; }
  BootReport &Report() { return report_.Current(); }
  BootSequence &Sequence() { return sequence_; }
  Component *FindComponent(std::string_view name) const;
  template <class T> T *Find() const {
    for (auto &c : components_)
      if (auto *t = dynamic_cast<T *>(c.get()))
        return t;
    return nullptr;
  }

  // ---- Per-boot parts (between PowerOn and the next PowerOn) -------------
  AccessTrace &Trace();
  IoSpace &Io();
  MemoryMap &Memory();
  EventEngine &Events();
  PoolAllocator &Pool();
  HandleDatabase &Handles();
  SystemTables &Tables();
  EFI_SYSTEM_TABLE *SystemTable();
  EFI_BOOT_SERVICES *BootServices();
  EFI_RUNTIME_SERVICES *RuntimeServices();
  // The HOB list every boot gets (the earlier boot phase adds to it); it is
  // placed in the configuration table at "dxe-ready".
  HobBuilder &Hobs();
  // Further lists, placed after the first one (tests of several lists).
  HobBuilder &AddHobList();
  // Places the HOB lists in the configuration table (done by "dxe-ready").
  void PublishHobLists();
  // Signals the exit-boot-services group; from then on only runtime
  // variables are visible.
  void ExitBootServices();

  // ---- Images -------------------------------------------------------------
  // Creates an image handle carrying EFI_LOADED_IMAGE_PROTOCOL and calls the
  // entry point. Resets and halts unwind out of it like out of anything else.
  LoadedImage StartImage(const DriverImage &image);
  const std::vector<LoadedImage> &Images() const { return images_; }

  // ---- Reset and halt ------------------------------------------------------
  // Called by ResetSystem: records the request, then ends the boot by
  // throwing ResetRequested, unless ResetSystem is set to return.
  void RequestReset(EFI_RESET_TYPE type, EFI_STATUS status);
  // Some platforms return from ResetSystem while the Reset Architectural
  // Protocol is absent; components flip this to model that.
  void SetResetReturns(bool returns) { resetReturns_ = returns; }
  bool ResetReturns() const { return resetReturns_; }
  // Called by CpuHaltForever before it unwinds.
  void RecordHalt(std::string context);
  bool Halted() const { return halted_; }

  // Boot-phase name used to tag allocations, writes and installs.
  const std::string &Phase() const;
  // Called by the boot sequence as each phase starts.
  void EnterPhase(const std::string &phase);

private:
  struct Environment;
  Environment &Env();
  void LoadPersistentState();
  void ConfigureBoard(ConfigSection &boot);
  void FinishBoot(BootResult &result);
  void ReportBoard(const BootResult &result);
  void AttachBuiltInPhases();

  BoardConfig config_;
  StateStore state_;
  FaultInjector faults_;
  RunReport report_;
  BootSequence sequence_;
  std::vector<std::unique_ptr<Component>> components_;
  // The board's own parts, first in components_.
  BoardVariables *variables_ = nullptr;
  BoardCmos *cmos_ = nullptr;
  std::unique_ptr<Environment> env_;
  std::vector<BootResult> results_;
  std::vector<LoadedImage> images_;
  std::vector<uint8_t> cmosAtPowerOn_;
  size_t faultsAtPowerOn_ = 0;
  std::vector<uint64_t> faultHitsAtPowerOn_;
  unsigned bootIndex_ = 0;
  unsigned earlierBoots_ = 0;
  bool resetReturns_ = false;
  bool namedNotifyLevels_ = false;
  bool halted_ = false;
  size_t traceLimit_ = 200000;
  std::string noPhase_;
};

} // namespace sim
