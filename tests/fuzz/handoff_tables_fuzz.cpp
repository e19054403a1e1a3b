// MeasureHandoffTables over an arbitrary platform table and SMBIOS entry
// point: whatever their length fields and addresses say, the step reads only
// what they name (a platform table of at most 64 KiB, a structure table of at
// most 64 KiB), never follows address 0, and every record it makes names its
// table and carries the SHA-1 of exactly the bytes named. The board's real
// TCG protocol hashes, extends and logs; the oracle re-hashes independently.
// The pool is the host heap (HeapPool.h).
//
// Tables live in the board memory region "fuzz" (kBase): a 64 KiB window
// holding the input's data, then 64 KiB of pattern, so a table that starts
// anywhere in the window may run on past the data (lengths far larger than
// the data, tables past its end) and still be readable; a read beyond the
// region is an ASan report. The entry point and the protocol's interface are
// heap blocks of exactly their published sizes.
//
// Input: flags byte (bit 0: PlatformTableProtocol installed; bit 1: an SMBIOS
// entry in the configuration table; bit 2: its VendorTable is NULL; bit 3: a
// second SMBIOS entry follows it), the platform table's address (UINT64), the
// 0x1F-byte SMBIOS entry point, then the window's data. Short input is padded
// with zeros. Addresses 0 and addresses inside the window are kept; any other
// lands in the window (address modulo the window size).
#include "FuzzCheck.h"
#include "HeapPool.h"
#include "IndustryStandard/SmBios.h"
#include "Platform/PlatformTableProtocol.h"
#include "common/ExpectedEvents.h"
#include "common/TestBoard.h"
#include "support/Hw.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr EFI_PHYSICAL_ADDRESS kBase = 0x7C000000;
constexpr uint64_t kWindow = 0x10000;
constexpr uint64_t kRegion = 2 * kWindow;
constexpr uint32_t kMaxPlatformTable = 0x10000;
constexpr size_t kInterfaceSize = kPlatformTableAddressOffset + 8;
constexpr size_t kHeaderSize = 1 + 8 + sizeof(SMBIOS_TABLE_ENTRY_POINT);

// The reference board up to its protocols, without drivers, SMBIOS or platform
// table of its own, with the "fuzz" region; the driver's globals bound to it.
// PlatformTableProtocol is installed once (handles are never reused, so one
// per input would grow the board without end); an input without it hides it
// from the driver's LocateProtocol.
std::vector<uint8_t> gInterface(kInterfaceSize, 0);
bool gHidePlatformTable = false;
EFI_LOCATE_PROTOCOL gBoardLocateProtocol = nullptr;

EFI_STATUS EFIAPI LocateProtocol(const EFI_GUID *Protocol, VOID *Registration, VOID **Interface) {
  if (gHidePlatformTable && Protocol != nullptr &&
      std::memcmp(Protocol, &gPlatformTableProtocolGuid, sizeof(EFI_GUID)) == 0) {
    if (Interface != nullptr)
      *Interface = nullptr;
    return EFI_NOT_FOUND;
  }
  return gBoardLocateProtocol(Protocol, Registration, Interface);
}

testboard::TestBoard &Board() {
  static testboard::TestBoard board(nlohmann::json::parse(R"({
    "boot": { "phases": ["power-on", "early", "dxe-ready", "board-protocols"] },
    "drivers": { "tpm_platform": { "load": false }, "button_smm": { "load": false } },
    "smbios": { "present": false },
    "platform": { "platform_table": { "present": false } },
    "memory": { "regions": [
      { "name": "low", "base": "0x7E000000", "size": "0x01000000" },
      { "name": "legacy", "base": "0x000E0000", "size": "0x00020000" },
      { "name": "fuzz", "base": "0x7C000000", "size": "0x20000" } ] }
  })"));
  static bool started = [] {
    board->PowerOn();
    board->Run([](sim::Board &b) { b.Sequence().Run(b); });
    TpmPlatform::gImageHandle = nullptr;
    TpmPlatform::gST = board->SystemTable();
    EFI_HANDLE handle = nullptr;
    CHECK(board->BootServices()->InstallProtocolInterface(&handle, &gPlatformTableProtocolGuid,
                                                          EFI_NATIVE_INTERFACE,
                                                          gInterface.data()) == EFI_SUCCESS);
    TpmPlatform::gBS = fuzz::HeapPool::Wrap(board->BootServices());
    gBoardLocateProtocol = TpmPlatform::gBS->LocateProtocol;
    TpmPlatform::gBS->LocateProtocol = LocateProtocol;
    TpmPlatform::gRT = board->RuntimeServices();
    return true;
  }();
  (void)started;
  return board;
}

