// Loads the two drivers at their phases: a new image handle carrying
// EFI_LOADED_IMAGE_PROTOCOL, then the entry point. Board file section "drivers".
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/board/DriverEntries.h"
#include "sim/hii/ImageStrings.h"

namespace sim {

namespace {

class DriverLoader : public Component {
public:
  std::string_view Name() const override { return "drivers"; }

  void Configure(ConfigSection &section) override {
    ConfigSection &tpm = section.Object("tpm_platform");
    loadTpm_ = tpm.Bool("load", true);
    tpmFile_ = tpm.Guid("file_guid", tpmFile_);
    ConfigSection &button = section.Object("button_smm");
    loadButton_ = button.Bool("load", true);
    buttonFile_ = button.Guid("file_guid", buttonFile_);
  }

  void AttachPhases(BootSequence &sequence) override {
    sequence.Attach("load-tpm-platform", "drivers", [this](Board &board) {
      if (loadTpm_)
        board.StartImage({"TpmPlatformDxe", TpmPlatformDxeEntry, tpmFile_, TpmPlatformDxeStrings});
    });
    sequence.Attach("load-button-smm", "drivers", [this](Board &board) {
      if (loadButton_)
        board.StartImage({"ButtonSmm", ButtonSmmEntry, buttonFile_});
    });
  }

private:
  bool loadTpm_ = true;
  bool loadButton_ = true;
  EFI_GUID tpmFile_ = {
      0x2F1A0E4B, 0x6C3D, 0x4A57, {0x9E, 0x21, 0x5B, 0x7D, 0x30, 0x44, 0xC1, 0x8A}};
  EFI_GUID buttonFile_ = {
      0x7D4C9B12, 0x3E5F, 0x4B68, {0xA1, 0x0C, 0x62, 0x93, 0xE8, 0x5D, 0x17, 0x4F}};
};

} // namespace

std::unique_ptr<Component> MakeDriverLoader() {
  return std::make_unique<DriverLoader>();
}

} // namespace sim
