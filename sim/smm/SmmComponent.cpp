#include "sim/smm/SmmComponent.h"
#include "Platform/CommandBufferProtocol.h"
#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/Text.h"
#include "sim/io/AccessTrace.h"
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"

#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr uint64_t kCommandBufferSize = 0x1000;

std::vector<uint8_t> PathBytes(const EFI_DEVICE_PATH_PROTOCOL *path, bool withEnd) {
  std::vector<uint8_t> bytes;
  auto *node = reinterpret_cast<const uint8_t *>(path);
  for (int guard = 0; node != nullptr && guard < 64; ++guard) {
    uint16_t length = uint16_t(node[2] | node[3] << 8);
    bool end = node[0] == END_DEVICE_PATH_TYPE && node[1] == END_ENTIRE_DEVICE_PATH_SUBTYPE;
    if (length < 4 || (end && !withEnd))
      break;
    bytes.insert(bytes.end(), node, node + length);
    if (end)
      break;
    node += length;
  }
  return bytes;
}

} // namespace

struct SmmComponent::PerBoot {
  explicit PerBoot(Board &owner) : Owner(owner) {}
  Board &Owner;
  std::unique_ptr<SmmCore> Core;
  std::unique_ptr<BootScript> Script;
  std::unique_ptr<PlatformData> Data;
  std::unique_ptr<EmbeddedController> Ec;
  std::unique_ptr<SuperIo> Sio;
  std::unique_ptr<PciConfig> Pci;
  std::unique_ptr<PlatformPorts> Ports;
  COMMAND_BUFFER_PROTOCOL CommandBuffer{};
  std::span<uint8_t> CommandBufferBytes;
  EFI_LOCATE_PROTOCOL BoardLocateProtocol = nullptr;
  std::vector<std::string> Events; // board actions, for the report
  std::vector<S3Result> S3;
  size_t BootScriptLookups = 0;
  uint8_t ApmStatus = 0;
};

SmmComponent *SmmComponent::hooked_ = nullptr;

SmmComponent::SmmComponent() = default;
SmmComponent::~SmmComponent() {
  if (hooked_ == this)
    hooked_ = nullptr;
}

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

  auto &ec = section.Object("ec");
  options_.Ec.PageRestore = uint8_t(ec.Integer("page_restore", options_.Ec.PageRestore, 0, 255));
  std::string busy = ec.Choice("busy", "none", {"none", "once", "always"});
  options_.Ec.BusyMode = busy == "once"     ? EmbeddedController::Busy::Once
                         : busy == "always" ? EmbeddedController::Busy::Always
                                            : EmbeddedController::Busy::None;
  options_.Ec.BusyAddress = uint16_t(ec.Integer("busy_address", options_.Ec.BusyAddress, 0, 0xFFF));
  options_.Ec.TakeKeyCodes = ec.Bool("take_key_codes", options_.Ec.TakeKeyCodes);
  options_.Ec.InitialRam[EmbeddedController::kBacklightLevel] = uint8_t(ec.Integer(
      "backlight_level", options_.Ec.InitialRam[EmbeddedController::kBacklightLevel], 0, 255));

  auto &chipset = section.Object("chipset");
  options_.Ports.Pm1Control = chipset.Bool("acpi_mode", true) ? 0x0001 : 0x0000;
  options_.Ports.GpiSmiEnable =
      uint16_t(chipset.Integer("gpi_smi_enable", options_.Ports.GpiSmiEnable, 0, 0xFFFF));
  options_.GpiRoute = uint32_t(chipset.Integer("gpi_route", options_.GpiRoute, 0, 0xFFFFFFFF));
  options_.Ports.Output = uint8_t(chipset.Integer("output", options_.Ports.Output, 0, 255));
}

