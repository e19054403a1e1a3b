#include "sim/board/Board.h"

#include "Uefi/UefiHii.h"

#include "button_smm/HostReset.h"
#include "sim/board/BoardBus.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/core/Events.h"
#include "sim/core/Guid.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/HobBuilder.h"
#include "sim/core/Pool.h"
#include "sim/core/ServiceTables.h"
#include "sim/core/Status.h"
#include "sim/core/SystemTables.h"
#include "sim/core/Text.h"
#include "sim/io/AccessTrace.h"
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"
#include "tpm_platform/HostReset.h"

#include <cstring>
#include <list>

namespace sim {

namespace {
Board *gCurrent = nullptr;

// The board's own state file: how many boots the board has had.
constexpr const char *kBoardFile = "board.json";
// Boots a state directory may count (far more than anyone runs).
constexpr uint64_t kMaxLifetimeBoots = 1000000000;

// Board-level sections of the board file (the components add theirs).
const std::vector<std::string> kBoardSections = {"board", "boot", "io", "faults"};
} // namespace

const char *OutcomeName(BootOutcome outcome) {
  switch (outcome) {
  case BootOutcome::Completed:
    return "completed";
  case BootOutcome::Reset:
    return "reset";
  case BootOutcome::Halted:
    return "halted";
  case BootOutcome::Hung:
    return "hung";
  }
  return "?";
}

struct Board::Environment {
  explicit Environment(size_t traceLimit)
      : trace(traceLimit), io(trace), memory(trace), handles(events, pool),
        tables(MakeBootServicesTable(), MakeRuntimeServicesTable()) {}

