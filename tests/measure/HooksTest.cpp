// The microcode and option-ROM hooks on the board: where the microcode comes
// from and in which order volumes are searched, which PCI functions get their
// ROM measured with which PFA, the override protocols and a deactivated TPM.
#include "tpm_platform/core/Hooks.h"
#include "Framework/LegacyBios.h"
#include "Protocol/FirmwareVolume2.h"
#include "Protocol/PciIo.h"
#include "Tcg/TcgEventData.h"
#include "measure/MeasureBoard.h"
#include "sim/core/HandleDatabase.h"
#include "sim/fv/Fv2Protocol.h"
#include "sim/memory/MemoryMap.h"
#include "sim/pci/LegacyBios.h"
#include "sim/pci/PciIoDevice.h"
#include "sim/platform/MeasurePlatform.h"
#include "tpm_platform/measure/Measure.h"

#include <gtest/gtest.h>

namespace {

using namespace measure_test;
using sim::tcg::EventRecord;

constexpr EFI_GUID kMicrocodeFile = {
    0x17088572, 0x377F, 0x44EF, {0x8F, 0x4E, 0xB0, 0x9F, 0xFF, 0x46, 0xA0, 0x70}};

std::vector<sim::fv::Fv2Volume *> Volumes(sim::Board &b) {
  std::vector<sim::fv::Fv2Volume *> out;
  for (EFI_HANDLE h : b.Handles().HandlesWith(gEfiFirmwareVolume2ProtocolGuid))
    out.push_back(
        static_cast<sim::fv::Fv2Volume *>(b.Handles().Find(h, gEfiFirmwareVolume2ProtocolGuid)));
  return out;
}

Bytes FileData(sim::fv::Fv2Volume *v) {
  for (const auto &f : v->Files())
    if (f.Name == kMicrocodeFile)
      return Bytes(f.Data.begin(), f.Data.end());
  return {};
}

TEST(MicrocodeHook, VolumesAreSearchedFromTheLastAndTheFileFoundIsMeasured) {
  for (unsigned where : {0u, 1u, 2u}) {
    SCOPED_TRACE(where);
    auto patch = MeasurementBoard();
    patch["firmware_volumes"]["microcode_volume"] = where;
    TestBoard board(patch);
    board->Boot();
    auto volumes = Volumes(*board);
    ASSERT_EQ(volumes.size(), 3u);
    for (unsigned i = 0; i < 3; ++i) {
      // Volumes above the one holding the file were walked to their end;
      // volumes below it were never asked.
      if (i < where)
        EXPECT_EQ(volumes[i]->GetNextFileCalls(), 0u) << "volume " << i;
      else
        EXPECT_GT(volumes[i]->GetNextFileCalls(), 0u) << "volume " << i;
    }
    EXPECT_EQ(volumes[where]->ReadFileCalls(), 1u);
    auto mc = OfType(board.Records(), EV_CPU_MICROCODE);
    ASSERT_EQ(mc.size(), 1u);
    EXPECT_EQ(mc[0].Pcr, 1u);
    EXPECT_EQ(mc[0].Digest, Sha1(FileData(volumes[where])));
  }
}

TEST(MicrocodeHook, FlashScanWhenNoVolumeHoldsTheFile) {
  struct Case {
    const char *Location;
    bool Measured;
  };
  for (const Case c : {Case{"flash", true}, Case{"nowhere", false}}) {
    SCOPED_TRACE(c.Location);
    auto patch = MeasurementBoard();
    patch["firmware_volumes"]["microcode"] = c.Location;
    TestBoard board(patch);
    board->Boot();
    auto mc = OfType(board.Records(), EV_CPU_MICROCODE);
    ASSERT_EQ(mc.size(), c.Measured ? 1u : 0u);
    if (!c.Measured)
      continue;
    // The flash volume's third file (after two fillers) lies at 0x48, 0x70,
    // 0x98 ... its data follows the header; the event names that address.
    uint64_t address;
    std::memcpy(&address, mc[0].Data.data(), 8);
    EXPECT_GE(address, 0xFFAF0000u + 0x48 + 24);
    const auto *flash = static_cast<const uint8_t *>(board->Memory().ToPointer(0xFFAF0000));
    std::vector<EFI_GUID> name(1);
    std::memcpy(name.data(), flash + (address - 24 - 0xFFAF0000), 16);
    EXPECT_TRUE(name[0] == kMicrocodeFile);
    uint32_t size = 0;
    std::memcpy(&size, flash + (address - 24 - 0xFFAF0000) + 0x14, 3);
    EXPECT_EQ(mc[0].Digest,
              Sha1(static_cast<const uint8_t *>(board->Memory().ToPointer(address)), size - 24));
  }
}

TEST(MicrocodeHook, AVolumeThatCannotBeOpenedSendsTheSearchToTheFlash) {
  auto patch = MeasurementBoard();
  patch["boot_manager"]["exit_boot_services"] = false;
  patch["firmware_volumes"]["microcode_volume"] = 0; // in the volume searched last
  TestBoard board(patch);
  board->Boot();
  const size_t before = board.Records().size();
  // The next HandleProtocol (the last volume's) fails: the flash is scanned.
  board->Faults().FailNth("HandleProtocol", board->Faults().Calls("HandleProtocol") + 1,
                          EFI_DEVICE_ERROR);
  EXPECT_EQ(TpmPlatform::MicrocodeHook(), EFI_SUCCESS);
  ASSERT_EQ(board.Records().size(), before + 1);
  const auto &r = board.Records().back();
  uint64_t address;
  std::memcpy(&address, r.Data.data(), 8);
  EXPECT_GE(address, 0xFFAF0000u) << "measured from the flash, not from a volume";
  unsigned reads = 0;
  for (auto *v : Volumes(*board))
    reads += v->ReadFileCalls();
  EXPECT_EQ(reads, 1u) << "only the boot's own search read a file";
}

TEST(OptionRomHook, MeasuresRomsOfDevicesInstalledAfterIt) {
  TestBoard board(MeasurementBoard());
  board->Boot();
  // Expected ROMs by PFA, computed from the devices the board installed.
  std::map<uint16_t, Bytes> roms;
  sim::pci::LegacyBios *legacy = nullptr;
  for (EFI_HANDLE h : board->Handles().HandlesWith(gEfiPciIoProtocolGuid)) {
    auto *dev =
        static_cast<sim::pci::PciIoDevice *>(board->Handles().Find(h, gEfiPciIoProtocolGuid));
    roms[dev->Pfa()] = dev->Config().Rom.empty() ? dev->Config().LegacyRom : dev->Config().Rom;
  }
  for (EFI_HANDLE h : board->Handles().HandlesWith(gEfiLegacyBiosProtocolGuid))
    legacy =
        static_cast<sim::pci::LegacyBios *>(board->Handles().Find(h, gEfiLegacyBiosProtocolGuid));
  ASSERT_NE(legacy, nullptr);

  auto tags = OfType(board.Records(), EV_EVENT_TAG);
  // gpu 02:00.0 and lpc 00:1F.3 offer 55 AA images; nic's legacy ROM is valid
  // (flags 2). storage (flags 1), plain (no 55 AA) and early (installed before
  // the hook) are not measured.
  const std::vector<uint16_t> want = {0x0200, 0x00FB, 0x0300};
  ASSERT_EQ(tags.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i]);
    EXPECT_EQ(tags[i].Pcr, 2u);
    EXPECT_EQ(tags[i].Data, OptionRomData(want[i], roms[want[i]]));
    EXPECT_EQ(tags[i].Digest, Sha1(tags[i].Data));
  }
  EXPECT_EQ(legacy->Calls(), 2u) << "asked for nic and storage only, not for the unsigned image";
}

