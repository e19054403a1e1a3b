// The board's side of the hardware seam: the HostBus the host backend of
// support/Hw.h runs on. Its cycles go to the current board's I/O space and
// memory map; a halt is recorded on the board and unwinds (ProcessorHalted).
#pragma once
#include "sim/hw/HostBus.h"

namespace sim {

// The one bus of the process; it follows Board::Current().
hw::HostBus &BoardBus();

} // namespace sim
