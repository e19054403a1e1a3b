#include "sim/tpm/SelfTestKey.h"

// libtpms calls the deprecated RSA interface; the key copy below must too.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace sim::tpm {

namespace {

bool gInScope = false;
std::optional<std::filesystem::path> gCacheFile;
RSA *gKey = nullptr; // the self-test's pair, kept for the process
int gKeyBits = 0;
BIGNUM *gKeyExponent = nullptr;

using GenerateFunction = int (*)(RSA *, int, BIGNUM *, BN_GENCB *);

GenerateFunction RealGenerate() {
  static auto real = reinterpret_cast<GenerateFunction>(dlsym(RTLD_NEXT, "RSA_generate_key_ex"));
  return real;
}

// Copies every component of the kept pair into rsa.
int CopyKey(RSA *rsa) {
  const BIGNUM *n, *e, *d, *p, *q, *dmp1, *dmq1, *iqmp;
  RSA_get0_key(gKey, &n, &e, &d);
  RSA_get0_factors(gKey, &p, &q);
  RSA_get0_crt_params(gKey, &dmp1, &dmq1, &iqmp);
  return RSA_set0_key(rsa, BN_dup(n), BN_dup(e), BN_dup(d)) == 1 &&
                 RSA_set0_factors(rsa, BN_dup(p), BN_dup(q)) == 1 &&
                 RSA_set0_crt_params(rsa, BN_dup(dmp1), BN_dup(dmq1), BN_dup(iqmp)) == 1
             ? 1
             : 0;
}

// The pair kept by an earlier process, when it has this size and exponent.
RSA *LoadKey(int bits, const BIGNUM *e) {
  if (!gCacheFile)
    return nullptr;
  std::ifstream in(*gCacheFile, std::ios::binary);
  std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  const unsigned char *cursor = der.data();
  RSA *key = der.empty() ? nullptr : d2i_RSAPrivateKey(nullptr, &cursor, long(der.size()));
  if (key == nullptr)
    return nullptr;
  const BIGNUM *n, *keyE, *d;
  RSA_get0_key(key, &n, &keyE, &d);
  if (RSA_bits(key) != bits || BN_cmp(keyE, e) != 0 || RSA_check_key(key) != 1) {
    RSA_free(key);
    return nullptr;
  }
  return key;
}

// Written under a private name and renamed: readers never see half a file.
void StoreKey(RSA *key) {
  if (!gCacheFile)
    return;
  unsigned char *der = nullptr;
  int length = i2d_RSAPrivateKey(key, &der);
  if (length <= 0)
    return;
  std::filesystem::path temporary =
      gCacheFile->string() + "." + std::to_string(::getpid()) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(der), length);
  }
  OPENSSL_free(der);
  std::error_code error;
  std::filesystem::rename(temporary, *gCacheFile, error);
  std::filesystem::remove(temporary, error);
}

} // namespace

SelfTestKeyScope::SelfTestKeyScope(std::optional<std::filesystem::path> cacheFile) {
  gInScope = true;
  gCacheFile = std::move(cacheFile);
}

SelfTestKeyScope::~SelfTestKeyScope() {
  gInScope = false;
  gCacheFile.reset();
}

} // namespace sim::tpm

// Takes the place of OpenSSL's function for libtpms (the executable's
// definition comes first in the dynamic lookup); outside a SelfTestKeyScope,
// or for another size or exponent, it is OpenSSL's own.
extern "C" int RSA_generate_key_ex(RSA *rsa, int bits, BIGNUM *e, BN_GENCB *cb) {
  using namespace sim::tpm;
  GenerateFunction real = RealGenerate();
  if (real == nullptr)
    return 0;
  if (!gInScope || rsa == nullptr || e == nullptr)
    return real(rsa, bits, e, cb);
  if (gKey != nullptr && (bits != gKeyBits || BN_cmp(e, gKeyExponent) != 0))
    return real(rsa, bits, e, cb);
  if (gKey == nullptr) {
    RSA *key = LoadKey(bits, e);
    if (key == nullptr) {
      key = RSA_new();
      if (key == nullptr || real(key, bits, e, cb) != 1) {
        RSA_free(key);
        return 0;
      }
      StoreKey(key);
    }
    gKey = key;
    gKeyBits = bits;
    gKeyExponent = BN_dup(e);
  }
  return CopyKey(rsa);
}
