// MeasureBootVariables and MeasureSecureBootVariables over variables the
// operating system can write: a "BootOrder" of any size (odd, listing options
// that do not exist, the same option again and again), Boot#### and Secure
// Boot variables of any content, a "Setup" of any of its sizes. The records
// must be exactly the expected ones, in order, each carrying the SHA-1 of its
// EFI_VARIABLE_DATA; the pool stays balanced. The board's real variable store
// and TCG protocol; the pool is the host heap (HeapPool.h).
//
// Input: flags byte (bit 0: TpmPlatformState byte 31 set, bit 1: no
// TpmPlatformState; bits 2-3: "Setup" 928, 811 or 810 bytes or absent; bit 4:
// its byte 810 set), then records {kind, UINT16 number, UINT16 size, data}
// until the input ends: kind mod 3 is 0 for "BootOrder", 1 for Boot<number>,
// 2 for Secure Boot variable number mod 5. A record of size 0 stores nothing.
#include "FuzzCheck.h"
#include "Guid/ImageAuthentication.h"
#include "HeapPool.h"
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformStateProtocol.h"
#include "common/ExpectedEvents.h"
#include "common/TestBoard.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr size_t kSetupSwitch = 810;

struct SecureBootName {
  const char *Name;
  const EFI_GUID *Guid;
};
const SecureBootName kSecureBoot[5] = {{"SecureBoot", &gEfiGlobalVariableGuid},
                                       {"PK", &gEfiGlobalVariableGuid},
                                       {"KEK", &gEfiGlobalVariableGuid},
                                       {"db", &gEfiImageSecurityDatabaseGuid},
                                       {"dbx", &gEfiImageSecurityDatabaseGuid}};

// The reference board up to its protocols, without drivers. Its event log
// (64 KiB) fills up on long inputs: records that do not fit are left out.
testboard::TestBoard &Board() {
  static testboard::TestBoard board(nlohmann::json::parse(R"({
    "boot": { "phases": ["power-on", "early", "dxe-ready", "board-protocols"] },
    "drivers": { "tpm_platform": { "load": false }, "button_smm": { "load": false } }
  })"));
  static bool started = [] {
    board->PowerOn();
    board->Run([](sim::Board &b) { b.Sequence().Run(b); });
    TpmPlatform::gST = board->SystemTable();
    TpmPlatform::gBS = fuzz::HeapPool::Wrap(board->BootServices());
    TpmPlatform::gRT = board->RuntimeServices();
    return true;
  }();
  (void)started;
  return board;
}

std::u16string Wide(const std::string &s) {
  return std::u16string(s.begin(), s.end());
}

std::string BootName(uint16_t option) {
  char name[9];
  std::snprintf(name, sizeof(name), "Boot%04X", option);
  return name;
}

struct Expected {
  uint32_t Pcr, Type;
  testboard::Bytes Data;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  testboard::TestBoard &board = Board();
  if (size < 1)
    return 0;
  const uint8_t flags = data[0];

  // The store holds exactly what the input says.
  sim::VariableStore &store = board->Variables();
  while (!store.All().empty())
    store.Erase(store.All().front().Name, store.All().front().Guid);
  std::map<std::pair<std::string, int>, testboard::Bytes> variables; // (name, guid 0/1)
  for (size_t at = 1; size - at >= 5;) {
    const uint8_t kind = data[at] % 3;
    const uint16_t number = uint16_t(data[at + 1] | data[at + 2] << 8);
    size_t length = size_t(data[at + 3] | data[at + 4] << 8);
    at += 5;
    if (length > size - at)
      length = size - at;
    testboard::Bytes bytes(data + at, data + at + length);
    at += length;
    if (bytes.empty())
      continue;
    std::string name = kind == 0 ? "BootOrder" : kind == 1 ? BootName(number) : "";
    const EFI_GUID *guid = &gEfiGlobalVariableGuid;
    if (kind == 2) {
      name = kSecureBoot[number % 5].Name;
      guid = kSecureBoot[number % 5].Guid;
    }
    variables[{name, guid == &gEfiGlobalVariableGuid ? 0 : 1}] = bytes;
    store.Put({Wide(name), *guid, 7, bytes});
  }
  const size_t setupSizes[4] = {928, kSetupSwitch + 1, kSetupSwitch, 0};
  const size_t setupSize = setupSizes[(flags >> 2) & 3];
  if (setupSize != 0) {
    testboard::Bytes setup(setupSize, 0);
    if (setupSize > kSetupSwitch)
      setup[kSetupSwitch] = (flags & 0x10) ? 1 : 0;
    store.Put({kSetupVariableName, gSetupVariableGuid, 7, setup});
  }
  UINT8 state[32] = {};
  state[kTpmStateBootVariablesPcr1] = (flags & 1) ? 1 : 0;
  TpmPlatform::gTpmPlatformState = (flags & 2) ? nullptr : state;

