#include "sim/tpm/SelfTestKey.h"

// libtpms calls the deprecated RSA interface; the key copy below must too.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
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
using CryptFunction = int (*)(EVP_PKEY_CTX *, unsigned char *, size_t *, const unsigned char *,
                              size_t);

// Blocks the self-test sealed with the kept pair in this scope, with the
// padding that sealed them and the messages they came from: unsealing one of
// them with the same padding needs no private-key operation.
struct Sealed {
  std::vector<unsigned char> padding, ciphertext, plaintext;
};
std::vector<Sealed> gSealed;

// The self-test's signature with the kept pair: a PKCS #1 v1.5 signature of
// one digest is always the same, so it is kept in a file beside the pair
// (read once a power-on).
struct Signature {
  int type = 0;
  std::vector<unsigned char> digest, value;
};
std::optional<Signature> gSignature;

GenerateFunction RealGenerate() {
  static auto real = reinterpret_cast<GenerateFunction>(dlsym(RTLD_NEXT, "RSA_generate_key_ex"));
  return real;
}

CryptFunction RealEncrypt() {
  static auto real = reinterpret_cast<CryptFunction>(dlsym(RTLD_NEXT, "EVP_PKEY_encrypt"));
  return real;
}

CryptFunction RealDecrypt() {
  static auto real = reinterpret_cast<CryptFunction>(dlsym(RTLD_NEXT, "EVP_PKEY_decrypt"));
  return real;
}

bool IsKeptPair(const RSA *rsa);

// Whether ctx works with the kept pair, in scope; padding gets what decides
// the padding: its mode and, for OAEP, the digest and the label.
bool WithKeptPair(EVP_PKEY_CTX *ctx, std::vector<unsigned char> &padding) {
  if (!gInScope || gKey == nullptr || ctx == nullptr)
    return false;
  int mode = 0;
  if (EVP_PKEY_CTX_get_rsa_padding(ctx, &mode) <= 0)
    return false;
  padding.assign(reinterpret_cast<unsigned char *>(&mode),
                 reinterpret_cast<unsigned char *>(&mode + 1));
  if (mode == RSA_PKCS1_OAEP_PADDING) {
    const EVP_MD *md = nullptr, *mgf1 = nullptr;
    unsigned char *label = nullptr;
    if (EVP_PKEY_CTX_get_rsa_oaep_md(ctx, &md) <= 0 || md == nullptr ||
        EVP_PKEY_CTX_get_rsa_mgf1_md(ctx, &mgf1) <= 0 || mgf1 == nullptr)
      return false;
    int labelSize = EVP_PKEY_CTX_get0_rsa_oaep_label(ctx, &label);
    if (labelSize < 0)
      return false;
    for (int type : {EVP_MD_get_type(md), EVP_MD_get_type(mgf1), labelSize})
      padding.insert(padding.end(), reinterpret_cast<unsigned char *>(&type),
                     reinterpret_cast<unsigned char *>(&type + 1));
    if (labelSize > 0)
      padding.insert(padding.end(), label, label + labelSize);
  }

  EVP_PKEY *pkey = EVP_PKEY_CTX_get0_pkey(ctx);
  return pkey != nullptr && IsKeptPair(EVP_PKEY_get0_RSA(pkey));
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

// Whether the kept pair's components agree with one another: n = pq, e d = 1
// modulo p-1 and q-1, and the CRT values derive from them. A few
// multiplications where RSA_check_key's primality tests of p and q cost
// about 380 million instructions, two thirds of a board boot; the file is
// only ever written whole by this program from a generated pair.
bool Consistent(const RSA *key) {
  const BIGNUM *n, *e, *d, *p, *q, *dmp1, *dmq1, *iqmp;
  RSA_get0_key(key, &n, &e, &d);
  RSA_get0_factors(key, &p, &q);
  RSA_get0_crt_params(key, &dmp1, &dmq1, &iqmp);
  if (!n || !e || !d || !p || !q || !dmp1 || !dmq1 || !iqmp)
    return false;
  BN_CTX *ctx = BN_CTX_new();
  if (ctx == nullptr)
    return false;
  BN_CTX_start(ctx);
  BIGNUM *t = BN_CTX_get(ctx), *pm1 = BN_CTX_get(ctx), *qm1 = BN_CTX_get(ctx);
  bool ok = BN_CTX_get(ctx) != nullptr && BN_mul(t, p, q, ctx) && BN_cmp(t, n) == 0 &&
            BN_sub(pm1, p, BN_value_one()) && BN_sub(qm1, q, BN_value_one()) &&
            BN_mod_mul(t, e, d, pm1, ctx) && BN_is_one(t) && BN_mod_mul(t, e, d, qm1, ctx) &&
            BN_is_one(t) && BN_mod(t, d, pm1, ctx) && BN_cmp(t, dmp1) == 0 &&
            BN_mod(t, d, qm1, ctx) && BN_cmp(t, dmq1) == 0 && BN_mod_mul(t, iqmp, q, p, ctx) &&
            BN_is_one(t);
  BN_CTX_end(ctx);
  BN_CTX_free(ctx);
  return ok;
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
  if (RSA_bits(key) != bits || BN_cmp(keyE, e) != 0 || !Consistent(key)) {
    RSA_free(key);
    return nullptr;
  }
  return key;
}

// Written under a private name and renamed: readers never see half a file.
void StoreFile(const std::filesystem::path &file, const unsigned char *bytes, size_t length) {
  std::filesystem::path temporary = file.string() + "." + std::to_string(::getpid()) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes), std::streamsize(length));
  }
  std::error_code error;
  std::filesystem::rename(temporary, file, error);
  std::filesystem::remove(temporary, error);
}