// A ROM shorter than its two signature bytes is no option ROM, even when the
// byte after it happens to complete the signature.
TEST(OptionRomHook, RomShorterThanItsSignatureIsNotMeasured) {
  for (UINT64 size : {UINT64(1), UINT64(2)}) {
    TestBoard board(MeasurementBoard());
    board->Boot();
    const size_t before = OfType(board.Records(), EV_EVENT_TAG).size();
    static uint8_t image[] = {0x55, 0xAA};
    EFI_PCI_IO_PROTOCOL device{};
    device.GetLocation = [](EFI_PCI_IO_PROTOCOL *, UINTN *Segment, UINTN *Bus, UINTN *Device,
                            UINTN *Function) -> EFI_STATUS {
      *Segment = 0;
      *Bus = 7;
      *Device = 0;
      *Function = 0;
      return EFI_SUCCESS;
    };
    device.RomSize = size;
    device.RomImage = image;
    EFI_HANDLE handle = nullptr;
    ASSERT_EQ(board->BootServices()->InstallProtocolInterface(&handle, &gEfiPciIoProtocolGuid,
                                                              EFI_NATIVE_INTERFACE, &device),
              EFI_SUCCESS);
    EXPECT_EQ(OfType(board.Records(), EV_EVENT_TAG).size() - before, size == 2 ? 1u : 0u) << size;
    ASSERT_EQ(
        board->BootServices()->UninstallProtocolInterface(handle, &gEfiPciIoProtocolGuid, &device),
        EFI_SUCCESS);
  }
}

