// The board's own parts, components like the others: the variable store, the
// CMOS RAM and the memory regions. The board creates them ahead of the
// component table and keeps typed pointers to them.
#pragma once
#include "sim/board/Component.h"
#include "sim/core/VariableStore.h"
#include "sim/devices/Cmos.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// "variables": the store's capacity and a new board's variables; persists
// the non-volatile ones in variables.json.
class BoardVariables : public Component {
public:
  std::string_view Name() const override { return "variables"; }
  void Configure(ConfigSection &section) override;
  void LoadState(const StateStore &state) override;
  void SaveState(StateStore &state) override;
  VariableStore &Store() { return store_; }

private:
  VariableStore store_;
  std::vector<VariableStore::Variable> initial_;
};

// "cmos": a new board's registers; persists the 128 bytes in cmos.bin and
// answers on ports 0x70/0x71 from every power-on.
class BoardCmos : public Component {
public:
  std::string_view Name() const override { return "cmos"; }
  void Configure(ConfigSection &section) override;
  void LoadState(const StateStore &state) override;
  void SaveState(StateStore &state) override;
  void PowerOn(Board &board) override;
  CmosRam &Ram() { return ram_; }

private:
  CmosRam ram_;
  std::vector<std::pair<uint64_t, uint8_t>> initial_;
};

// "memory": the physical memory regions every boot starts with.
class BoardMemory : public Component {
public:
  std::string_view Name() const override { return "memory"; }
  void Configure(ConfigSection &section) override;
  void PowerOn(Board &board) override;

private:
  struct Region {
    std::string Name;
    uint64_t Base;
    uint64_t Size;
  };
  std::vector<Region> regions_;
};

} // namespace sim
