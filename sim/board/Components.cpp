// The board's components, in the order their actions run within a phase.
// Add one line per component.
#include "sim/board/Components.h"

namespace sim {

namespace {
using Factory = std::unique_ptr<Component> (*)();

const Factory kComponents[] = {
    MakeDriverLoader,
    MakeTpm, // TPM_Startup comes first in the earlier boot phase
    MakeTpmPlatformState,
    MakeTcgCore,
    MakePpiBoard, // after TPM_Startup: carries out a recorded PPI operation
    MakeFirmwareVolumes,
    MakeSmbios,
    MakeMeasurePlatform,
    MakePciBus,
    MakeStringPackageService,
    MakeConsole,
    MakeBootManager,
    MakeEventLogReport,
    MakeAcpiBoard,
    MakeSmmComponent,
    MakeChipset, // after the SMM core, which serves its SMIs
    MakePasswordService,
};
} // namespace

std::vector<std::unique_ptr<Component>> CreateComponents() {
  std::vector<std::unique_ptr<Component>> list;
  for (Factory make : kComponents)
    list.push_back(make());
  return list;
}

} // namespace sim
