// Platform components around the measurements: PlatformTableProtocol with its
// table, the earlier phase's WakeInfoHob, TpmDeviceProtocol, and the three
// measurement override protocols.
#include "sim/platform/MeasurePlatform.h"
#include "Platform/MeasureOverrideProtocols.h"
#include "Platform/PlatformTableProtocol.h"
#include "Platform/TpmDeviceProtocol.h"
#include "Platform/WakeInfoHob.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/HobBuilder.h"
#include "sim/memory/MemoryMap.h"
#include "sim/report/Report.h"

#include <cstdio>
#include <cstring>

namespace sim {
namespace {

MeasurePlatform *gCurrent = nullptr;

struct OverrideKind {
  const char *Name;
  const EFI_GUID *Guid;
  MEASURE_OVERRIDE_ENTRY Entry;
};

template <int N> EFI_STATUS EFIAPI OverrideEntry() {
  return gCurrent ? gCurrent->OverrideCalled(N) : EFI_NOT_READY;
}

const OverrideKind kOverrides[] = {
    {"microcode", &gMicrocodeMeasureOverrideProtocolGuid, OverrideEntry<0>},
    {"option_rom", &gOptionRomMeasureOverrideProtocolGuid, OverrideEntry<1>},
    {"ready_to_boot", &gReadyToBootMeasureOverrideProtocolGuid, OverrideEntry<2>},
};

} // namespace

MeasurePlatform::MeasurePlatform() {
  gCurrent = this;
}
MeasurePlatform::~MeasurePlatform() {
  if (gCurrent == this)
    gCurrent = nullptr;
}

void MeasurePlatform::Configure(ConfigSection &s) {
  ConfigSection &table = s.Object("platform_table");
  tablePresent_ = table.Bool("present", true);
  tableLength_ = static_cast<uint32_t>(table.Integer("length", 0x40, 8, 0x10000));
  lengthField_ = static_cast<uint32_t>(table.Integer("length_field", tableLength_, 0, 0xFFFFFFFF));
  if (s.Has("wake_source"))
    wakeSource_ = static_cast<uint32_t>(s.Integer("wake_source", 0, 0, 0xFFFFFFFF));
  tpmDevice_ = s.Bool("tpm_device", true);
  for (const auto &name : s.Strings("overrides", {})) {
    bool known = false;
    for (int i = 0; i < 3; ++i)
      if (name == kOverrides[i].Name)
        overrides_[i] = known = true;
    if (!known)
      s.Fail("overrides",
             "unknown override \"" + name + "\" (microcode, option_rom, ready_to_boot)");
  }
  overrideStatus_ = s.Status("override_status", EFI_SUCCESS);
}

void MeasurePlatform::AttachPhases(BootSequence &sequence) {
  sequence.Attach("early", "platform", [this](Board &b) { AddHobs(b); });
  sequence.Attach("board-protocols", "platform", [this](Board &b) { Install(b); });
}

void MeasurePlatform::PowerOn(Board &board) {
  overrideCalls_ = {};
  tableAddress_ = 0;
  interface_.assign(0x78, 0);
  (void)board;
}

void MeasurePlatform::AddHobs(Board &board) {
  if (wakeSource_) {
    uint8_t data[4];
    std::memcpy(data, &*wakeSource_, 4);
    board.Hobs().AddGuid(gWakeInfoHobGuid, data);
  }
}

EFI_STATUS MeasurePlatform::OverrideCalled(int kind) {
  ++overrideCalls_[kind];
  return overrideStatus_;
}

void MeasurePlatform::Install(Board &board) {
  EFI_BOOT_SERVICES *bs = board.BootServices();
  if (tablePresent_) {
    MemoryMap &memory = board.Memory();
    tableAddress_ = memory.Allocate("low", tableLength_, 16);
    auto *table = static_cast<uint8_t *>(memory.ToPointer(tableAddress_));
    for (uint32_t i = 0; i < tableLength_; ++i)
      table[i] = static_cast<uint8_t>(0x40 + i);
    constexpr uint8_t kSignature[4] = {'P', 'T', 'B', 'L'}; // no terminator in the table
    std::memcpy(table, kSignature, sizeof(kSignature));
    std::memcpy(table + kPlatformTableLengthOffset, &lengthField_, 4);
    std::memcpy(interface_.data() + kPlatformTableAddressOffset, &tableAddress_, 8);
    EFI_HANDLE handle = nullptr;
    bs->InstallProtocolInterface(&handle, &gPlatformTableProtocolGuid, EFI_NATIVE_INTERFACE,
                                 interface_.data());
  }
  if (tpmDevice_) {
    EFI_HANDLE handle = nullptr;
    bs->InstallProtocolInterface(&handle, &gTpmDeviceProtocolGuid, EFI_NATIVE_INTERFACE,
                                 &tpmDeviceInterface_);
  }
  for (int i = 0; i < 3; ++i) {
    if (!overrides_[i])
      continue;
    overrideInterfaces_[i].Measure = kOverrides[i].Entry;
    EFI_HANDLE handle = nullptr;
    bs->InstallProtocolInterface(&handle, kOverrides[i].Guid, EFI_NATIVE_INTERFACE,
                                 &overrideInterfaces_[i]);
  }
}

void MeasurePlatform::Report(Board &, BootReport &report) {
  auto &section = report.Section("measure_platform").Data;
  if (tableAddress_)
    section["platform_table"] = {
        {"address", tableAddress_}, {"length", tableLength_}, {"length_field", lengthField_}};
  section["wake_source"] = wakeSource_ ? nlohmann::json(*wakeSource_) : nlohmann::json();
  nlohmann::json overrides = nlohmann::json::array();
  for (int i = 0; i < 3; ++i)
    if (overrides_[i])
      overrides.push_back({{"name", kOverrides[i].Name}, {"calls", overrideCalls_[i]}});
  section["overrides"] = overrides;
}

std::unique_ptr<Component> MakeMeasurePlatform() {
  return std::make_unique<MeasurePlatform>();
}

} // namespace sim