void StoreKey(RSA *key) {
  if (!gCacheFile)
    return;
  unsigned char *der = nullptr;
  int length = i2d_RSAPrivateKey(key, &der);
  if (length <= 0)
    return;
  StoreFile(*gCacheFile, der, size_t(length));
  OPENSSL_free(der);
}

std::optional<std::filesystem::path> SignatureFile() {
  if (!gCacheFile)
    return std::nullopt;
  return gCacheFile->string() + ".sig";
}

// Signature file: type (4 bytes, host order), digest size (4), digest,
// signature (the rest).
std::optional<Signature> LoadSignature() {
  auto file = SignatureFile();
  if (!file)
    return std::nullopt;
  std::ifstream in(*file, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  Signature signature;
  uint32_t digestSize = 0;
  if (bytes.size() < 8)
    return std::nullopt;
  std::memcpy(&signature.type, bytes.data(), 4);
  std::memcpy(&digestSize, bytes.data() + 4, 4);
  if (bytes.size() - 8 <= digestSize)
    return std::nullopt;
  signature.digest.assign(bytes.begin() + 8, bytes.begin() + 8 + digestSize);
  signature.value.assign(bytes.begin() + 8 + digestSize, bytes.end());
  return signature;
}

void StoreSignature(const Signature &signature) {
  auto file = SignatureFile();
  if (!file)
    return;
  std::vector<unsigned char> bytes(8);
  uint32_t digestSize = uint32_t(signature.digest.size());
  std::memcpy(bytes.data(), &signature.type, 4);
  std::memcpy(bytes.data() + 4, &digestSize, 4);
  bytes.insert(bytes.end(), signature.digest.begin(), signature.digest.end());
  bytes.insert(bytes.end(), signature.value.begin(), signature.value.end());
  StoreFile(*file, bytes.data(), bytes.size());
}

bool IsKeptPair(const RSA *rsa) {
  if (gKey == nullptr || rsa == nullptr)
    return false;
  const BIGNUM *n, *keptN;
  RSA_get0_key(rsa, &n, nullptr, nullptr);
  RSA_get0_key(gKey, &keptN, nullptr, nullptr);
  return n != nullptr && BN_cmp(n, keptN) == 0;
}

} // namespace

SelfTestKeyScope::SelfTestKeyScope(std::optional<std::filesystem::path> cacheFile) {
  gInScope = true;
  gCacheFile = std::move(cacheFile);
}

