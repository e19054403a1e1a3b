// The power-on self-test's short cuts give exactly OpenSSL's answers: a block
// sealed with the kept pair unseals to its message only with the padding that
// sealed it, and a kept signature is used only when it verifies.
#include "sim/tpm/SelfTestKey.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <unistd.h>
#include <vector>

namespace sim::tpm {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

fs::path CacheFile() {
  fs::path dir = fs::path(::testing::TempDir()) / ("selftest-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir / "key";
}

// The pair the scope keeps: the one the self-test would get.
EVP_PKEY *KeptPair() {
  RSA *rsa = RSA_new();
  BIGNUM *e = BN_new();
  BN_set_word(e, RSA_F4);
  EXPECT_EQ(RSA_generate_key_ex(rsa, 2048, e, nullptr), 1);
  BN_free(e);
  EVP_PKEY *pkey = EVP_PKEY_new();
  EVP_PKEY_assign_RSA(pkey, rsa);
  return pkey;
}

struct Padding {
  int mode;
  const char *label; // OAEP only; nullptr: none
};

EVP_PKEY_CTX *Context(EVP_PKEY *pkey, bool encrypt, const Padding &padding) {
  EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new(pkey, nullptr);
  EXPECT_EQ(encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx), 1);
  EXPECT_GT(EVP_PKEY_CTX_set_rsa_padding(ctx, padding.mode), 0);
  if (padding.mode == RSA_PKCS1_OAEP_PADDING && padding.label != nullptr) {
    size_t size = std::strlen(padding.label);
    auto *copy = static_cast<unsigned char *>(OPENSSL_malloc(size));
    std::memcpy(copy, padding.label, size);
    EXPECT_GT(EVP_PKEY_CTX_set0_rsa_oaep_label(ctx, copy, int(size)), 0);
  }
  return ctx;
}

Bytes Seal(EVP_PKEY *pkey, const Padding &padding, const Bytes &message) {
  EVP_PKEY_CTX *ctx = Context(pkey, true, padding);
  Bytes out(256);
  size_t size = out.size();
  EXPECT_EQ(EVP_PKEY_encrypt(ctx, out.data(), &size, message.data(), message.size()), 1);
  EVP_PKEY_CTX_free(ctx);
  out.resize(size);
  return out;
}

// The unsealed message, or nothing when OpenSSL refuses the block.
std::optional<Bytes> Unseal(EVP_PKEY *pkey, const Padding &padding, const Bytes &block) {
  EVP_PKEY_CTX *ctx = Context(pkey, false, padding);
  Bytes out(256);
  size_t size = out.size();
  int rc = EVP_PKEY_decrypt(ctx, out.data(), &size, block.data(), block.size());
  EVP_PKEY_CTX_free(ctx);
  if (rc != 1)
    return std::nullopt;
  out.resize(size);
  return out;
}

TEST(SelfTestKey, UnsealingGivesOpenSslsAnswerForEveryPaddingPair) {
  const Padding oaep{RSA_PKCS1_OAEP_PADDING, nullptr};
  const Padding oaepLabel{RSA_PKCS1_OAEP_PADDING, "TCPA"};
  const Padding pkcs1{RSA_PKCS1_PADDING, nullptr};
  struct Case {
    const char *name;
    Padding seal, unseal;
    bool opens;
  } cases[] = {
      {"OAEP both ways", oaep, oaep, true},
      {"OAEP with the same label", oaepLabel, oaepLabel, true},
      {"PKCS #1 v1.5 both ways", pkcs1, pkcs1, true},
      {"OAEP label added", oaep, oaepLabel, false},
      {"OAEP label dropped", oaepLabel, oaep, false},
      {"sealed OAEP, unsealed v1.5", oaep, pkcs1, false},
      {"sealed v1.5, unsealed OAEP", pkcs1, oaep, false},
  };
  SelfTestKeyScope scope(CacheFile());
  EVP_PKEY *pkey = KeptPair();
  const Bytes message = {'s', 'e', 'l', 'f', '-', 't', 'e', 's', 't'};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = Seal(pkey, c.seal, message);
    std::optional<Bytes> opened = Unseal(pkey, c.unseal, block);
    ASSERT_EQ(opened.has_value(), c.opens);
    if (c.opens)
      EXPECT_EQ(*opened, message);
  }
  // A block that was not sealed here is OpenSSL's to unseal (or refuse).
  Bytes other = {'o', 't', 'h', 'e', 'r'};
  Bytes block = Seal(pkey, oaep, other);
  Bytes tampered = block;
  tampered[tampered.size() / 2] ^= 0x40;
  EXPECT_FALSE(Unseal(pkey, oaep, tampered).has_value());
  EXPECT_EQ(Unseal(pkey, oaep, block), other);
  EVP_PKEY_free(pkey);
}

TEST(SelfTestKey, KeptSignatureIsUsedOnlyWhenItVerifies) {
  const fs::path cache = CacheFile();
  const fs::path signatureFile = cache.string() + ".sig";
  unsigned char digest[SHA_DIGEST_LENGTH];
  const char text[] = "abc";
  SHA1(reinterpret_cast<const unsigned char *>(text), 3, digest);

  auto sign = [&](RSA *rsa) {
    Bytes signature(RSA_size(rsa));
    unsigned size = 0;
    EXPECT_EQ(RSA_sign(NID_sha1, digest, sizeof digest, signature.data(), &size, rsa), 1);
    signature.resize(size);
    return signature;
  };
  auto verifies = [&](RSA *rsa, const Bytes &signature) {
    return RSA_verify(NID_sha1, digest, sizeof digest, signature.data(), unsigned(signature.size()),
                      rsa) == 1;
  };
  auto corrupt = [&](std::streamoff from_end) {
    std::fstream file(signatureFile, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(-from_end, std::ios::end);
    char byte = 0;
    file.get(byte);
    file.seekp(-from_end, std::ios::end);
    file.put(char(byte ^ 0x01));
  };

  EVP_PKEY *pkey = nullptr;
  {
    SelfTestKeyScope scope(cache);
    pkey = KeptPair();
  }
  RSA *rsa = EVP_PKEY_get1_RSA(pkey);
  fs::remove(signatureFile);
  struct Step {
    const char *name;
    std::function<void()> before;
  } steps[] = {
      {"first signature: made by OpenSSL and kept", [] {}},
      {"kept signature", [] {}},
      {"kept signature's last byte flipped", [&] { corrupt(1); }},
      {"kept digest flipped", [&] { corrupt(256 + 1); }},
      {"kept file truncated", [&] { fs::resize_file(signatureFile, 10); }},
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(step.name);
    SelfTestKeyScope scope(cache); // one power-on each
    step.before();
    Bytes signature = sign(rsa);
    EXPECT_TRUE(verifies(rsa, signature));
    EXPECT_TRUE(fs::exists(signatureFile));
  }
  RSA_free(rsa);
  EVP_PKEY_free(pkey);
}

} // namespace
} // namespace sim::tpm
