// Independent computations of what the measurements must produce: SHA-1 and
// the event-data layouts written out byte by byte.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <openssl/sha.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testboard {

using Bytes = std::vector<uint8_t>;

inline std::array<uint8_t, 20> Sha1(const uint8_t *p, size_t n) {
  std::array<uint8_t, 20> d;
  SHA1(p, n, d.data());
  return d;
}
inline std::array<uint8_t, 20> Sha1(const Bytes &b) {
  return Sha1(b.data(), b.size());
}

inline void PutLe(Bytes &out, uint64_t v, int n) {
  for (int i = 0; i < n; ++i)
    out.push_back(uint8_t(v >> (8 * i)));
}
inline void PutGuid(Bytes &out, const EFI_GUID &g) {
  PutLe(out, g.Data1, 4);
  PutLe(out, g.Data2, 2);
  PutLe(out, g.Data3, 2);
  out.insert(out.end(), g.Data4, g.Data4 + 8);
}

// EFI_VARIABLE_DATA: GUID, UINT64 name length, UINT64 data length, name, data.
inline Bytes VariableData(const EFI_GUID &guid, const std::string &name, const Bytes &data) {
  Bytes out;
  PutGuid(out, guid);
  PutLe(out, name.size(), 8);
  PutLe(out, data.size(), 8);
  for (char c : name)
    PutLe(out, uint8_t(c), 2);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

inline Bytes HandoffData(const EFI_GUID &guid, uint64_t address) {
  Bytes out;
  PutLe(out, 1, 8);
  PutGuid(out, guid);
  PutLe(out, address, 8);
  return out;
}

inline Bytes OptionRomData(uint16_t pfa, const Bytes &rom) {
  Bytes out;
  PutLe(out, 7, 4);
  PutLe(out, 24, 4);
  PutLe(out, 0, 2);
  PutLe(out, pfa, 2);
  auto digest = Sha1(rom);
  out.insert(out.end(), digest.begin(), digest.end());
  return out;
}

inline Bytes Text(const std::string &s) {
  return Bytes(s.begin(), s.end());
}

} // namespace testboard
