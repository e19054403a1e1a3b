// The board's TPM 1.2: libtpms running in this process. libtpms holds one TPM
// per process, so one Tpm12 is powered at a time; any number may exist powered
// off, each with its own NV state (the chip's non-volatile memory).
//
// A new chip starts from the manufactured state (endorsement key generated,
// enabled, activated, unowned), made once per process and copied.
#pragma once
#include "sim/tpm/TpmWire.h"

#include <map>
#include <stdexcept>
#include <string>

namespace sim::tpm {

// The chip's non-volatile objects as libtpms names them ("permall", ...).
using NvState = std::map<std::string, Bytes>;

class TpmError : public std::runtime_error {
public:
  TpmError(const std::string &what, uint32_t code);
  uint32_t Code() const { return code_; }

private:
  uint32_t code_;
};

// TPM_PERMANENT_FLAGS, in the structure's order.
struct PermanentFlags {
  bool Disable, Ownership, Deactivated, ReadPubek, DisableOwnerClear, AllowMaintenance,
      PhysicalPresenceLifetimeLock, PhysicalPresenceHWEnable, PhysicalPresenceCMDEnable, CEKPUsed,
      TPMpost, TPMpostLock, FIPS, Operator, EnableRevokeEK, NvLocked, ReadSRKPub, TpmEstablished,
      MaintenanceDone, DisableFullDALogicInfo;
};
// TPM_STCLEAR_FLAGS.
struct VolatileFlags {
  bool Deactivated, DisableForceClear, PhysicalPresence, PhysicalPresenceLock, GlobalLock;
};

using Secret = std::array<uint8_t, 20>;

class Tpm12 {
public:
  static const NvState &ManufacturedState();
  // Manufactured, then owned through a real TPM_TakeOwnership with these
  // secrets (all-zero owner and SRK secrets). Made once per process.
  static const NvState &OwnedState();
  static constexpr Secret kOwnerSecret{};
  static constexpr Secret kSrkSecret{};

  explicit Tpm12(NvState nv = ManufacturedState());
  ~Tpm12();
  Tpm12(const Tpm12 &) = delete;
  Tpm12 &operator=(const Tpm12 &) = delete;

  // Power cycle. After PowerOn the TPM waits for TPM_Startup; a chip powered
  // before is switched off. Throws TpmError when libtpms cannot start.
  void PowerOn();
  void PowerOff();
  bool Powered() const { return powered_; }

  // The NV objects as last stored by the chip.
  const NvState &Nv() const { return nv_; }
  Bytes SerializeNv() const;
  // Throws std::runtime_error naming `origin` on malformed data.
  static NvState ParseNv(std::span<const uint8_t> bytes, const std::string &origin);

  // One command, raw. Throws TpmError when not powered.
  Bytes Transmit(std::span<const uint8_t> request);

  // Commands; each returns the TPM return code.
  uint32_t Startup(uint16_t type = TPM_ST_CLEAR);
  uint32_t ContinueSelfTest();
  uint32_t PhysicalPresence(uint16_t bits);
  uint32_t PhysicalEnable();
  uint32_t PhysicalDisable();
  uint32_t PhysicalSetDeactivated(bool deactivated);
  uint32_t SetOwnerInstall(bool allow);
  uint32_t ForceClear();
  uint32_t CreateEndorsementKeyPair();
  uint32_t TakeOwnership(const Secret &owner, const Secret &srk);
  uint32_t Extend(uint32_t pcr, const Digest &digest, Digest *newValue = nullptr);

  // Reads; throw TpmError when the TPM refuses.
  PermanentFlags ReadPermanentFlags();
  VolatileFlags ReadVolatileFlags();
  bool Owned();
  Digest ReadPcr(uint32_t pcr);

  // Physical presence asserted through the command interface for the life of
  // the session (TSC_PhysicalPresence CMD_ENABLE then PRESENT; NOTPRESENT at
  // the end). Throws TpmError when presence cannot be asserted (locked).
  class PhysicalPresenceSession {
  public:
    explicit PhysicalPresenceSession(Tpm12 &tpm);
    ~PhysicalPresenceSession();
    PhysicalPresenceSession(const PhysicalPresenceSession &) = delete;
    PhysicalPresenceSession &operator=(const PhysicalPresenceSession &) = delete;

  private:
    Tpm12 &tpm_;
  };
  PhysicalPresenceSession AssertPhysicalPresence() { return PhysicalPresenceSession(*this); }
  // TSC_PhysicalPresence LOCK: no presence until the next TPM_Startup(ST_CLEAR).
  uint32_t LockPhysicalPresence();

  // Convenience for board set-up: each asserts physical presence itself and
  // throws TpmError when a command fails.
  void SetEnabled(bool enabled);
  void SetActivated(bool activated);
  void Clear();

private:
  friend struct LibtpmsCallbacks;
  uint32_t Simple(uint32_t ordinal, std::span<const uint8_t> parameters = {});
  Bytes GetCapability(uint32_t area, uint32_t subCap);

  NvState nv_;
  bool powered_ = false;
};

} // namespace sim::tpm
