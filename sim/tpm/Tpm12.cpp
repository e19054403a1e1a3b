#include "sim/tpm/Tpm12.h"
#include "sim/core/Text.h"
#include "sim/tpm/SelfTestKey.h"

#include <libtpms/tpm_error.h>
#include <libtpms/tpm_library.h>
#include <libtpms/tpm_memory.h>
#include <openssl/sha.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <unistd.h>

namespace sim::tpm {

namespace {

Tpm12 *gPowered = nullptr; // the chip libtpms currently runs
bool gVersionChosen = false;

} // namespace

TpmError::TpmError(const std::string &what, uint32_t code)
    : std::runtime_error(what + " (TPM return code " + HexNumber(code) + ")"), code_(code) {}

// libtpms calls back into the powered chip for its NV objects, the locality and
// the hardware physical-presence pin.
struct LibtpmsCallbacks {
  static TPM_RESULT NvInit() { return TPM_SUCCESS; }
  static TPM_RESULT NvLoad(unsigned char **data, uint32_t *length, uint32_t, const char *name) {
    auto it = gPowered->nv_.find(name);
    if (it == gPowered->nv_.end())
      return TPM_RETRY; // no such object yet: libtpms manufactures defaults
    if (TPM_Malloc(data, uint32_t(it->second.size())) != TPM_SUCCESS)
      return TPM_FAIL;
    std::memcpy(*data, it->second.data(), it->second.size());
    *length = uint32_t(it->second.size());
    return TPM_SUCCESS;
  }
  static TPM_RESULT NvStore(const unsigned char *data, uint32_t length, uint32_t,
                            const char *name) {
    gPowered->nv_[name].assign(data, data + length);
    return TPM_SUCCESS;
  }
  static TPM_RESULT NvDelete(uint32_t, const char *name, TPM_BOOL mustExist) {
    size_t erased = gPowered->nv_.erase(name);
    return (erased == 0 && mustExist) ? TPM_FAIL : TPM_SUCCESS;
  }
  static TPM_RESULT IoInit() { return TPM_SUCCESS; }
  // The host firmware runs at locality 0, which PCRs 0 to 7 require.
  static TPM_RESULT Locality(TPM_MODIFIER_INDICATOR *locality, uint32_t) {
    *locality = 0;
    return TPM_SUCCESS;
  }
  // No hardware presence pin: presence comes through TSC_PhysicalPresence.
  static TPM_RESULT HardwarePresence(TPM_BOOL *present, uint32_t) {
    *present = FALSE;
    return TPM_SUCCESS;
  }