  AccessTrace trace;
  IoSpace io;
  MemoryMap memory;
  EventEngine events;
  PoolAllocator pool;
  HandleDatabase handles;
  SystemTables tables;
  HobBuilder hobs;
  std::list<HobBuilder> extraHobs;
  bool hobsPublished = false;
  std::list<std::vector<uint8_t>> devicePaths;
  std::list<EFI_LOADED_IMAGE_PROTOCOL> loadedImages;
  struct ResetRecord {
    EFI_RESET_TYPE Type;
    EFI_STATUS Status;
    std::string Phase;
    bool Returned;
  };
  std::vector<ResetRecord> resets;
  std::string haltContext;
};

Board::Board(BoardConfig config, std::filesystem::path stateDirectory)
    : config_(std::move(config)), state_(std::move(stateDirectory)) {
  auto variables = std::make_unique<BoardVariables>();
  auto cmos = std::make_unique<BoardCmos>();
  variables_ = variables.get();
  cmos_ = cmos.get();
  components_.push_back(std::move(variables));
  components_.push_back(std::move(cmos));
  components_.push_back(std::make_unique<BoardMemory>());
  for (auto &c : CreateComponents())
    components_.push_back(std::move(c));

  std::vector<std::string> known = kBoardSections;
  ConfigSection &board = config_.Section("board");
  report_.SetBoard(board.String("name", config_.Name()));
  board.String("description", "");
  ConfigureBoard(config_.Section("boot"));
  for (auto &c : components_) {
    known.emplace_back(c->Name());
    c->Configure(config_.Section(c->Name()));
  }
  config_.RejectUnknown(known);

  AttachBuiltInPhases();
  for (auto &c : components_)
    c->AttachPhases(sequence_);
  report_.SetStateDirectory(state_.Directory().string());
  LoadPersistentState();
  gCurrent = this;
  hw::InstallHostBus(&BoardBus());
}

Board::~Board() {
  env_.reset();
  if (gCurrent == this)
    gCurrent = nullptr;
}

Board &Board::Current() {
  if (gCurrent == nullptr)
    throw SimulationError("no board: driver code ran outside a simulated board");
  return *gCurrent;
}

Board *Board::CurrentOrNull() {
  return gCurrent;
}

void Board::ConfigureBoard(ConfigSection &boot) {
  try {
    std::vector<std::string> order;
    for (const auto &p : BootPhases())
      order.emplace_back(p.Name);
    sequence_.SetOrder(boot.Strings("phases", order));
  } catch (const BoardConfigError &) {
    throw;
  } catch (const SimulationError &e) {
    boot.Fail("phases", e.what());
  }
  resetReturns_ = boot.Bool("reset_returns", false);
  const std::string levels = boot.String("notify_levels", "any");
  if (levels != "any" && levels != "named")
    boot.Fail("notify_levels", "expected \"any\" or \"named\"");
  namedNotifyLevels_ = levels == "named";

  ConfigSection &io = config_.Section("io");
  traceLimit_ = io.Integer("trace_limit", traceLimit_, 1, 100000000);

  ConfigSection &faults = config_.Section("faults");
  for (const auto &text : faults.Strings("rules", {})) {
    try {
      faults_.Add(FaultRule::Parse(text));
    } catch (const SimulationError &e) {
      faults.Fail("rules", e.what());
    }
  }
}

void Board::LoadPersistentState() {
  if (auto bytes = state_.Load(kBoardFile)) {
    std::string origin = (state_.CommittedFolder() / kBoardFile).string();
    json doc = json::parse(bytes->begin(), bytes->end(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
      throw InputError(origin + ": not a JSON object");
    auto boots = doc.find("boots");
    if (boots == doc.end() || !boots->is_number_unsigned() ||
        boots->get<uint64_t>() > kMaxLifetimeBoots)
      throw InputError(origin + ": boots: expected a count from 0 to " +
                       std::to_string(kMaxLifetimeBoots));
    earlierBoots_ = unsigned(boots->get<uint64_t>());
  }
  for (auto &c : components_)
    c->LoadState(state_);
}

void Board::Commit() {
  for (auto &c : components_)
    c->SaveState(state_);
  std::string board = json{{"boots", LifetimeBoots()}}.dump() + "\n";
  state_.Stage(kBoardFile, {board.begin(), board.end()});
  state_.Commit();
}

void Board::AttachBuiltInPhases() {
  sequence_.Attach("dxe-ready", "board", [](Board &b) { b.PublishHobLists(); });
}

Component *Board::FindComponent(std::string_view name) const {
  for (auto &c : components_)
    if (c->Name() == name)
      return c.get();
  return nullptr;
}

// ---- Per-boot parts -----------------------------------------------------------

Board::Environment &Board::Env() {
  if (!env_)
    throw SimulationError("the board is not powered on");
  return *env_;
}

AccessTrace &Board::Trace() {
  return Env().trace;
}
IoSpace &Board::Io() {
  return Env().io;
}
MemoryMap &Board::Memory() {
  return Env().memory;
}
EventEngine &Board::Events() {
  return Env().events;
}
PoolAllocator &Board::Pool() {
  return Env().pool;
}
HandleDatabase &Board::Handles() {
  return Env().handles;
}
SystemTables &Board::Tables() {
  return Env().tables;
}
EFI_SYSTEM_TABLE *Board::SystemTable() {
  return Env().tables.System();
}
EFI_BOOT_SERVICES *Board::BootServices() {
  return Env().tables.Boot();
}
EFI_RUNTIME_SERVICES *Board::RuntimeServices() {
  return Env().tables.Runtime();
}
HobBuilder &Board::Hobs() {
  return Env().hobs;
}

HobBuilder &Board::AddHobList() {
  return Env().extraHobs.emplace_back();
}

void Board::PublishHobLists() {
  Environment &env = Env();
  if (env.hobsPublished)
    return;
  env.hobsPublished = true;
  env.tables.AddHobList(env.hobs);
  for (const auto &h : env.extraHobs)
    env.tables.AddHobList(h);
}

void Board::ExitBootServices() {
  Env().events.SignalGroup(gEfiEventExitBootServicesGuid);
  Variables().SetRuntime(true);
}

const std::string &Board::Phase() const {
  return env_ ? sequence_.CurrentPhase() : noPhase_;
}

void Board::EnterPhase(const std::string &phase) {
  Environment &env = Env();
  env.pool.SetPhase(phase);
  env.handles.SetPhase(phase);
  Variables().SetPhase(phase);
}

// ---- Boots ----------------------------------------------------------------------

void Board::PowerOn() {
  gCurrent = this;
  ++bootIndex_;
  report_.StartBoot(LifetimeBoots());
  // Every boot starts from freshly loaded driver images.
  TpmPlatform::ResetDriverState();
  ButtonSmm::ResetDriverState();

  env_.reset();
  env_ = std::make_unique<Environment>(traceLimit_);
  Environment &env = *env_;
  env.events.SetMisuseSink([this](const std::string &text) {
    report_.Current().AddError(text + " (phase " + Phase() + ")");
  });
  env.events.SetCloseListener([&env](EFI_EVENT e) { env.handles.DropRegistrationsOf(e); });
  env.events.SetNamedNotifyLevelsOnly(namedNotifyLevels_);
  Variables().DropVolatile();
  Variables().SetRuntime(false);
  Variables().ClearWrites();
  halted_ = false;
  images_.clear();
  EnterPhase("power-on");

  cmosAtPowerOn_ = Cmos().Serialize();
  faultsAtPowerOn_ = faults_.Injected().size();
  faultHitsAtPowerOn_ = faults_.Hits();
  for (auto &c : components_)
    c->PowerOn(*this);
}

BootResult Board::Run(const std::function<void(Board &)> &body) {
  BootResult result;
  result.Index = bootIndex_;
  try {
    body(*this);
  } catch (const ResetRequested &r) {
    result.Outcome = BootOutcome::Reset;
    result.ResetType = r.Type;
  } catch (const ProcessorHalted &h) {
    result.Outcome = BootOutcome::Halted;
    result.Detail = h.Context.empty() ? "CpuHaltForever" : "CpuHaltForever in " + h.Context;
  } catch (const BoardHung &h) {
    result.Outcome = BootOutcome::Hung;
    result.Detail = h.Reason;
  }
  result.Phase = sequence_.CurrentPhase();
  FinishBoot(result);
  return result;
}

BootResult Board::Boot() {
  PowerOn();
  return Run([](Board &b) { b.sequence_.Run(b); });
}

void Board::FinishBoot(BootResult &result) {
  for (auto &c : components_)
    c->EndBoot(*this, result);
  ReportBoard(result);
  for (auto &c : components_)
    c->Report(*this, report_.Current());
  results_.push_back(result);
}

// ---- Images, reset, halt -----------------------------------------------------------

LoadedImage Board::StartImage(const DriverImage &image) {
  Environment &env = Env();
  // The firmware volume the image came from, and its file node.
  auto &deviceNode = env.devicePaths.emplace_back(sizeof(MEDIA_FW_VOL_DEVICE_PATH) + 4, 0);
  MEDIA_FW_VOL_DEVICE_PATH fv{
      {MEDIA_DEVICE_PATH, MEDIA_PIWG_FW_VOL_DP, {20, 0}},
      {0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, 0x89, 0x61, 0x85, 0xC3, 0x2D, 0xD3}}};
  std::memcpy(deviceNode.data(), &fv, sizeof fv);
  EFI_DEVICE_PATH_PROTOCOL end{END_DEVICE_PATH_TYPE, END_ENTIRE_DEVICE_PATH_SUBTYPE, {4, 0}};
  std::memcpy(deviceNode.data() + sizeof fv, &end, sizeof end);
  auto &fileNode = env.devicePaths.emplace_back(sizeof(MEDIA_FW_VOL_FILEPATH_DEVICE_PATH) + 4, 0);
  MEDIA_FW_VOL_FILEPATH_DEVICE_PATH file{{MEDIA_DEVICE_PATH, MEDIA_PIWG_FW_FILE_DP, {20, 0}},
                                         image.FileGuid};
  std::memcpy(fileNode.data(), &file, sizeof file);
  std::memcpy(fileNode.data() + sizeof file, &end, sizeof end);

  EFI_HANDLE device = nullptr;
  if (env.handles.Install(&device, &gEfiDevicePathProtocolGuid, EFI_NATIVE_INTERFACE,
                          deviceNode.data()) != EFI_SUCCESS)
    throw SimulationError("cannot create the device handle of " + image.Name);

  auto &loaded = env.loadedImages.emplace_back();
  loaded.Revision = EFI_LOADED_IMAGE_PROTOCOL_REVISION;
  loaded.SystemTable = SystemTable();
  loaded.DeviceHandle = device;
  loaded.FilePath = reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(fileNode.data());
  loaded.ImageBase = reinterpret_cast<VOID *>(image.Entry);
  loaded.ImageCodeType = EfiBootServicesCode;
  loaded.ImageDataType = EfiBootServicesData;
  EFI_HANDLE handle = nullptr;
  if (env.handles.Install(&handle, &gEfiLoadedImageProtocolGuid, EFI_NATIVE_INTERFACE, &loaded) !=
      EFI_SUCCESS)
    throw SimulationError("cannot create the image handle of " + image.Name);

  if (image.HiiPackageList != nullptr &&
      env.handles.Install(&handle, &gEfiHiiPackageListProtocolGuid, EFI_NATIVE_INTERFACE,
                          const_cast<VOID *>(image.HiiPackageList)) != EFI_SUCCESS)
    throw SimulationError("cannot publish the HII packages of " + image.Name);
  images_.push_back({image.Name, image.Entry, handle, EFI_NOT_STARTED});
  size_t index = images_.size() - 1;
  EFI_STATUS status = image.Entry(handle, SystemTable());
  images_[index].Status = status;
  return images_[index];
}

void Board::RequestReset(EFI_RESET_TYPE type, EFI_STATUS status) {
  Env().resets.push_back({type, status, Phase(), resetReturns_});
  if (resetReturns_)
    return;
  throw ResetRequested{type, status};
}

void Board::RecordHalt(std::string context) {
  halted_ = true;
  if (env_)
    env_->haltContext = std::move(context);
}

// ---- Report ------------------------------------------------------------------------
// The board's own sections, as data (sim/report/TextView.cpp renders them).

namespace {
const char *ResetName(EFI_RESET_TYPE type) {
  switch (type) {
  case EfiResetCold:
    return "cold";
  case EfiResetWarm:
    return "warm";
  case EfiResetShutdown:
    return "shutdown";
  case EfiResetPlatformSpecific:
    return "platform-specific";
  }
  return "unknown";
}

json OptionalHex(const std::optional<std::vector<uint8_t>> &bytes) {
  return bytes ? json(ToHex(*bytes)) : json(nullptr);
}
} // namespace

void Board::ReportBoard(const BootResult &result) {
  Environment &env = Env();
  BootReport &r = report_.Current();
  std::string detail = result.Detail;
  if (result.Outcome == BootOutcome::Reset)
    detail = std::string(ResetName(*result.ResetType)) + " reset";
  if (result.Outcome != BootOutcome::Completed && !result.Phase.empty())
    detail += (detail.empty() ? "" : ", ") + std::string("in phase ") + result.Phase;
  r.SetOutcome(OutcomeName(result.Outcome), detail);
  // A boot that waits for what never comes did not run its story.
  if (result.Outcome == BootOutcome::Hung)
    r.AddError("the boot hung: " + result.Detail);

  r.Section("phases").Data = sequence_.Ran();
  if (!images_.empty()) {
    json &images = r.Section("images").Data;
    images = json::array();
    for (const auto &i : images_)
      images.push_back(
          {{"name", i.Name},
           {"handle", env.handles.HandleNumber(i.Handle)},
           {"status", i.Status == EFI_NOT_STARTED ? "did not return" : StatusText(i.Status)}});
  }

  json &vars = r.Section("variables").Data;
  vars = json::array();
  for (const auto &w : Variables().Writes())
    vars.push_back({{"name", ToUtf8(w.Name)},
                    {"guid", GuidToString(w.Guid)},
                    {"attributes", w.Attributes},
                    {"before", OptionalHex(w.Before)},
                    {"after", OptionalHex(w.After)},
                    {"phase", w.Phase}});

  json &cmos = r.Section("cmos").Data;
  cmos = json::array();
  for (size_t i = 0; i < CmosRam::kSize; ++i) {
    uint8_t before = cmosAtPowerOn_.size() == CmosRam::kSize ? cmosAtPowerOn_[i] : 0;
    uint8_t after = Cmos().Get(uint8_t(i));
    if (before != after)
      cmos.push_back({{"register", i}, {"before", before}, {"after", after}});
  }

  json trace = json::array();
  for (const auto &a : env.trace.Entries())
    trace.push_back({{"seq", a.Sequence},
                     {"space", a.Space == AccessSpace::Port ? "port" : "mmio"},
                     {"access", a.Kind == AccessKind::Read ? "read" : "write"},
                     {"address", a.Address},
                     {"width", a.Width},
                     {"value", a.Value},
                     {"device", a.Device},
                     {"context", a.Context}});
  json counts = json::array();
  for (const auto &[port, c] : env.trace.PortCounts())
    counts.push_back({{"port", port},
                      {"reads", c.Reads},
                      {"writes", c.Writes},
                      {"device", env.io.DeviceAt(uint16_t(port))}});
  r.Section("io").Data = {{"total", env.trace.Total()},
                          {"dropped", env.trace.Dropped()},
                          {"ports", counts},
                          {"trace", trace}};

  json &protocols = r.Section("protocols").Data;
  protocols = json::array();
  for (const auto &c : env.handles.Changes())
    protocols.push_back({{"change", c.Kind},
                         {"handle", c.Handle},
                         {"protocol", GuidToString(c.Protocol)},
                         {"name", GuidName(c.Protocol)},
                         {"phase", c.Phase}});

  json live = json::array();
  for (const auto &b : env.pool.Live())
    live.push_back({{"serial", b.Serial}, {"size", b.Size}, {"type", b.Type}, {"phase", b.Phase}});
  json misuse = json::array();
  for (const auto &m : env.pool.Misuses()) {
    misuse.push_back({{"kind", m.Kind}, {"address", m.Address}, {"phase", m.Phase}});
    r.AddError("pool: " + m.Kind + " at " + HexNumber(m.Address) + " [" + m.Phase + "]");
  }
  r.Section("pool").Data = {{"allocations", env.pool.TotalAllocations()},
                            {"live_blocks", env.pool.LiveCount()},
                            {"live_bytes", env.pool.LiveBytes()},
                            {"live", live},
                            {"misuse", misuse}};

  if (!env.resets.empty()) {
    json &resets = r.Section("resets").Data;
    resets = json::array();
    for (const auto &x : env.resets)
      resets.push_back({{"type", ResetName(x.Type)},
                        {"status", StatusText(x.Status)},
                        {"phase", x.Phase},
                        {"returned", x.Returned}});
  }

  if (!faults_.Rules().empty() || faults_.Injected().size() > faultsAtPowerOn_) {
    // Every rule with the calls it failed in this boot, then each failed call.
    json rules = json::array();
    for (size_t i = 0; i < faults_.Rules().size(); ++i) {
      uint64_t before = i < faultHitsAtPowerOn_.size() ? faultHitsAtPowerOn_[i] : 0;
      rules.push_back(
          {{"rule", faults_.Rules()[i].ToString()}, {"failed_calls", faults_.Hits()[i] - before}});
    }
    json injected = json::array();
    for (size_t i = faultsAtPowerOn_; i < faults_.Injected().size(); ++i) {
      const auto &f = faults_.Injected()[i];
      injected.push_back({{"service", f.Key},
                          {"call", f.Call},
                          {"status", f.NullBuffer ? std::string("NULL") : StatusText(f.Status)}});
    }
    r.Section("faults").Data = {{"rules", rules}, {"injected", injected}};
  }
}

} // namespace sim
