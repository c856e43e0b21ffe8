#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quirabel {

// SHA-256 through the system's crypto library (in a module, opened on first use), for the
// checksums of serial runs and mails.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Add(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the hash is spent afterwards.
  std::string HexDigest();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

std::string Sha256Hex(std::string_view bytes);

// Why no hash can be made here, as a German sentence: the checksum module is missing or broken
// (a Sha256 throws it as a UserError). Empty when it is ready; opens it on the first call. Work
// that hashes on threads of its own asks first, since an exception must not end such a thread.
std::string Sha256Problem();

}  // namespace quirabel