  static void Register() {
    if (!gVersionChosen) {
      if (TPMLIB_ChooseTPMVersion(TPMLIB_TPM_VERSION_1_2) != TPM_SUCCESS)
        throw TpmError("libtpms refuses TPM 1.2", TPM_FAIL);
      gVersionChosen = true;
    }
    libtpms_callbacks callbacks = {};
    callbacks.sizeOfStruct = sizeof callbacks;
    callbacks.tpm_nvram_init = NvInit;
    callbacks.tpm_nvram_loaddata = NvLoad;
    callbacks.tpm_nvram_storedata = NvStore;
    callbacks.tpm_nvram_deletename = NvDelete;
    callbacks.tpm_io_init = IoInit;
    callbacks.tpm_io_getlocality = Locality;
    callbacks.tpm_io_getphysicalpresence = HardwarePresence;
    TPM_RESULT rc = TPMLIB_RegisterCallbacks(&callbacks);
    if (rc != TPM_SUCCESS)
      throw TpmError("libtpms refuses the callbacks", rc);
  }
};

namespace {

// Manufactured states are kept in a per-user cache directory (tests run one
// process each): PLATSIM_TPM_CACHE names it, "none" turns the cache off;
// default $XDG_CACHE_HOME/platsim, else ~/.cache/platsim (never the shared
// temporary directory, where anyone could plant a state). The file name
// carries the libtpms version and the format version; the file carries a
// SHA-256 of its state, and a file that does not match is made anew.
std::optional<std::filesystem::path> CacheFile(const std::string &name) {
  const char *dir = std::getenv("PLATSIM_TPM_CACHE");
  if (dir != nullptr && std::string(dir) == "none")
    return std::nullopt;
  std::filesystem::path base;
  if (dir != nullptr && *dir != '\0')
    base = dir;
  else if (const char *xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/')
    base = std::filesystem::path(xdg) / "platsim";
  else if (const char *home = std::getenv("HOME"); home != nullptr && *home == '/')
    base = std::filesystem::path(home) / ".cache" / "platsim";
  else
    return std::nullopt;
  std::error_code error;
  std::filesystem::create_directories(base, error);
  if (error || !std::filesystem::is_directory(base, error))
    return std::nullopt;
  return base / ("platsim-tpm12-" + Printf("%06X", TPMLIB_GetVersion()) + "-v2-" + name + ".nv");
}

constexpr char kCacheMagic[] = "platsim TPM cache 2\n";

std::string CacheDigest(const Bytes &bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(bytes.data(), bytes.size(), digest);
  std::string hex;
  for (unsigned char b : digest)
    hex += Printf("%02x", b);
  return hex + "\n";
}

NvState CachedState(const std::string &name, const std::function<NvState()> &make) {
  auto file = CacheFile(name);
  if (file) {
    std::ifstream in(*file, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t header = sizeof kCacheMagic - 1 + 2 * SHA256_DIGEST_LENGTH + 1;
    if (bytes.size() > header &&
        std::memcmp(bytes.data(), kCacheMagic, sizeof kCacheMagic - 1) == 0) {
      Bytes state(bytes.begin() + long(header), bytes.end());
      std::string recorded(bytes.begin() + long(sizeof kCacheMagic - 1),
                           bytes.begin() + long(header));
      if (recorded == CacheDigest(state)) {
        try {
          return Tpm12::ParseNv(state, file->string());
        } catch (const std::runtime_error &) {
          // made anew below
        }
      }
    }
  }
  NvState state = make();
  if (file) {
    // Written under a private name and renamed: readers never see half a file.
    std::filesystem::path temporary = file->string() + "." + std::to_string(::getpid()) + ".tmp";
    Bytes bytes = Tpm12(state).SerializeNv();
    std::string header = kCacheMagic + CacheDigest(bytes);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(header.data(), std::streamsize(header.size()));
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    std::error_code error;
    if (out)
      std::filesystem::rename(temporary, *file, error);
    std::filesystem::remove(temporary, error);
  }
  return state;
}

} // namespace

const NvState &Tpm12::ManufacturedState() {
  static const NvState state = CachedState("manufactured", [] {
    Tpm12 chip(NvState{});
    chip.PowerOn(); // an empty NV makes libtpms lay out a blank chip
    if (uint32_t rc = chip.Startup(); rc != TPM_SUCCESS)
      throw TpmError("TPM_Startup", rc);
    // The factory installs the endorsement key and, as on every PC-client
    // platform, lets firmware assert presence through the command interface.
    if (uint32_t rc = chip.CreateEndorsementKeyPair(); rc != TPM_SUCCESS)
      throw TpmError("TPM_CreateEndorsementKeyPair", rc);
    if (uint32_t rc = chip.PhysicalPresence(TPM_PHYSICAL_PRESENCE_CMD_ENABLE); rc != TPM_SUCCESS)
      throw TpmError("TSC_PhysicalPresence", rc);
    chip.PowerOff();
    return chip.nv_;
  });
  return state;
}

const NvState &Tpm12::OwnedState() {
  static const NvState state = CachedState("owned", [] {
    Tpm12 chip(ManufacturedState());
    chip.PowerOn();
    if (uint32_t rc = chip.Startup(); rc != TPM_SUCCESS)
      throw TpmError("TPM_Startup", rc);
    if (uint32_t rc = chip.TakeOwnership(kOwnerSecret, kSrkSecret); rc != TPM_SUCCESS)
      throw TpmError("TPM_TakeOwnership", rc);
    chip.PowerOff();
    return chip.nv_;
  });
  return state;
}

Tpm12::Tpm12(NvState nv) : nv_(std::move(nv)) {}

Tpm12::~Tpm12() {
  if (powered_)
    PowerOff();
}

void Tpm12::PowerOn() {
  if (powered_)
    return;
  // libtpms runs one TPM: the chip that ran before is switched off.
  if (gPowered != nullptr)
    gPowered->PowerOff();
  LibtpmsCallbacks::Register();
  gPowered = this;
  TPM_RESULT rc;
  {
    SelfTestKeyScope selfTest(CacheFile("selftest-rsa-key"));
    rc = TPMLIB_MainInit();
  }
  if (rc != TPM_SUCCESS) {
    // libtpms must not process commands after a failed start.
    TPMLIB_Terminate();
    gPowered = nullptr;
    throw TpmError("TPMLIB_MainInit", rc);
  }
  powered_ = true;
}

void Tpm12::PowerOff() {
  if (!powered_)
    return;
  TPMLIB_Terminate();
  powered_ = false;
  gPowered = nullptr;
}

Bytes Tpm12::Transmit(std::span<const uint8_t> request) {
  if (!powered_)
    throw TpmError("TPM command while the TPM is off", TPM_FAIL);
  Bytes command(request.begin(), request.end());
  unsigned char *response = nullptr;
  uint32_t responseSize = 0, bufferSize = 0;
  TPM_RESULT rc = TPMLIB_Process(&response, &responseSize, &bufferSize, command.data(),
                                 uint32_t(command.size()));
  Bytes result;
  if (response != nullptr) {
    result.assign(response, response + responseSize);
    std::free(response);
  }
  if (rc != TPM_SUCCESS && result.empty())
    throw TpmError("TPMLIB_Process", rc);
  return result;
}

uint32_t Tpm12::Simple(uint32_t ordinal, std::span<const uint8_t> parameters) {
  return ResponseCode(Transmit(FrameCommand(ordinal, parameters)));
}

uint32_t Tpm12::Startup(uint16_t type) {
  return Simple(TPM_ORD_Startup, Writer().U16(type).Get());
}
uint32_t Tpm12::ContinueSelfTest() {
  return Simple(TPM_ORD_ContinueSelfTest);
}
uint32_t Tpm12::PhysicalPresence(uint16_t bits) {
  return Simple(TSC_ORD_PhysicalPresence, Writer().U16(bits).Get());
}
uint32_t Tpm12::PhysicalEnable() {
  return Simple(TPM_ORD_PhysicalEnable);
}
uint32_t Tpm12::PhysicalDisable() {
  return Simple(TPM_ORD_PhysicalDisable);
}
uint32_t Tpm12::PhysicalSetDeactivated(bool deactivated) {
  return Simple(TPM_ORD_PhysicalSetDeactivated, Writer().U8(deactivated ? 1 : 0).Get());
}
uint32_t Tpm12::SetOwnerInstall(bool allow) {
  return Simple(TPM_ORD_SetOwnerInstall, Writer().U8(allow ? 1 : 0).Get());
}
uint32_t Tpm12::CreateEndorsementKeyPair() {
  // 2048-bit RSA, RSAES-OAEP, no signature scheme; the antiReplay nonce is not checked here.
  Bytes parameters = Writer()
                         .Raw(Digest{})
                         .U32(1)  // TPM_ALG_RSA
                         .U16(3)  // TPM_ES_RSAESOAEP_SHA1_MGF1
                         .U16(1)  // TPM_SS_NONE
                         .U32(12) // keyLength, numPrimes, exponentSize
                         .U32(2048)
                         .U32(2)
                         .U32(0)
                         .Take();
  return Simple(TPM_ORD_CreateEndorsementKeyPair, parameters);
}

uint32_t Tpm12::ForceClear() {
  return Simple(TPM_ORD_ForceClear);
}
uint32_t Tpm12::LockPhysicalPresence() {
  return PhysicalPresence(TPM_PHYSICAL_PRESENCE_LOCK);
}

uint32_t Tpm12::Extend(uint32_t pcr, const Digest &digest, Digest *newValue) {
  Bytes response = Transmit(FrameCommand(TPM_ORD_Extend, Writer().U32(pcr).Raw(digest).Get()));
  uint32_t rc = ResponseCode(response);
  if (rc == TPM_SUCCESS && newValue != nullptr && response.size() >= kHeaderSize + 20)
    std::memcpy(newValue->data(), response.data() + kHeaderSize, 20);
  return rc;
}

Digest Tpm12::ReadPcr(uint32_t pcr) {
  Bytes response = Transmit(FrameCommand(TPM_ORD_PcrRead, Writer().U32(pcr).Get()));
  uint32_t rc = ResponseCode(response);
  if (rc != TPM_SUCCESS || response.size() < kHeaderSize + 20)
    throw TpmError("TPM_PCRRead " + std::to_string(pcr), rc);
  Digest value;
  std::memcpy(value.data(), response.data() + kHeaderSize, 20);
  return value;
}

Bytes Tpm12::GetCapability(uint32_t area, uint32_t subCap) {
  Bytes response =
      Transmit(FrameCommand(TPM_ORD_GetCapability, Writer().U32(area).U32(4).U32(subCap).Get()));
  uint32_t rc = ResponseCode(response);
  if (rc != TPM_SUCCESS)
    throw TpmError("TPM_GetCapability", rc);
  uint32_t size = GetU32(response, kHeaderSize);
  if (response.size() < kHeaderSize + 4 + size)
    throw TpmError("TPM_GetCapability: short response", TPM_FAIL);
  return Bytes(response.begin() + kHeaderSize + 4, response.begin() + kHeaderSize + 4 + size);
}

PermanentFlags Tpm12::ReadPermanentFlags() {
  Bytes data = GetCapability(4, 0x108); // TPM_CAP_FLAG, TPM_CAP_FLAG_PERMANENT
  if (data.size() < 2 + 20)
    throw TpmError("TPM_PERMANENT_FLAGS: short", TPM_FAIL);
  PermanentFlags flags;
  bool *fields[] = {&flags.Disable,
                    &flags.Ownership,
                    &flags.Deactivated,
                    &flags.ReadPubek,
                    &flags.DisableOwnerClear,
                    &flags.AllowMaintenance,
                    &flags.PhysicalPresenceLifetimeLock,
                    &flags.PhysicalPresenceHWEnable,
                    &flags.PhysicalPresenceCMDEnable,
                    &flags.CEKPUsed,
                    &flags.TPMpost,
                    &flags.TPMpostLock,
                    &flags.FIPS,
                    &flags.Operator,
                    &flags.EnableRevokeEK,
                    &flags.NvLocked,
                    &flags.ReadSRKPub,
                    &flags.TpmEstablished,
                    &flags.MaintenanceDone,
                    &flags.DisableFullDALogicInfo};
  for (size_t i = 0; i < std::size(fields); ++i)
    *fields[i] = data[2 + i] != 0;
  return flags;
}

VolatileFlags Tpm12::ReadVolatileFlags() {
  Bytes data = GetCapability(4, 0x109); // TPM_CAP_FLAG, TPM_CAP_FLAG_VOLATILE
  if (data.size() < 2 + 5)
    throw TpmError("TPM_STCLEAR_FLAGS: short", TPM_FAIL);
  return {data[2] != 0, data[3] != 0, data[4] != 0, data[5] != 0, data[6] != 0};
}

bool Tpm12::Owned() {
  Bytes data = GetCapability(5, 0x111); // TPM_CAP_PROPERTY, TPM_CAP_PROP_OWNER
  return !data.empty() && data[0] != 0;
}

Tpm12::PhysicalPresenceSession::PhysicalPresenceSession(Tpm12 &tpm) : tpm_(tpm) {
  uint32_t rc = tpm_.PhysicalPresence(TPM_PHYSICAL_PRESENCE_CMD_ENABLE);
  if (rc == TPM_SUCCESS)
    rc = tpm_.PhysicalPresence(TPM_PHYSICAL_PRESENCE_PRESENT);
  if (rc != TPM_SUCCESS)
    throw TpmError("physical presence cannot be asserted", rc);
}

Tpm12::PhysicalPresenceSession::~PhysicalPresenceSession() {
  (void)tpm_.PhysicalPresence(TPM_PHYSICAL_PRESENCE_NOTPRESENT);
}

namespace {
void Require(uint32_t rc, const char *what) {
  if (rc != TPM_SUCCESS)
    throw TpmError(what, rc);
}
} // namespace

void Tpm12::SetEnabled(bool enabled) {
  auto presence = AssertPhysicalPresence();
  Require(enabled ? PhysicalEnable() : PhysicalDisable(),
          enabled ? "TPM_PhysicalEnable" : "TPM_PhysicalDisable");
}

void Tpm12::SetActivated(bool activated) {
  auto presence = AssertPhysicalPresence();
  Require(PhysicalSetDeactivated(!activated), "TPM_PhysicalSetDeactivated");
}

void Tpm12::Clear() {
  auto presence = AssertPhysicalPresence();
  Require(ForceClear(), "TPM_ForceClear");
}

Bytes Tpm12::SerializeNv() const {
  Writer out;
  out.U32(uint32_t(nv_.size()));
  for (const auto &[name, data] : nv_) {
    out.U32(uint32_t(name.size()));
    out.Raw(std::span(reinterpret_cast<const uint8_t *>(name.data()), name.size()));
    out.U32(uint32_t(data.size())).Raw(data);
  }
  return out.Take();
}

NvState Tpm12::ParseNv(std::span<const uint8_t> bytes, const std::string &origin) {
  size_t at = 0;
  auto need = [&](size_t n) {
    if (bytes.size() - at < n)
      throw std::runtime_error(origin + ": truncated TPM NV state");
  };
  auto u32 = [&] {
    need(4);
    uint32_t v = GetU32(bytes, at);
    at += 4;
    return v;
  };
  NvState nv;
  for (uint32_t count = u32(); count > 0; --count) {
    uint32_t nameSize = u32();
    need(nameSize);
    std::string name(bytes.begin() + at, bytes.begin() + at + nameSize);
    at += nameSize;
    uint32_t dataSize = u32();
    need(dataSize);
    nv[name] = Bytes(bytes.begin() + at, bytes.begin() + at + dataSize);
    at += dataSize;
  }
  if (at != bytes.size())
    throw std::runtime_error(origin + ": trailing bytes after the TPM NV state");
  return nv;
}

} // namespace sim::tpm
