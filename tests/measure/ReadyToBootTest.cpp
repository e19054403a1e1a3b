// A first ready-to-boot on the measurement board: every record's PCR, type,
// event data and digest against values computed here from the board's own
// tables, variables, volumes and ROMs; the record order; later signals; the
// TPM commands that follow; and the PCRs the log replays against the TPM.
#include "Guid/ImageAuthentication.h"
#include "IndustryStandard/SmBios.h"
#include "Platform/PlatformTableProtocol.h"
#include "Protocol/FirmwareVolume2.h"
#include "Tcg/TcgEventData.h"
#include "measure/MeasureBoard.h"
#include "sim/core/HandleDatabase.h"
#include "sim/fv/Fv2Protocol.h"
#include "sim/memory/MemoryMap.h"
#include "sim/platform/MeasurePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace measure_test;
using sim::tcg::EventRecord;

constexpr EFI_GUID kMicrocodeFile = {
    0x17088572, 0x377F, 0x44EF, {0x8F, 0x4E, 0xB0, 0x9F, 0xFF, 0x46, 0xA0, 0x70}};

std::string Describe(const EventRecord &r) {
  return "PCR " + std::to_string(r.Pcr) + " type " + std::to_string(r.Type);
}

// The records from the wake event on: the ready-to-boot part of the log.
std::vector<EventRecord> FromWakeEvent(const std::vector<EventRecord> &all) {
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].Pcr == 6 && all[i].Type == EV_EFI_ACTION)
      return {all.begin() + i, all.end()};
  return {};
}

Bytes MicrocodeInVolumes(sim::Board &board) {
  for (EFI_HANDLE h : board.Handles().HandlesWith(gEfiFirmwareVolume2ProtocolGuid)) {
    auto *fv =
        static_cast<sim::fv::Fv2Volume *>(board.Handles().Find(h, gEfiFirmwareVolume2ProtocolGuid));
    for (const auto &f : fv->Files())
      if (f.Name == kMicrocodeFile)
        return Bytes(f.Data.begin(), f.Data.end());
  }
  return {};
}

TEST(ReadyToBoot, FirstRunRecordsInOrder) {
  TestBoard board(MeasurementBoard());
  board->Boot();
  auto rtb = FromWakeEvent(board.Records());

  struct Want {
    uint32_t Pcr;
    uint32_t Type;
  };
  const std::vector<Want> want = {{6, EV_EFI_ACTION},
                                  {0, EV_EFI_HANDOFF_TABLES},
                                  {1, EV_EFI_HANDOFF_TABLES},
                                  {5, EV_EFI_ACTION},
                                  {5, EV_EFI_VARIABLE_BOOT},
                                  {5, EV_EFI_VARIABLE_BOOT},
                                  {5, EV_EFI_VARIABLE_BOOT},
                                  {5, EV_EFI_VARIABLE_BOOT},
                                  {7, EV_EFI_VARIABLE_DRIVER_CONFIG},
                                  {7, EV_EFI_VARIABLE_DRIVER_CONFIG},
                                  {7, EV_EFI_VARIABLE_DRIVER_CONFIG},
                                  {7, EV_EFI_VARIABLE_DRIVER_CONFIG},
                                  {7, EV_EFI_VARIABLE_DRIVER_CONFIG},
                                  {0, EV_SEPARATOR},
                                  {1, EV_SEPARATOR},
                                  {2, EV_SEPARATOR},
                                  {3, EV_SEPARATOR},
                                  {4, EV_SEPARATOR},
                                  {5, EV_SEPARATOR},
                                  {6, EV_SEPARATOR},
                                  {7, EV_SEPARATOR}};
  ASSERT_EQ(rtb.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rtb[i].Pcr, want[i].Pcr);
    EXPECT_EQ(rtb[i].Type, want[i].Type);
  }
  EXPECT_EQ(rtb[3].Data, Text("Calling EFI Application from Boot Option"));

  // Before it: the microcode (PCR 1) and the option ROMs (PCR 2), from the hooks.
  const auto &all = board.Records();
  ASSERT_GE(all.size(), 4u + rtb.size());
  EXPECT_EQ(all[0].Type, EV_CPU_MICROCODE);
  EXPECT_EQ(all[0].Pcr, 1u);

  // The physical-presence lock after the measurements; vendor 0x1014 gets no self-test.
  auto ordinals = board.Ordinals();
  ASSERT_GE(ordinals.size(), 2u);
  EXPECT_EQ(ordinals.back(), 0x4000000Au);
  EXPECT_EQ(ordinals[ordinals.size() - 2], 0x65u) << "volatile flags read before the lock";
  EXPECT_EQ(std::count(ordinals.begin(), ordinals.end(), 0x53u), 0);
}

