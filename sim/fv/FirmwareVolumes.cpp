// The board's firmware volumes: FV2 volumes installed for DXE, and the flash
// volume mapped at 0xFFAF0000, both real volume bytes built from the board
// file. The microcode file lies in one FV2 volume, only in flash, or nowhere.
#include "Uefi/UefiSpec.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/core/Guid.h"
#include "sim/fv/FirmwareVolume.h"
#include "sim/fv/Fv2Protocol.h"
#include "sim/memory/MemoryMap.h"
#include "sim/report/Report.h"

#include <cstring>
#include <memory>

namespace sim {
namespace {

constexpr EFI_GUID kMicrocodeFile = {
    0x17088572, 0x377F, 0x44EF, {0x8F, 0x4E, 0xB0, 0x9F, 0xFF, 0x46, 0xA0, 0x70}};
constexpr EFI_PHYSICAL_ADDRESS kFlashBase = 0xFFAF0000;
constexpr uint64_t kFlashVolumeSize = 0x40000;

// A microcode update as the CPU vendor ships it: 48-byte header, then data.
std::vector<uint8_t> MakeMicrocode(size_t size, uint32_t revision) {
  std::vector<uint8_t> mc(std::max<size_t>(size, 48));
  for (size_t i = 48; i < mc.size(); ++i)
    mc[i] = static_cast<uint8_t>(i * 7 + revision);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&mc[at], &v, 4); };
  put32(0, 1);                                      // header version
  put32(4, revision);                               // update revision
  put32(8, 0x01152026);                             // date
  put32(12, 0x000806EC);                            // processor signature
  put32(28, static_cast<uint32_t>(mc.size() - 48)); // data size
  put32(32, static_cast<uint32_t>(mc.size()));      // total size
  uint32_t sum = 0;
  for (size_t i = 0; i + 3 < mc.size(); i += 4) {
    uint32_t v;
    std::memcpy(&v, &mc[i], 4);
    sum += v;
  }
  put32(16, 0u - sum); // checksum: the dwords sum to zero
  return mc;
}

fv::FfsFile Filler(uint32_t n, EFI_FV_FILETYPE type) {
  EFI_GUID name = {
      0x5E1D0000 + n, 0x4B1A, 0x4C2D, {0x9E, 0x3F, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60}};
  return {name, type, std::vector<uint8_t>(0x13 + 8 * n, static_cast<uint8_t>(n))};
}

class FirmwareVolumes : public Component {
public:
  std::string_view Name() const override { return "firmware_volumes"; }

  void Configure(ConfigSection &s) override {
    volumes_ = static_cast<unsigned>(s.Integer("volumes", 3, 0, 16));
    location_ = s.Choice("microcode", "volume", {"volume", "flash", "nowhere"});
    microcodeVolume_ = static_cast<unsigned>(s.Integer("microcode_volume", 0, 0, 15));
    microcodeSize_ = static_cast<size_t>(s.Integer("microcode_size", 0x1000, 48, 0x100000));
    flashErased_ = s.Bool("flash_erased", false);
    if (location_ == "volume" && microcodeVolume_ >= volumes_)
      s.Fail("microcode_volume", "no such volume (there are " + std::to_string(volumes_) + ")");
  }

  void AttachPhases(BootSequence &sequence) override {
    sequence.Attach("board-protocols", "firmware_volumes", [this](Board &b) { Install(b); });
  }

  void PowerOn(Board &board) override {
    installed_.clear();
    auto flash = board.Memory().AddMemory("flash", kFlashBase, 0x100000000ULL - kFlashBase, true);
    std::memset(flash.data(), 0xFF, flash.size());
    if (flashErased_)
      return;
    std::vector<fv::FfsFile> files = {Filler(1, EFI_FV_FILETYPE_DRIVER),
                                      Filler(2, EFI_FV_FILETYPE_RAW)};
    if (location_ != "nowhere")
      files.push_back({kMicrocodeFile, EFI_FV_FILETYPE_RAW, MakeMicrocode(microcodeSize_, 0x2E)});
    auto image = fv::BuildVolume(files, kFlashVolumeSize);
    std::memcpy(flash.data(), image.data(), image.size());
  }

  void Report(Board &, BootReport &report) override {
    auto &section = report.Section("firmware_volumes").Data;
    section["volumes"] = volumes_;
    section["microcode"] = location_;
    if (location_ == "volume")
      section["microcode_volume"] = microcodeVolume_;
  }

private:
  void Install(Board &board) {
    for (unsigned i = 0; i < volumes_; ++i) {
      std::vector<fv::FfsFile> files = {Filler(10 + i, EFI_FV_FILETYPE_RAW),
                                        Filler(20 + i, EFI_FV_FILETYPE_DRIVER)};
      if (location_ == "volume" && i == microcodeVolume_)
        files.push_back({kMicrocodeFile, EFI_FV_FILETYPE_RAW, MakeMicrocode(microcodeSize_, 0x2F)});
      files.push_back(Filler(30 + i, EFI_FV_FILETYPE_RAW));
      auto volume = std::make_unique<fv::Fv2Volume>(fv::BuildVolume(files), board.BootServices());
      EFI_HANDLE handle = nullptr;
      if (EFI_ERROR(board.BootServices()->InstallProtocolInterface(
              &handle, &gEfiFirmwareVolume2ProtocolGuid, EFI_NATIVE_INTERFACE, volume->Protocol())))
        throw SimulationError("firmware_volumes: FV2 install failed");
      installed_.push_back(std::move(volume));
    }
  }

  unsigned volumes_ = 3;
  std::string location_ = "volume";
  unsigned microcodeVolume_ = 0;
  size_t microcodeSize_ = 0x1000;
  bool flashErased_ = false;
  std::vector<std::unique_ptr<fv::Fv2Volume>> installed_;
};

} // namespace

std::unique_ptr<Component> MakeFirmwareVolumes() {
  return std::make_unique<FirmwareVolumes>();
}

} // namespace sim
