// The checksum module: SHA-256 through the system's crypto library, behind the table in
// base/sha256_module.h.
#include "base/sha256_module.h"

#include <openssl/evp.h>

namespace quirabel {

namespace {

// Looking the algorithm up costs as much as hashing a few kilobytes; once per process is enough.
const EVP_MD* Sha256Digest() {
  static EVP_MD* const digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return digest;
}

void* Begin() {
  EVP_MD_CTX* hash = EVP_MD_CTX_new();
  const EVP_MD* digest = Sha256Digest();
  if (hash == nullptr || digest == nullptr || EVP_DigestInit_ex(hash, digest, nullptr) != 1) {
    EVP_MD_CTX_free(hash);
    return nullptr;
  }
  return hash;
}

bool Add(void* hash, const void* bytes, std::size_t size) {
  return EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(hash), bytes, size) == 1;
}

bool Finish(void* hash, unsigned char* digest, unsigned int* length) {
  static_assert(EVP_MAX_MD_SIZE <= 64);
  return EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(hash), digest, length) == 1;
}

void Free(void* hash) { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(hash)); }

void* Copy(const void* hash) {
  EVP_MD_CTX* copy = EVP_MD_CTX_new();
  if (copy == nullptr || EVP_MD_CTX_copy_ex(copy, static_cast<const EVP_MD_CTX*>(hash)) != 1) {
    EVP_MD_CTX_free(copy);
    return nullptr;
  }
  return copy;
}

constexpr Sha256Module kModule{kSha256ModuleAbi, &Begin, &Add, &Finish, &Free, &Copy};

}  // namespace

}  // namespace quirabel

extern "C" __attribute__((visibility("default"))) const quirabel::Sha256Module*
quirabel_sha256_module() {
  return &quirabel::kModule;
}
