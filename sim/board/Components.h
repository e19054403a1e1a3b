// The fixed list of board components (Components.cpp). Each component file
// provides one factory function declared here.
#pragma once
#include "sim/board/Component.h"

#include <memory>
#include <vector>

namespace sim {

std::unique_ptr<Component> MakeDriverLoader();
std::unique_ptr<Component> MakeBootManager();
std::unique_ptr<Component> MakeStringPackageService();
std::unique_ptr<Component> MakeConsole();
std::unique_ptr<Component> MakePpiBoard();
std::unique_ptr<Component> MakeAcpiBoard();
std::unique_ptr<Component> MakeTpm();
std::unique_ptr<Component> MakeTpmPlatformState();
std::unique_ptr<Component> MakeTcgCore();
std::unique_ptr<Component> MakeFirmwareVolumes();
std::unique_ptr<Component> MakePciBus();
std::unique_ptr<Component> MakeSmbios();
std::unique_ptr<Component> MakeMeasurePlatform();
std::unique_ptr<Component> MakeEventLogReport();
std::unique_ptr<Component> MakeSmmComponent();
std::unique_ptr<Component> MakeChipset();
std::unique_ptr<Component> MakePasswordService();

// Every component, in the order their actions run within a phase.
std::vector<std::unique_ptr<Component>> CreateComponents();

} // namespace sim