TEST(ReadyToBoot, EveryRecordMatchesAnIndependentComputation) {
  TestBoard board(MeasurementBoard());
  board->Boot();
  sim::Board &b = *board;
  const Bytes separator = {0xFF, 0xFF, 0xFF, 0xFF};
  const Bytes microcode = MicrocodeInVolumes(b);
  ASSERT_FALSE(microcode.empty());
  auto *platform = b.Find<sim::MeasurePlatform>();
  ASSERT_NE(platform, nullptr);

  std::vector<std::string> variableOrder;
  for (const auto &r : board.Records()) {
    SCOPED_TRACE(Describe(r));
    Bytes hashed;
    switch (r.Type) {
    case EV_EFI_ACTION:
      hashed = r.Data;
      break;
    case EV_SEPARATOR:
      EXPECT_EQ(r.Data, separator);
      hashed = separator;
      break;
    case EV_CPU_MICROCODE:
      ASSERT_EQ(r.Data.size(), 8u);
      hashed = microcode; // the image, while the event names its address
      break;
    case EV_EVENT_TAG: {
      ASSERT_EQ(r.Data.size(), 32u);
      // Digest of the tagged data, which carries the ROM's own SHA-1.
      hashed = r.Data;
      break;
    }
    case EV_EFI_HANDOFF_TABLES: {
      ASSERT_EQ(r.Data.size(), 32u);
      uint64_t address;
      std::memcpy(&address, &r.Data[24], 8);
      const auto *table = static_cast<const uint8_t *>(b.Memory().ToPointer(address));
      if (r.Pcr == 0) {
        EXPECT_EQ(r.Data, HandoffData(gPlatformTableGuid, platform->PlatformTableAddress()));
        uint32_t length;
        std::memcpy(&length, table + 4, 4);
        hashed.assign(table, table + length);
      } else {
        EXPECT_EQ(r.Data, HandoffData(gEfiSmbiosTableGuid, address));
        EXPECT_EQ(std::memcmp(table, "_SM_", 4), 0) << "names the entry point";
        SMBIOS_TABLE_ENTRY_POINT ep;
        std::memcpy(&ep, table, sizeof(ep));
        const auto *structures =
            static_cast<const uint8_t *>(b.Memory().ToPointer(ep.TableAddress));
        hashed.assign(structures, structures + ep.TableLength);
      }
      break;
    }
    case EV_EFI_VARIABLE_BOOT:
    case EV_EFI_VARIABLE_DRIVER_CONFIG: {
      ASSERT_GE(r.Data.size(), 32u);
      EFI_GUID guid;
      std::memcpy(&guid, r.Data.data(), 16);
      uint64_t nameLength;
      std::memcpy(&nameLength, &r.Data[16], 8);
      std::string name;
      std::u16string wide;
      for (uint64_t i = 0; i < nameLength; ++i) {
        name.push_back(char(r.Data[32 + 2 * i]));
        wide.push_back(char16_t(r.Data[32 + 2 * i]));
      }
      const Bytes stored = board.Variable(wide, guid);
      ASSERT_FALSE(stored.empty()) << name;
      EXPECT_EQ(r.Data, VariableData(guid, name, stored));
      hashed = r.Data;
      variableOrder.push_back(name);
      break;
    }
    default:
      ADD_FAILURE() << "unexpected event type";
    }
    EXPECT_EQ(r.Digest, Sha1(hashed));
  }
  const std::vector<std::string> wantOrder = {
      "BootOrder", "Boot0003", "Boot0000", "Boot0001", "SecureBoot", "PK", "KEK", "db", "dbx"};
  EXPECT_EQ(variableOrder, wantOrder);
}

