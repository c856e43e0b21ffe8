#pragma once

#include <cstddef>

namespace quirabel {

// The checksum module (sha256.so, over the system's crypto library), which Sha256 opens on first
// use: only serial runs and mails need it. A hash is the module's own object.
struct Sha256Module {
  int abi;
  void* (*begin)();  // nullptr when SHA-256 is not available
  bool (*add)(void* hash, const void* bytes, std::size_t size);
  bool (*finish)(void* hash, unsigned char* digest, unsigned int* length);  // room for 64 bytes
  void (*free)(void* hash);
  void* (*copy)(const void* hash);  // the state so far, to go on from twice; nullptr on failure
};

inline constexpr int kSha256ModuleAbi = 2;
inline constexpr char kSha256ModuleFile[] = "sha256.so";
inline constexpr char kSha256ModuleEntry[] = "quirabel_sha256_module";

}  // namespace quirabel
