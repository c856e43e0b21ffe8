#include "base/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace quirabel {

struct Sha256::Context {
  EVP_MD_CTX* md = nullptr;
  ~Context() { EVP_MD_CTX_free(md); }
};

namespace {

// Looking the algorithm up costs as much as hashing a few kilobytes; once per process is enough.
const EVP_MD* Sha256Digest() {
  static EVP_MD* const digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return digest;
}

}  // namespace

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->md = EVP_MD_CTX_new();
  const EVP_MD* digest = Sha256Digest();
  if (context_->md == nullptr || digest == nullptr ||
      EVP_DigestInit_ex(context_->md, digest, nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
}

Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) {
  if (EVP_DigestUpdate(context_->md, bytes.data(), bytes.size()) != 1) {
    throw std::runtime_error("SHA-256 update failed");
  }
}

std::string Sha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_->md, digest, &length) != 1) {
    throw std::runtime_error("SHA-256 final failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Add(bytes);
  return hash.HexDigest();
}

}  // namespace quirabel