SelfTestKeyScope::~SelfTestKeyScope() {
  gInScope = false;
  gCacheFile.reset();
  gSealed.clear();
  gSignature.reset();
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

// The power-on self-test seals blocks with the kept pair and unseals them
// again (about 40 million instructions a private-key operation, three of
// them: half a board boot). The message a block was sealed from is the exact
// answer of unsealing it with the same padding; anything else is unsealed by
// OpenSSL. Outside a SelfTestKeyScope both are OpenSSL's own.
extern "C" int EVP_PKEY_encrypt(EVP_PKEY_CTX *ctx, unsigned char *out, size_t *outlen,
                                const unsigned char *in, size_t inlen) {
  using namespace sim::tpm;
  CryptFunction real = RealEncrypt();
  if (real == nullptr)
    return 0;
  int rc = real(ctx, out, outlen, in, inlen);
  std::vector<unsigned char> padding;
  if (rc == 1 && out != nullptr && outlen != nullptr && in != nullptr && WithKeptPair(ctx, padding))
    gSealed.push_back({std::move(padding), {out, out + *outlen}, {in, in + inlen}});
  return rc;
}

extern "C" int EVP_PKEY_decrypt(EVP_PKEY_CTX *ctx, unsigned char *out, size_t *outlen,
                                const unsigned char *in, size_t inlen) {
  using namespace sim::tpm;
  CryptFunction real = RealDecrypt();
  if (real == nullptr)
    return 0;
  std::vector<unsigned char> padding;
  if (out != nullptr && outlen != nullptr && in != nullptr && WithKeptPair(ctx, padding)) {
    for (const Sealed &sealed : gSealed) {
      if (sealed.padding != padding || sealed.ciphertext.size() != inlen ||
          !std::equal(sealed.ciphertext.begin(), sealed.ciphertext.end(), in))
        continue;
      if (*outlen < sealed.plaintext.size())
        break; // OpenSSL reports the short buffer
      std::copy(sealed.plaintext.begin(), sealed.plaintext.end(), out);
      *outlen = sealed.plaintext.size();
      return 1;
    }
  }
  return real(ctx, out, outlen, in, inlen);
}

// The self-test's signature of its fixed digest with the kept pair comes from
// the cache once OpenSSL has made it (about 40 million instructions), after
// a check with the public key; every other signature is OpenSSL's own.
extern "C" int RSA_sign(int type, const unsigned char *m, unsigned int m_length,
                        unsigned char *sigret, unsigned int *siglen, RSA *rsa) {
  using namespace sim::tpm;
  using SignFunction =
      int (*)(int, const unsigned char *, unsigned int, unsigned char *, unsigned int *, RSA *);
  static auto real = reinterpret_cast<SignFunction>(dlsym(RTLD_NEXT, "RSA_sign"));
  if (real == nullptr)
    return 0;
  if (!gInScope || m == nullptr || sigret == nullptr || siglen == nullptr || !IsKeptPair(rsa))
    return real(type, m, m_length, sigret, siglen, rsa);
  auto matches = [&](const Signature &kept) {
    return kept.type == type && kept.digest.size() == m_length &&
           std::equal(kept.digest.begin(), kept.digest.end(), m) &&
           kept.value.size() == size_t(RSA_size(rsa));
  };
  if (!gSignature || !matches(*gSignature)) {
    auto stored = LoadSignature();
    if (stored && matches(*stored) &&
        RSA_verify(type, m, m_length, stored->value.data(), unsigned(stored->value.size()), gKey) ==
            1)
      gSignature = std::move(stored);
  }
  if (gSignature && matches(*gSignature)) {
    std::copy(gSignature->value.begin(), gSignature->value.end(), sigret);
    *siglen = unsigned(gSignature->value.size());
    return 1;
  }
  int rc = real(type, m, m_length, sigret, siglen, rsa);
  if (rc == 1) {
    gSignature = Signature{type, {m, m + m_length}, {sigret, sigret + *siglen}};
    StoreSignature(*gSignature);
  }
  return rc;
}