void SmmComponent::PowerOn(Board &board) {
  boot_ = std::make_unique<PerBoot>(board);
  PerBoot &b = *boot_;
  b.Core = std::make_unique<SmmCore>(board.Faults(), board.Trace(), *board.RuntimeServices(),
                                     SmmCore::Options{options_.PublishSmmRuntimeServices});
  b.Script = std::make_unique<BootScript>(board.Faults());
  b.Ec = std::make_unique<EmbeddedController>(options_.Ec);
  b.Sio = std::make_unique<SuperIo>();
  b.Pci = std::make_unique<PciConfig>();
  b.Pci->SetLpcGpiRouteDefault(options_.GpiRoute);
  b.Pci->Reset();
  b.Ports = std::make_unique<PlatformPorts>(*b.Pci, options_.Ports);

  IoSpace &io = board.Io();
  b.Ec->Attach(io);
  b.Sio->Attach(io);
  b.Pci->Attach(io, board.Memory());
  b.Ports->Attach(io);
  io.Claim(OsCommandBuffer::kApmControlPort, 2,
           {"apm",
            [&b](uint16_t port, uint8_t) -> uint32_t {
              return port == OsCommandBuffer::kApmControlPort ? 0 : b.ApmStatus;
            },
            [&b](uint16_t port, uint8_t, uint32_t value) {
              if (port == OsCommandBuffer::kApmControlPort)
                b.Core->DispatchSoftware(uint8_t(value));
              else
                b.ApmStatus = uint8_t(value);
            }});

  b.Ec->RaiseGpi = [this](unsigned gpi) { RaiseGpi(gpi); };
  b.Ports->OnSmi = [&b](unsigned gpi) { b.Core->DispatchGpi(gpi); };
  // The EC takes the key codes once the SMI has released the window.
  b.Core->AfterSmi = [&b] { b.Ec->ServiceKeySlots(); };
  b.CommandBufferBytes = board.Memory().AddMemory(
      "os-command-buffer", options_.CommandBufferAddress, kCommandBufferSize);
  b.Core->Load = [this, &board](const EFI_DEVICE_PATH_PROTOCOL *path, EFI_HANDLE *image) {
    return LoadIntoSmram(board, path, image);
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
  if (options_.BootScriptLookups != std::vector<std::string>{"framework"}) {
    b.BoardLocateProtocol = board.BootServices()->LocateProtocol;
    board.BootServices()->LocateProtocol = LocateProtocolHook;
    hooked_ = this;
  }
}

EFI_STATUS EFIAPI SmmComponent::LocateProtocolHook(const EFI_GUID *protocol, VOID *registration,
                                                   VOID **interface) {
  PerBoot &b = *hooked_->boot_;
  EFI_STATUS status = b.BoardLocateProtocol(protocol, registration, interface);
  if (EFI_ERROR(status) || protocol == nullptr || !(*protocol == gEfiBootScriptSaveProtocolGuid))
    return status;
  const auto &lookups = hooked_->options_.BootScriptLookups;
  const std::string &form = lookups[std::min(b.BootScriptLookups++, lookups.size() - 1)];
  if (form == "absent") {
    *interface = nullptr;
    return EFI_NOT_FOUND;
  }
  *interface = b.Script->Interface(form == "pi" ? ScriptForm::Pi : ScriptForm::Framework);
  return EFI_SUCCESS;
}

EFI_STATUS SmmComponent::LoadIntoSmram(Board &board, const EFI_DEVICE_PATH_PROTOCOL *path,
                                       EFI_HANDLE *smmImage) {
  std::vector<uint8_t> requested = PathBytes(path, true);
  // Only an image's own file can be loaded: its device's path, then its file path.
  std::optional<DriverImage> found;
  for (const LoadedImage &image : board.Images()) {
    auto *loaded = static_cast<EFI_LOADED_IMAGE_PROTOCOL *>(
        board.Handles().Find(image.Handle, gEfiLoadedImageProtocolGuid));
    if (loaded == nullptr)
      continue;
    auto *device = static_cast<EFI_DEVICE_PATH_PROTOCOL *>(
        board.Handles().Find(loaded->DeviceHandle, gEfiDevicePathProtocolGuid));
    std::vector<uint8_t> expected = PathBytes(device, false);
    std::vector<uint8_t> file = PathBytes(loaded->FilePath, true);
    expected.insert(expected.end(), file.begin(), file.end());
    if (expected != requested)
      continue;
    EFI_GUID fileGuid{};
    auto *node = reinterpret_cast<const uint8_t *>(loaded->FilePath);
    if (node != nullptr && node[0] == MEDIA_DEVICE_PATH && node[1] == 0x06)
      std::memcpy(&fileGuid, node + 4, sizeof fileGuid);
    found = DriverImage{image.Name + " (SMRAM)", image.Entry, fileGuid};
    break;
  }
  if (!found)
    return EFI_NOT_FOUND;
  LoadedImage started{};
  boot_->Core->RunInSmm("smm-load:" + found->Name, [&] { started = board.StartImage(*found); });
  *smmImage = started.Handle;
  return started.Status;
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
EmbeddedController &SmmComponent::Ec() {
  return *boot_->Ec;
}
SuperIo &SmmComponent::Sio() {
  return *boot_->Sio;
}
PciConfig &SmmComponent::Pci() {
  return *boot_->Pci;
}
PlatformPorts &SmmComponent::Ports() {
  return *boot_->Ports;
}
OsCommandBuffer SmmComponent::Os() {
  return OsCommandBuffer(boot_->CommandBufferBytes, options_.CommandBufferAddress,
                         boot_->Owner.Io());
}

std::string SmmComponent::RaiseGpi(unsigned gpi) {
  boot_->Events.push_back("GPI " + std::to_string(gpi) + " raised");
  size_t index = boot_->Events.size() - 1;
  std::string outcome;
  try {
    outcome = boot_->Ports->RaiseGpi(gpi);
  } catch (const ProcessorHalted &) {
    boot_->Events[index] += ": SMI; the handler halted the processor";
    throw;
  }
  boot_->Events[index] += outcome == "smi"   ? ": SMI"
                          : outcome == "sci" ? ": routed to SCI"
                                             : ": not routed to SMI, ignored";
  return outcome;
}

std::map<std::string, uint64_t> SmmComponent::Snapshot() const {
  std::map<std::string, uint64_t> registers;
  const PerBoot &b = *boot_;
  for (uint16_t address = 0x600; address < 0x6FF; ++address)
    registers["ec." + HexNumber(address, 3)] = b.Ec->Ram(address);
  for (auto &[name, value] : b.Sio->Snapshot())
    registers[name] = value;
  registers["pci.00:1F.0.B8"] = b.Pci->LpcGpiRoute();
  for (auto &[name, value] : b.Ports->Snapshot())
    registers[name] = value;
  return registers;
}

S3Result SmmComponent::SuspendResume() {
  PerBoot &b = *boot_;
  S3Result result;
  result.BeforeSuspend = Snapshot();
  // What a real suspend loses: the Super-I/O, the chipset's GPIO, SMI enable
  // and PCI configuration, and the host's button configuration in the EC.
  b.Ec->Suspend();
  b.Sio->Reset();
  b.Pci->Reset();
  b.Ports->ResetChipset();
  result.AfterSuspend = Snapshot();
  {
    AccessTrace::Scope scope(b.Owner.Trace(), "s3-resume");
    b.Script->Replay(b.Owner.Io());
  }
  result.Replayed = b.Script->Entries().size();
  result.AfterResume = Snapshot();
  b.S3.push_back(result);
  return result;
}

namespace {

// Registers a snapshot leaves out read as zero (their reset value).
uint64_t ValueIn(const std::map<std::string, uint64_t> &registers, const std::string &name) {
  auto it = registers.find(name);
  return it == registers.end() ? 0 : it->second;
}

std::vector<std::string> Changed(const std::map<std::string, uint64_t> &from,
                                 const std::map<std::string, uint64_t> &to) {
  std::vector<std::string> names;
  for (auto &[name, value] : from)
    if (ValueIn(to, name) != value)
      names.push_back(name);
  for (auto &[name, value] : to)
    if (!from.count(name) && value != 0)
      names.push_back(name);
  return names;
}

} // namespace

std::vector<std::string> S3Result::Differences() const {
  return Changed(BeforeSuspend, AfterResume);
}

std::vector<std::string> S3Result::Lost() const {
  return Changed(BeforeSuspend, AfterSuspend);
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
    script.push_back({{"opcode", e.OpCode},
                      {"form", e.Form == ScriptForm::Framework ? "framework" : "pi"},
                      {"width", e.Width},
                      {"address", e.Address},
                      {"values", e.Values},
                      {"data", e.Data},
                      {"mask", e.DataMask}});

  if (!b.Events.empty())
    report.Section("smm_events").Data = b.Events;
  for (const S3Result &s3 : b.S3) {
    nlohmann::json &section = report.Section("s3").Data;
    if (!section.is_array())
      section = nlohmann::json::array();
    std::vector<std::string> lost = s3.Lost(), differences = s3.Differences();
    nlohmann::json registers = nlohmann::json::array();
    for (const std::string &name : lost)
      registers.push_back({{"name", name},
                           {"before_suspend", ValueIn(s3.BeforeSuspend, name)},
                           {"after_suspend", ValueIn(s3.AfterSuspend, name)},
                           {"after_resume", ValueIn(s3.AfterResume, name)}});
    if (!differences.empty())
      report.AddError("S3 resume left " + std::to_string(differences.size()) +
                      " registers different from before the suspend");
    section.push_back({{"lost", lost},
                       {"different", differences},
                       {"replayed", s3.Replayed},
                       {"registers", registers}});
  }

  report.Section("hotkey_devices").Data = {{"backlight_level", b.Ec->BacklightLevel()},
                                           {"output", b.Ports->Output()},
                                           {"acpi_mode", b.Ports->AcpiMode()},
                                           {"scis", b.Ports->SciCount()},
                                           {"keyboard", b.Ec->KeyboardStream()},
                                           {"power_off", b.Ports->PowerOffRequested()},
                                           {"smis", b.Core->SmiCount()}};
}

std::unique_ptr<Component> MakeSmmComponent() {
  return std::make_unique<SmmComponent>();
}

} // namespace sim
