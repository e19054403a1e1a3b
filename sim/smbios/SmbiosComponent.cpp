// SMBIOS: a real 2.x structure table and entry point in low memory, published
// in the configuration table under SMBIOS_TABLE_GUID.
#include "IndustryStandard/SmBios.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/SystemTables.h"
#include "sim/memory/MemoryMap.h"
#include "sim/report/Report.h"
#include "sim/smbios/SmbiosTables.h"

#include <cstdio>
#include <cstring>

namespace sim {
namespace {

class Smbios : public Component {
public:
  std::string_view Name() const override { return "smbios"; }

  void Configure(ConfigSection &s) override {
    present_ = s.Bool("present", true);
    info_.Manufacturer = s.String("manufacturer", info_.Manufacturer);
    info_.ProductName = s.String("product", info_.ProductName);
    info_.SerialNumber = s.String("serial", info_.SerialNumber);
    info_.BiosVersion = s.String("bios_version", info_.BiosVersion);
  }

  void AttachPhases(BootSequence &sequence) override {
    sequence.Attach("board-protocols", "smbios", [this](Board &b) { Publish(b); });
  }

  void Report(Board &, BootReport &report) override {
    auto &section = report.Section("smbios").Data;
    section["present"] = present_ && entryPoint_ != 0;
    if (!present_ || entryPoint_ == 0)
      return;
    section["entry_point"] = entryPoint_;
    section["table_address"] = tableAddress_;
    section["table_length"] = length_;
    section["structures"] = count_;
  }

private:
  void Publish(Board &board) {
    entryPoint_ = 0;
    if (!present_)
      return;
    const auto table = smbios::BuildStructureTable(info_);
    MemoryMap &memory = board.Memory();
    const EFI_PHYSICAL_ADDRESS tableAt = memory.Allocate("low", table.Structures.size(), 16);
    std::memcpy(memory.ToPointer(tableAt), table.Structures.data(), table.Structures.size());
    const auto ep = smbios::BuildEntryPoint(table, static_cast<uint32_t>(tableAt));
    entryPoint_ = memory.Allocate("low", ep.size(), 16);
    std::memcpy(memory.ToPointer(entryPoint_), ep.data(), ep.size());
    board.Tables().InstallConfigurationTable(&gEfiSmbiosTableGuid, memory.ToPointer(entryPoint_));
    tableAddress_ = static_cast<uint32_t>(tableAt);
    length_ = static_cast<unsigned>(table.Structures.size());
    count_ = table.StructureCount;
  }

  bool present_ = true;
  smbios::SmbiosInfo info_;
  EFI_PHYSICAL_ADDRESS entryPoint_ = 0;
  uint32_t tableAddress_ = 0;
  unsigned length_ = 0, count_ = 0;
};

} // namespace

std::unique_ptr<Component> MakeSmbios() {
  return std::make_unique<Smbios>();
}

} // namespace sim
