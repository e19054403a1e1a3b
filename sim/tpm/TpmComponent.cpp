#include "sim/tpm/TpmComponent.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/Text.h"
#include "sim/memory/MemoryMap.h"

#include <cstdio>
#include <map>
#include <tuple>

namespace sim::tpm {

namespace {

constexpr const char *kNvFile = "tpm-nv.bin";

} // namespace

void TpmComponent::Configure(ConfigSection &section) {
  present_ = section.Bool("present", true);
  vendorId_ = uint16_t(section.Integer("vendor_id", kDefaultVendorId, 0, 0xFFFF));
  enabled_ = section.Bool("enabled", true);
  activated_ = section.Bool("activated", true);
  owned_ = section.Bool("owned", false);
  lockPresence_ = section.Bool("physical_presence_locked", false);
  vendorStateFails_ = section.Bool("vendor_state_fails", false);
  logSize_ = section.Integer("event_log_size", tcg::EventLog::kDefaultCapacity, 64, 16 << 20);
}

NvState TpmComponent::InitialState() const {
  const NvState &base = owned_ ? Tpm12::OwnedState() : Tpm12::ManufacturedState();
  if (enabled_ && activated_)
    return base;
  // Made once per process for each combination, then copied.
  static std::map<std::tuple<bool, bool, bool>, NvState> made;
  auto key = std::make_tuple(owned_, enabled_, activated_);
  if (auto it = made.find(key); it != made.end())
    return it->second;
  Tpm12 chip(base);
  chip.PowerOn();
  if (uint32_t rc = chip.Startup(); rc != TPM_SUCCESS)
    throw TpmError("TPM_Startup", rc);
  // Deactivation needs an enabled TPM: activate state first, disable last.
  if (!activated_)
    chip.SetActivated(false);
  if (!enabled_)
    chip.SetEnabled(false);
  chip.PowerOff();
  return made[key] = chip.Nv();
}

void TpmComponent::LoadState(const StateStore &state) {
  if (!present_)
    return;
  if (auto bytes = state.Load(kNvFile))
    chip_ = std::make_unique<Tpm12>(Tpm12::ParseNv(*bytes, (state.Directory() / kNvFile).string()));
  else
    chip_ = std::make_unique<Tpm12>(InitialState());
}

void TpmComponent::SaveState(StateStore &state) {
  if (chip_) {
    chip_->PowerOff(); // the NV objects are complete once the chip is off
    state.Stage(kNvFile, chip_->SerializeNv());
  }
}

Tpm12 &TpmComponent::Chip() {
  if (!chip_)
    throw SimulationError("the board has no TPM (tpm.present is false)");
  return *chip_;
}

void TpmComponent::PowerOn(Board &board) {
  tcg_.reset();
  if (!chip_)
    return;
  chip_->PowerOff();
  chip_->PowerOn();
  board.Memory().AddMmio(
      kTpmRegisterBase, kTpmRegisterSize,
      MmioHandler{"tpm",
                  [this](uint64_t offset, uint8_t width) -> uint64_t {
                    // DID_VID of locality 0: device 0x0001 above the vendor.
                    uint32_t didVid = 0x00010000u | vendorId_;
                    if (offset >= kDidVidOffset && offset < kDidVidOffset + 4) {
                      uint64_t value = didVid >> (8 * (offset - kDidVidOffset));
                      return width >= 4 ? value : value & ((1ull << (8 * width)) - 1);
                    }
                    return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; // no register
                  },
                  [](uint64_t, uint8_t, uint64_t) {}});
  tcg::TcgProtocol::Options options{vendorId_, vendorStateFails_};
  tcg_ = std::make_unique<tcg::TcgProtocol>(
      *chip_, options, [&board](std::string_view key) { return board.Faults().Check(key); },
      [&board](size_t size) -> void * {
        VOID *buffer = nullptr;
        return EFI_ERROR(board.BootServices()->AllocatePool(EfiBootServicesData, size, &buffer))
                   ? nullptr
                   : buffer;
      },
      logSize_);
}

void TpmComponent::InstallTcgProtocol(Board &board) {
  if (!tcg_)
    return;
  EFI_HANDLE handle = nullptr;
  EFI_STATUS status = board.Handles().Install(&handle, &gEfiTcgProtocolGuid, EFI_NATIVE_INTERFACE,
                                              tcg_->Interface());
  if (EFI_ERROR(status))
    throw SimulationError("the board cannot install EFI_TCG_PROTOCOL");
}

void TpmComponent::AttachPhases(BootSequence &sequence) {
  sequence.Attach("early", "tpm", [this](Board &) {
    if (chip_)
      (void)chip_->Startup(TPM_ST_CLEAR);
  });
  // After the earlier phase's own physical-presence work, when asked for.
  sequence.Attach("dxe-ready", "tpm", [this](Board &) {
    if (chip_ && lockPresence_)
      (void)chip_->LockPhysicalPresence();
  });
  sequence.Attach("board-protocols", "tpm", [this](Board &board) { InstallTcgProtocol(board); });
}

void TpmComponent::Report(Board &board, BootReport &report) {
  (void)board;
  if (!chip_ || !chip_->Powered())
    return;
  nlohmann::json &section = report.Section("tpm").Data;
  section["vendor_id"] = HexNumber(vendorId_, 4);
  try {
    PermanentFlags p = chip_->ReadPermanentFlags();
    VolatileFlags v = chip_->ReadVolatileFlags();
    section["flags"] = {{"disable", p.Disable},
                        {"deactivated", p.Deactivated},
                        {"ownership", p.Ownership},
                        {"owned", chip_->Owned()},
                        {"physical_presence_lock", v.PhysicalPresenceLock}};
    auto &pcrs = section["pcrs"];
    for (uint32_t i = 0; i < 8; ++i) {
      try {
        pcrs[std::to_string(i)] = ToHex(chip_->ReadPcr(i));
      } catch (const TpmError &e) {
        pcrs[std::to_string(i)] =
            "(not readable: TPM return code " + std::to_string(e.Code()) + ")";
      }
    }
  } catch (const TpmError &e) {
    section["unreadable"] = e.what();
  }
  if (!tcg_)
    return;
  section["event_log_records"] = tcg_->Log().Records().size();
  auto &requests = section["requests"];
  requests = nlohmann::json::array();
  for (const auto &exchange : tcg_->Exchanges())
    requests.push_back(tcg::DescribeExchange(exchange));
}

} // namespace sim::tpm

namespace sim {
std::unique_ptr<Component> MakeTpm() {
  return std::make_unique<tpm::TpmComponent>();
}
} // namespace sim
