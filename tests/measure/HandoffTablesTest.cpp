// MeasureHandoffTables on tables other components got wrong: a platform table
// at address 0, a NULL SMBIOS entry, a structure table at address 0. The
// step is called directly on a powered board with hand-made tables.
#include "IndustryStandard/SmBios.h"
#include "Platform/PlatformTableProtocol.h"
#include "Tcg/TcgEventData.h"
#include "measure/MeasureBoard.h"
#include "support/Hw.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

#include <gtest/gtest.h>

namespace {

using namespace measure_test;

TEST(HandoffTables, TablesAtAddressZeroOrMissing) {
  struct Case {
    const char *Name;
    bool PlatformProtocol;
    uint64_t PlatformTable; // 1: a real 0x40-byte table in low memory
    bool NullEntryPoint;
    uint32_t Structures; // 1: a real 0x30-byte structure table
    uint16_t StructuresLength;
    EFI_STATUS Status;
    std::vector<uint32_t> Pcrs;
    bool FailFirstRecord = false; // the first record's allocation fails
  };
  const Case cases[] = {
      {"platform table at 0", true, 0, false, 1, 0x30, EFI_SUCCESS, {1}},
      {"both real", true, 1, false, 1, 0x30, EFI_SUCCESS, {0, 1}},
      {"SMBIOS entry NULL", true, 1, true, 1, 0x30, EFI_NOT_FOUND, {0}},
      {"empty structure table at 0", false, 0, false, 0, 0, EFI_SUCCESS, {1}},
      {"structure table at 0 with a length", false, 0, false, 0, 0x30, EFI_INVALID_PARAMETER, {}},
      {"no pool for the platform record", true, 1, false, 1, 0x30, EFI_OUT_OF_RESOURCES, {}, true},
      {"no pool for the SMBIOS record", false, 0, false, 1, 0x30, EFI_OUT_OF_RESOURCES, {}, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    TestBoard board(nlohmann::json::parse(R"({
      "boot": { "phases": ["power-on", "early", "dxe-ready", "board-protocols"] },
      "drivers": { "tpm_platform": { "load": false }, "button_smm": { "load": false } },
      "smbios": { "present": false },
      "platform": { "platform_table": { "present": false } }
    })"));
    board->PowerOn();
    board->Run([](sim::Board &b) { b.Sequence().Run(b); });
    TpmPlatform::gST = board->SystemTable();
    TpmPlatform::gBS = board->BootServices();

    sim::MemoryMap &memory = board->Memory();
    const EFI_PHYSICAL_ADDRESS tableAt = memory.Allocate("low", 0x40);
    auto *table = static_cast<uint8_t *>(memory.ToPointer(tableAt));
    for (int i = 0; i < 0x40; ++i)
      table[i] = uint8_t(i);
    const uint32_t tableLength = 0x40;
    std::memcpy(table + 4, &tableLength, 4);
    const EFI_PHYSICAL_ADDRESS structuresAt = memory.Allocate("low", 0x30);
    std::memset(memory.ToPointer(structuresAt), 0x5A, 0x30);

    const uint64_t platformTable = c.PlatformTable == 1 ? tableAt : c.PlatformTable;
    std::vector<uint8_t> interface(kPlatformTableAddressOffset + 8, 0);
    std::memcpy(&interface[kPlatformTableAddressOffset], &platformTable, 8);
    if (c.PlatformProtocol) {
      EFI_HANDLE handle = nullptr;
      ASSERT_EQ(board->BootServices()->InstallProtocolInterface(
                    &handle, &gPlatformTableProtocolGuid, EFI_NATIVE_INTERFACE, interface.data()),
                EFI_SUCCESS);
    }
    SMBIOS_TABLE_ENTRY_POINT entry{};
    std::memcpy(entry.AnchorString, "_SM_", 4);
    entry.TableAddress = c.Structures == 1 ? uint32_t(structuresAt) : c.Structures;
    entry.TableLength = c.StructuresLength;
    board->Tables().AppendConfigurationEntry(gEfiSmbiosTableGuid,
                                             c.NullEntryPoint ? nullptr : &entry);

    if (c.FailFirstRecord)
      board->Faults().FailNth("AllocatePool", board->Faults().Calls("AllocatePool") + 1,
                              EFI_OUT_OF_RESOURCES);
    EXPECT_EQ(TpmPlatform::MeasureHandoffTables(), c.Status);

    std::vector<uint32_t> pcrs;
    for (const auto &r : board.Records()) {
      pcrs.push_back(r.Pcr);
      if (r.Pcr == 0) {
        EXPECT_EQ(r.Data, HandoffData(gPlatformTableGuid, tableAt));
        EXPECT_EQ(r.Digest, Sha1(table, 0x40));
      } else {
        EXPECT_EQ(r.Data, HandoffData(gEfiSmbiosTableGuid, PointerToPhysical(&entry)));
        // Nothing to hash at address 0: the digest is zeros, not pool contents.
        const auto digest =
            c.Structures != 0
                ? Sha1(static_cast<const uint8_t *>(memory.ToPointer(structuresAt)), 0x30)
                : std::array<uint8_t, 20>{};
        EXPECT_EQ(r.Digest, digest);
      }
    }
    EXPECT_EQ(pcrs, c.Pcrs);
  }
}

} // namespace
