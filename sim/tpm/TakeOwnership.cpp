// TPM_TakeOwnership as an owner-install tool would send it: read the public
// endorsement key, encrypt the owner and SRK secrets under it (RSAES-OAEP,
// SHA-1, label "TCPA"), open an OIAP session and authorise the command with
// the owner secret.
#include "sim/tpm/Tpm12.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstring>
#include <memory>

namespace sim::tpm {

namespace {

constexpr uint16_t TPM_PID_OWNER = 0x0005;
constexpr uint16_t TPM_KEY_STORAGE = 0x0011;
constexpr uint8_t TPM_AUTH_ALWAYS = 0x01;
constexpr uint32_t TPM_ALG_RSA = 0x00000001;
constexpr uint16_t TPM_ES_RSAESOAEP_SHA1_MGF1 = 0x0003;
constexpr uint16_t TPM_SS_NONE = 0x0001;

struct PkeyFree {
  void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
};
struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX *p) const { EVP_PKEY_CTX_free(p); }
};

Digest RandomNonce() {
  Digest nonce;
  if (RAND_bytes(nonce.data(), int(nonce.size())) != 1)
    throw TpmError("no random nonce", 0);
  return nonce;
}

// TPM_ReadPubek response: TPM_PUBKEY (TPM_KEY_PARMS, TPM_STORE_PUBKEY) then a
// checksum. Returns the modulus and the exponent (0 bytes: 65537).
struct PublicKey {
  Bytes Modulus;
  Bytes Exponent;
};

PublicKey ParsePubek(const Bytes &response) {
  size_t at = kHeaderSize;
  auto u32 = [&] {
    uint32_t v = GetU32(response, at);
    at += 4;
    return v;
  };
  auto take = [&](size_t n) {
    if (response.size() < at + n)
      throw TpmError("TPM_ReadPubek: short response", 0);
    Bytes b(response.begin() + at, response.begin() + at + n);
    at += n;
    return b;
  };
  at += 4 + 2 + 2; // algorithmID, encScheme, sigScheme
  uint32_t parmSize = u32();
  size_t parmsEnd = at + parmSize;
  at += 4 + 4; // keyLength, numPrimes
  PublicKey key;
  key.Exponent = take(u32());
  at = parmsEnd;
  key.Modulus = take(u32());
  return key;
}

Bytes EncryptUnderEk(const PublicKey &ek, const Secret &secret) {
  Bytes exponent = ek.Exponent.empty() ? Bytes{0x01, 0x00, 0x01} : ek.Exponent;
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(),
                                                                        OSSL_PARAM_BLD_free);
  BIGNUM *n = BN_bin2bn(ek.Modulus.data(), int(ek.Modulus.size()), nullptr);
  BIGNUM *e = BN_bin2bn(exponent.data(), int(exponent.size()), nullptr);
  OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n);
  OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e);
  OSSL_PARAM *params = OSSL_PARAM_BLD_to_param(build.get());
  std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> fromData(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY *raw = nullptr;
  bool ok = fromData && EVP_PKEY_fromdata_init(fromData.get()) == 1 &&
            EVP_PKEY_fromdata(fromData.get(), &raw, EVP_PKEY_PUBLIC_KEY, params) == 1;
  OSSL_PARAM_free(params);
  BN_free(n);
  BN_free(e);
  std::unique_ptr<EVP_PKEY, PkeyFree> key(raw);
  if (!ok)
    throw TpmError("endorsement key unusable", 0);

  std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  static const char kLabel[] = "TCPA";
  auto *label = static_cast<unsigned char *>(OPENSSL_memdup(kLabel, 4));
  size_t size = 0;
  ok = ctx && EVP_PKEY_encrypt_init(ctx.get()) == 1 &&
       EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) == 1 &&
       EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha1()) == 1 &&
       EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha1()) == 1 &&
       EVP_PKEY_CTX_set0_rsa_oaep_label(ctx.get(), label, 4) == 1;
  if (!ok) {
    OPENSSL_free(label);
    throw TpmError("OAEP set-up failed", 0);
  }
  ok = EVP_PKEY_encrypt(ctx.get(), nullptr, &size, secret.data(), secret.size()) == 1;
  Bytes out(size);
  ok = ok && EVP_PKEY_encrypt(ctx.get(), out.data(), &size, secret.data(), secret.size()) == 1;
  if (!ok)
    throw TpmError("OAEP encryption failed", 0);
  out.resize(size);
  return out;
}