TEST(ReadyToBoot, PcrsReadFromTheTpmEqualTheReplayedLog) {
  TestBoard board(MeasurementBoard());
  board->Boot();
  auto replay = board.Tcg().Log().Replay();
  for (uint32_t pcr = 0; pcr < 8; ++pcr) {
    SCOPED_TRACE(pcr);
    EXPECT_EQ(board.Tcg().ReadPcr(pcr), replay[pcr]);
  }
}

// Firmware that takes only TPL_CALLBACK and TPL_NOTIFY for notifications
// refuses the callback's level 7; the hook retries at TPL_CALLBACK, so the log
// is the same as on a board that accepts any level.
TEST(ReadyToBoot, FirmwareWithNamedLevelsOnlyGetsTheSameRecords) {
  auto records = [](const char *levels) {
    auto patch = MeasurementBoard();
    patch["boot"]["notify_levels"] = levels;
    TestBoard board(patch);
    board->Boot();
    std::vector<std::pair<uint32_t, Bytes>> out;
    for (const auto &r : FromWakeEvent(board.Records()))
      out.emplace_back(r.Pcr, Bytes(r.Data.begin(), r.Data.end()));
    return out;
  };
  auto any = records("any");
  ASSERT_EQ(any.size(), 21u);
  EXPECT_EQ(records("named"), any);
}

TEST(ReadyToBoot, LaterSignalsLogOnlyTheReturn) {
  auto patch = MeasurementBoard();
  patch["boot_manager"]["ready_to_boot_signals"] = 3;
  TestBoard board(patch);
  board->Boot();
  auto rtb = FromWakeEvent(board.Records());
  ASSERT_EQ(rtb.size(), 21u + 2u);
  for (size_t i = 21; i < rtb.size(); ++i) {
    EXPECT_EQ(rtb[i].Pcr, 5u);
    EXPECT_EQ(rtb[i].Type, EV_EFI_ACTION);
    EXPECT_EQ(rtb[i].Data, Text("Returning from EFI Application from Boot Option"));
  }
  auto ordinals = board.Ordinals();
  EXPECT_EQ(std::count(ordinals.begin(), ordinals.end(), 0x4000000Au), 1)
      << "the lock is sent on the first run only";
}

TEST(ReadyToBoot, SelfTestAndLockDependOnVendorAndLockState) {
  struct Case {
    uint16_t Vendor;
    bool Locked;
    std::vector<uint32_t> Tail; // commands after the last capability read
  };
  const Case cases[] = {
      {0x15D1, false, {0x53, 0x65, 0x4000000A}},
      {0x1014, false, {0x65, 0x4000000A}},
      {0x15D1, true, {0x53, 0x65}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Vendor);
    SCOPED_TRACE(c.Locked);
    auto patch = MeasurementBoard();
    patch["tpm"]["vendor_id"] = c.Vendor;
    patch["tpm"]["physical_presence_locked"] = c.Locked;
    TestBoard board(patch);
    board->Boot();
    auto ordinals = board.Ordinals();
    ASSERT_GE(ordinals.size(), c.Tail.size());
    std::vector<uint32_t> tail(ordinals.end() - c.Tail.size(), ordinals.end());
    EXPECT_EQ(tail, c.Tail);
    EXPECT_EQ(FromWakeEvent(board.Records()).size(), 21u);
  }
}

} // namespace