  if (!board.Records().empty())
    board.Tcg().Log().Clear();
  const size_t poolBlocks = fuzz::HeapPool::Live();
  const EFI_STATUS bootStatus = TpmPlatform::MeasureBootVariables();
  const EFI_STATUS secureStatus = TpmPlatform::MeasureSecureBootVariables();
  CHECK(fuzz::HeapPool::Live() == poolBlocks);

  // What the log must hold: every record that fits, in order.
  std::vector<Expected> expected;
  const size_t capacity = board.Tcg().Log().Capacity();
  size_t used = 0;
  auto add = [&](uint32_t pcr, uint32_t type, const EFI_GUID &guid, const std::string &name,
                 const testboard::Bytes &bytes) {
    auto record = testboard::VariableData(guid, name, bytes);
    const bool fits = capacity - used >= 32 + record.size();
    if (fits) {
      used += 32 + record.size();
      expected.push_back({pcr, type, std::move(record)});
    }
    return fits;
  };
  const uint32_t pcr = (flags & 3) == 1 ? 1 : 5;
  auto order = variables.find({"BootOrder", 0});
  if (order == variables.end()) {
    CHECK(bootStatus == EFI_SUCCESS);
  } else {
    const bool fits = add(pcr, 0x80000002, gEfiGlobalVariableGuid, "BootOrder", order->second);
    CHECK(fits ? bootStatus == EFI_SUCCESS : bootStatus == EFI_OUT_OF_RESOURCES);
    if (fits)
      for (size_t i = 0; i + 1 < order->second.size(); i += 2) {
        const std::string name = BootName(uint16_t(order->second[i] | order->second[i + 1] << 8));
        auto option = variables.find({name, 0});
        if (option != variables.end())
          add(pcr, 0x80000002, gEfiGlobalVariableGuid, name, option->second);
      }
  }
  if (setupSize <= kSetupSwitch) {
    CHECK(secureStatus == EFI_NOT_FOUND);
  } else if (!(flags & 0x10) || !variables.count({"PK", 0})) {
    CHECK(secureStatus == EFI_UNSUPPORTED);
  } else {
    bool lastFit = true;
    for (const auto &v : kSecureBoot) {
      auto found = variables.find({v.Name, v.Guid == &gEfiGlobalVariableGuid ? 0 : 1});
      if (found != variables.end())
        lastFit = add(7, 0x80000001, *v.Guid, v.Name, found->second);
    }
    CHECK(lastFit ? secureStatus == EFI_SUCCESS : secureStatus == EFI_OUT_OF_RESOURCES);
  }

  const auto &records = board.Records();
  CHECK(records.size() == expected.size());
  for (size_t i = 0; i < records.size(); ++i) {
    CHECK(records[i].Pcr == expected[i].Pcr && records[i].Type == expected[i].Type);
    CHECK(records[i].Data == expected[i].Data);
    CHECK(records[i].Digest == testboard::Sha1(expected[i].Data));
  }

  // Nothing of this input stays behind (libFuzzer would take it for a leak).
  if (!board.Records().empty())
    board.Tcg().Log().Clear();
  while (!store.All().empty())
    store.Erase(store.All().front().Name, store.All().front().Guid);
  TpmPlatform::gTpmPlatformState = nullptr;
  return 0;
}