// TPM_KEY (1.1 layout) describing a 2048-bit RSA storage root key.
Bytes SrkParameters() {
  return Writer()
      .U8(1)
      .U8(1)
      .U8(0)
      .U8(0) // TPM_STRUCT_VER 1.1
      .U16(TPM_KEY_STORAGE)
      .U32(0) // keyFlags
      .U8(TPM_AUTH_ALWAYS)
      .U32(TPM_ALG_RSA)
      .U16(TPM_ES_RSAESOAEP_SHA1_MGF1)
      .U16(TPM_SS_NONE)
      .U32(12) // TPM_RSA_KEY_PARMS: keyLength, numPrimes, exponentSize
      .U32(2048)
      .U32(2)
      .U32(0)
      .U32(0) // PCRInfoSize
      .U32(0) // TPM_STORE_PUBKEY keyLength
      .U32(0) // encSize
      .Take();
}

} // namespace

uint32_t Tpm12::TakeOwnership(const Secret &owner, const Secret &srk) {
  Digest antiReplay = RandomNonce();
  Bytes pubek = Transmit(FrameCommand(TPM_ORD_ReadPubek, antiReplay));
  if (uint32_t rc = ResponseCode(pubek); rc != TPM_SUCCESS)
    return rc;
  PublicKey ek = ParsePubek(pubek);
  Bytes encOwner = EncryptUnderEk(ek, owner);
  Bytes encSrk = EncryptUnderEk(ek, srk);
  Bytes srkParams = SrkParameters();

  Bytes oiap = Transmit(FrameCommand(TPM_ORD_OIAP));
  if (uint32_t rc = ResponseCode(oiap); rc != TPM_SUCCESS)
    return rc;
  if (oiap.size() < kHeaderSize + 4 + 20)
    return TPM_BAD_ORDINAL;
  uint32_t authHandle = GetU32(oiap, kHeaderSize);
  const uint8_t *nonceEven = oiap.data() + kHeaderSize + 4;
  Digest nonceOdd = RandomNonce();
  const uint8_t continueSession = 0;

  Bytes parameters = Writer()
                         .U16(TPM_PID_OWNER)
                         .U32(uint32_t(encOwner.size()))
                         .Raw(encOwner)
                         .U32(uint32_t(encSrk.size()))
                         .Raw(encSrk)
                         .Raw(srkParams)
                         .Take();
  // inParamDigest = SHA1(ordinal || parameters); the authorisation is
  // HMAC-SHA1(owner secret, inParamDigest || nonceEven || nonceOdd || continue).
  Bytes digestInput = Writer().U32(TPM_ORD_TakeOwnership).Raw(parameters).Take();
  uint8_t inParamDigest[SHA_DIGEST_LENGTH];
  SHA1(digestInput.data(), digestInput.size(), inParamDigest);
  Bytes hmacInput = Writer()
                        .Raw(inParamDigest)
                        .Raw(std::span(nonceEven, 20))
                        .Raw(nonceOdd)
                        .U8(continueSession)
                        .Take();
  uint8_t auth[SHA_DIGEST_LENGTH];
  unsigned authSize = 0;
  HMAC(EVP_sha1(), owner.data(), int(owner.size()), hmacInput.data(), hmacInput.size(), auth,
       &authSize);

  Bytes body =
      Writer().Raw(parameters).U32(authHandle).Raw(nonceOdd).U8(continueSession).Raw(auth).Take();
  return ResponseCode(
      Transmit(FrameCommand(TPM_ORD_TakeOwnership, body, TPM_TAG_RQU_AUTH1_COMMAND)));
}

} // namespace sim::tpm
