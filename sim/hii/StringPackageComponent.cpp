// The board's string-package part (board-file section "string_package"):
//   "string_package": { "install": "board-protocols" }   phase, or "none"
#include "Uefi/UefiHii.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Guid.h"
#include "sim/hii/StringPackageService.h"

namespace sim {

namespace {

class StringPackageComponent : public Component {
public:
  ~StringPackageComponent() override {
    if (StringPackageService::Current() == &service_)
      StringPackageService::SetCurrent(nullptr);
  }

  std::string_view Name() const override { return "string_package"; }

  void Configure(ConfigSection &section) override {
    RegisterGuidName(gStringPackageProtocolGuid, "StringPackageProtocol");
    RegisterGuidName(gEfiHiiPackageListProtocolGuid, "gEfiHiiPackageListProtocolGuid");
    phase_ = section.String("install", phase_);
  }

  void AttachPhases(BootSequence &sequence) override {
    if (phase_ == "none")
      return;
    sequence.Attach(phase_, "string_package", [this](Board &board) {
      EFI_HANDLE handle = nullptr;
      board.BootServices()->InstallProtocolInterface(&handle, &gStringPackageProtocolGuid,
                                                     EFI_NATIVE_INTERFACE, service_.Protocol());
    });
  }

  void PowerOn(Board &) override {
    service_.PowerOn();
    StringPackageService::SetCurrent(&service_);
  }

  void Report(Board &, BootReport &report) override {
    if (service_.Rejected().empty())
      return;
    auto &section = report.Section("string_package").Data;
    for (const auto &reason : service_.Rejected())
      section["rejected"].push_back(reason);
  }

private:
  StringPackageService service_;
  std::string phase_ = "board-protocols";
};

} // namespace

std::unique_ptr<Component> MakeStringPackageService() {
  return std::make_unique<StringPackageComponent>();
}

} // namespace sim