uint64_t Rebase(uint64_t address) {
  if (address == 0 || (address >= kBase && address - kBase < kWindow))
    return address;
  return kBase + address % kWindow;
}

template <class T> T Read(const uint8_t *p) {
  T value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  testboard::TestBoard &board = Board();
  uint8_t header[kHeaderSize] = {};
  std::memcpy(header, data, size < kHeaderSize ? size : kHeaderSize);
  const uint8_t flags = header[0];
  const bool platformProtocol = flags & 1, smbiosEntry = flags & 2, nullEntry = flags & 4,
             secondEntry = flags & 8;
  const uint64_t tableAddress = Rebase(Read<uint64_t>(header + 1));

  // The window: the input's data, then pattern to the region's end.
  uint8_t *region = static_cast<uint8_t *>(PhysicalToPointer(kBase));
  const size_t dataSize = size > kHeaderSize ? size - kHeaderSize : 0;
  const size_t copied = dataSize < kWindow ? dataSize : kWindow;
  std::memset(region, 0xA5, kRegion);
  if (copied != 0)
    std::memcpy(region, data + kHeaderSize, copied);

  std::vector<uint8_t> entryPoint(header + 9, header + kHeaderSize);
  const uint32_t structures = uint32_t(Rebase(Read<uint32_t>(&entryPoint[0x18])));
  std::memcpy(&entryPoint[0x18], &structures, 4);
  const uint16_t structuresLength = Read<uint16_t>(&entryPoint[0x16]);
  std::vector<uint8_t> other(sizeof(SMBIOS_TABLE_ENTRY_POINT), 0);

  std::memcpy(&gInterface[kPlatformTableAddressOffset], &tableAddress, 8);
  gHidePlatformTable = !platformProtocol;
  if (smbiosEntry) {
    board->Tables().AppendConfigurationEntry(gEfiSmbiosTableGuid,
                                             nullEntry ? nullptr : entryPoint.data());
    if (secondEntry)
      board->Tables().AppendConfigurationEntry(gEfiSmbiosTableGuid, other.data());
  }
  if (!board.Records().empty())
    board.Tcg().Log().Clear();
  const size_t poolBlocks = fuzz::HeapPool::Live();

  const EFI_STATUS status = TpmPlatform::MeasureHandoffTables();

  const auto records = board.Records();
  CHECK(fuzz::HeapPool::Live() == poolBlocks);
  size_t expected = 0;

  // Platform table: recorded when there is one of at most 64 KiB.
  if (platformProtocol && tableAddress != 0) {
    const uint32_t length = Read<uint32_t>(region + (tableAddress - kBase) + 4);
    if (length <= kMaxPlatformTable) {
      CHECK(records.size() > expected);
      const auto &r = records[expected++];
      CHECK(r.Pcr == 0 && r.Type == 0x80000009);
      CHECK(r.Data == testboard::HandoffData(gPlatformTableGuid, tableAddress));
      CHECK(r.Digest == testboard::Sha1(region + (tableAddress - kBase), length));
    }
  }

  // SMBIOS: the first entry counts; no entry point, no record.
  if (!smbiosEntry || nullEntry) {
    CHECK(status == EFI_NOT_FOUND);
  } else if (structures == 0 && structuresLength != 0) {
    // Nothing to hash at address 0: the protocol refuses, nothing is logged.
    CHECK(EFI_ERROR(status));
  } else {
    CHECK(status == EFI_SUCCESS);
    CHECK(records.size() > expected);
    const auto &r = records[expected++];
    CHECK(r.Pcr == 1 && r.Type == 0x80000009);
    CHECK(r.Data ==
          testboard::HandoffData(gEfiSmbiosTableGuid, PointerToPhysical(entryPoint.data())));
    // An empty table at address 0 hashes nothing: the digest stays zero.
    const std::array<uint8_t, 20> digest =
        structures != 0 ? testboard::Sha1(region + (structures - kBase), structuresLength)
                        : std::array<uint8_t, 20>{};
    CHECK(r.Digest == digest);
  }
  CHECK(records.size() == expected);

  while (board->Tables().InstallConfigurationTable(&gEfiSmbiosTableGuid, nullptr) == EFI_SUCCESS) {
  }
  // Nothing of this input stays behind (libFuzzer would take it for a leak).
  if (!board.Records().empty())
    board.Tcg().Log().Clear();
  return 0;
}
