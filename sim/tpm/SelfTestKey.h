// libtpms runs a self-test at every TPM_Init (TPMLIB_MainInit) that generates
// a 2048-bit RSA key pair, uses it once and throws it away: 50 to 400 ms of
// CPU on every simulated power-on, most of a board boot. While a
// SelfTestKeyScope is open, that generation is served from one key pair
// generated for real once and kept in the TPM cache file given (the
// self-test still signs and checks with it); every other key the TPM makes
// (endorsement key, SRK, wrapped keys) is generated fresh, as on a real chip.
#pragma once
#include <filesystem>
#include <optional>

namespace sim::tpm {

class SelfTestKeyScope {
public:
  // cacheFile: where the pair is kept across processes (nullopt: per process).
  explicit SelfTestKeyScope(std::optional<std::filesystem::path> cacheFile);
  ~SelfTestKeyScope();
  SelfTestKeyScope(const SelfTestKeyScope &) = delete;
  SelfTestKeyScope &operator=(const SelfTestKeyScope &) = delete;
};

} // namespace sim::tpm