TEST(OptionRomHook, EqualRomsInOtherSlotsExtendDifferently) {
  auto patch = MeasurementBoard();
  patch["pci"]["devices"] = nlohmann::json::parse(R"([
    { "name": "a", "bus": 1, "device": 0, "function": 0, "rom": "efi" },
    { "name": "b", "bus": 1, "device": 0, "function": 1, "rom": "efi" },
    { "name": "c", "bus": 1, "device": 2, "function": 0, "rom": "efi", "location_fails": true } ])");
  TestBoard board(patch);
  board->Boot();
  auto tags = OfType(board.Records(), EV_EVENT_TAG);
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_NE(tags[0].Digest, tags[1].Digest);
  EXPECT_EQ(tags[0].Data[10] | tags[0].Data[11] << 8, 0x0100);
  EXPECT_EQ(tags[1].Data[10] | tags[1].Data[11] << 8, 0x0101);
  EXPECT_EQ(tags[2].Data[10] | tags[2].Data[11] << 8, 0) << "GetLocation failing gives PFA 0";
}

TEST(MeasurementHooks, OverridesTakeOverOnlyTheirOwnHook) {
  struct Case {
    const char *Override;
    int Kind;
    bool Microcode, Roms, ReadyToBoot;
  };
  const Case cases[] = {
      {"microcode", 0, false, true, true},
      {"option_rom", 1, true, false, true},
      {"ready_to_boot", 2, true, true, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Override);
    auto patch = MeasurementBoard();
    patch["platform"]["overrides"] = {c.Override};
    TestBoard board(patch);
    board->Boot();
    const auto &all = board.Records();
    EXPECT_EQ(!OfType(all, EV_CPU_MICROCODE).empty(), c.Microcode);
    EXPECT_EQ(!OfType(all, EV_EVENT_TAG).empty(), c.Roms);
    EXPECT_EQ(!OfType(all, EV_SEPARATOR).empty(), c.ReadyToBoot);
    auto *platform = board->Find<sim::MeasurePlatform>();
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(platform->OverrideCalls(k), k == c.Kind ? 1u : 0u) << k;
  }
}

TEST(MeasurementHooks, DeactivatedTpmMeasuresNothing) {
  auto patch = MeasurementBoard();
  patch["tpm"]["activated"] = false;
  TestBoard board(patch);
  board->Boot();
  EXPECT_TRUE(board.Records().empty());
  auto ordinals = board.Ordinals();
  EXPECT_EQ(std::count(ordinals.begin(), ordinals.end(), 0x4000000Au), 0);
}

} // namespace
