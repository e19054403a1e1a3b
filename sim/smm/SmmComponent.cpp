#include "sim/smm/SmmComponent.h"
#include "Platform/CommandBufferProtocol.h"
#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/core/HandleDatabase.h"
#include "sim/devices/ChipsetComponent.h"
#include "sim/io/AccessTrace.h"
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"
#include "sim/smm/SmramLoader.h"

#include <algorithm>

namespace sim {

namespace {
constexpr uint64_t kCommandBufferSize = 0x1000;
} // namespace

struct SmmComponent::PerBoot {
  explicit PerBoot(Board &owner) : Owner(owner) {}
  Board &Owner;
  std::unique_ptr<SmmCore> Core;
  std::unique_ptr<BootScript> Script;
  std::unique_ptr<PlatformData> Data;
  COMMAND_BUFFER_PROTOCOL CommandBuffer{};
  std::span<uint8_t> CommandBufferBytes;
  size_t BootScriptLookups = 0;
};

SmmComponent::SmmComponent() = default;
SmmComponent::~SmmComponent() = default;

void SmmComponent::Configure(ConfigSection &section) {
  auto &script = section.Object("boot_script");
  options_.BootScriptLookups = script.Strings("lookups", options_.BootScriptLookups);
  if (options_.BootScriptLookups.empty())
    script.Fail("lookups", "expected at least one entry");
  for (auto &form : options_.BootScriptLookups)
    if (form != "framework" && form != "pi" && form != "absent")
      script.Fail("lookups", "expected \"framework\", \"pi\" or \"absent\", got \"" + form + "\"");
  options_.PublishSmmRuntimeServices =
      section.Bool("smm_runtime_services", options_.PublishSmmRuntimeServices);

  auto &data = section.Object("platform_data");
  options_.InstallPlatformData = data.Bool("installed", options_.InstallPlatformData);
  options_.Gate = uint8_t(data.Integer("gate", options_.Gate, 0, 255));
  std::vector<uint8_t> block = options_.ConfigBlock;
  block[0] = uint8_t(data.Integer("panel", block[0], 0, 255));
  block[1] = uint8_t(data.Integer("repeat_delay", block[1], 0, 255));
  block[2] = uint8_t(data.Integer("repeat_rate", block[2], 0, 255));
  options_.ConfigBlock = block;

  auto &buffer = section.Object("command_buffer");
  options_.InstallCommandBuffer = buffer.Bool("installed", options_.InstallCommandBuffer);
  options_.CommandBufferAddress =
      buffer.Integer("address", options_.CommandBufferAddress, 0x1000, 0xFFFFF000);
}

void SmmComponent::PowerOn(Board &board) {
  boot_ = std::make_unique<PerBoot>(board);
  PerBoot &b = *boot_;
  b.Core = std::make_unique<SmmCore>(board.Faults(), board.Trace(), *board.RuntimeServices(),
                                     SmmCore::Options{options_.PublishSmmRuntimeServices});
  b.Script = std::make_unique<BootScript>(board.Faults());
  // The SMM core serves the chipset's SMIs; the S3 resume path replays the
  // boot script.
  if (auto *chipset = board.Find<ChipsetComponent>())
    chipset->Connect({[this](uint8_t value) { boot_->Core->DispatchSoftware(value); },
                      [this](unsigned gpi) { boot_->Core->DispatchGpi(gpi); },
                      [this](IoSpace &io) {
                        boot_->Script->Replay(io);
                        return boot_->Script->Entries().size();
                      }});
  b.CommandBufferBytes = board.Memory().AddMemory(
      "os-command-buffer", options_.CommandBufferAddress, kCommandBufferSize);
  b.Core->Load = [&b, &board](const EFI_DEVICE_PATH_PROTOCOL *path, EFI_HANDLE *image) {
    return LoadIntoSmram(board, *b.Core, path, image);
  };
}

void SmmComponent::AttachPhases(BootSequence &sequence) {
  sequence.Attach("board-protocols", "smm", [this](Board &board) { InstallProtocols(board); });
}

void SmmComponent::InstallProtocols(Board &board) {
  PerBoot &b = *boot_;
  HandleDatabase &handles = board.Handles();
  EFI_HANDLE smmHandle = nullptr;
  handles.Install(&smmHandle, &gEfiSmmBaseProtocolGuid, EFI_NATIVE_INTERFACE, b.Core->Base());
  handles.Install(&smmHandle, &gEfiSmmSwDispatchProtocolGuid, EFI_NATIVE_INTERFACE,
                  b.Core->SwDispatch());
  handles.Install(&smmHandle, &gEfiSmmGpiDispatchProtocolGuid, EFI_NATIVE_INTERFACE,
                  b.Core->GpiDispatch());
  EFI_HANDLE scriptHandle = nullptr;
  handles.Install(&scriptHandle, &gEfiBootScriptSaveProtocolGuid, EFI_NATIVE_INTERFACE,
                  b.Script->Interface(ScriptForm::Framework));

  if (options_.InstallPlatformData) {
    b.Data = std::make_unique<PlatformData>(
        board.Faults(), std::vector<PlatformData::Item>{
                            {gButtonPlatformConfigGuid, options_.Gate, options_.ConfigBlock}});
    EFI_HANDLE dataHandle = nullptr;
    handles.Install(&dataHandle, &gPlatformDataProtocolGuid, EFI_NATIVE_INTERFACE,
                    b.Data->Protocol());
  }
  if (options_.InstallCommandBuffer) {
    b.CommandBuffer.CommandBufferAddress = UINTN(options_.CommandBufferAddress);
    EFI_HANDLE bufferHandle = nullptr;
    handles.Install(&bufferHandle, &gCommandBufferProtocolGuid, EFI_NATIVE_INTERFACE,
                    &b.CommandBuffer);
  }

  // Successive lookups of the boot-script GUID may find different producers.
  if (options_.BootScriptLookups != std::vector<std::string>{"framework"})
    handles.SetLocateFilter(gEfiBootScriptSaveProtocolGuid,
                            [this](VOID **interface) { return LocateBootScript(interface); });
}

EFI_STATUS SmmComponent::LocateBootScript(VOID **interface) {
  PerBoot &b = *boot_;
  const auto &lookups = options_.BootScriptLookups;
  const std::string &form = lookups[std::min(b.BootScriptLookups++, lookups.size() - 1)];
  if (form == "absent") {
    *interface = nullptr;
    return EFI_NOT_FOUND;
  }
  *interface = b.Script->Interface(form == "pi" ? ScriptForm::Pi : ScriptForm::Framework);
  return EFI_SUCCESS;
}

SmmCore &SmmComponent::Core() {
  return *boot_->Core;
}
BootScript &SmmComponent::Script() {
  return *boot_->Script;
}
PlatformData &SmmComponent::Data() {
  if (!boot_->Data)
    throw SimulationError("smm: the platform data protocol is not installed on this board");
  return *boot_->Data;
}
OsCommandBuffer SmmComponent::Os() {
  return OsCommandBuffer(boot_->CommandBufferBytes, options_.CommandBufferAddress,
                         boot_->Owner.Io());
}

void SmmComponent::Report(Board &board, BootReport &report) {
  if (!boot_)
    return;
  PerBoot &b = *boot_;
  nlohmann::json &handlers = report.Section("smm_handlers").Data;
  handlers = nlohmann::json::array();
  for (const SmiRegistration &r : b.Core->Registrations())
    handlers.push_back({{"kind", r.Type == SmiRegistration::Kind::Software ? "software" : "gpi"},
                        {"value", r.Value},
                        {"context", r.Context}});

  // What the SMRAM instance's start-up wrote, in order.
  nlohmann::json &writes = report.Section("smm_startup_writes").Data;
  writes = nlohmann::json::array();
  for (const Access &a : board.Trace().Entries())
    if (a.Kind == AccessKind::Write && a.Context.rfind("smm-load:", 0) == 0)
      writes.push_back({{"space", a.Space == AccessSpace::Port ? "port" : "memory"},
                        {"address", a.Address},
                        {"width", a.Width},
                        {"value", a.Value},
                        {"device", a.Device}});

  nlohmann::json &script = report.Section("boot_script").Data;
  script = nlohmann::json::array();
  for (const ScriptEntry &e : b.Script->Entries())
    script.push_back(e.ToJson());
}

std::unique_ptr<Component> MakeSmmComponent() {
  return std::make_unique<SmmComponent>();
}

} // namespace sim
