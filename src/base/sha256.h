#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
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
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;

  // A hash that goes on from what this one has taken so far; this one stays as it is. Bytes
  // that begin many files are hashed once so.
  Sha256 Copy() const;

  void Add(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the hash is spent afterwards.
  std::string HexDigest();

 private:
  struct Context;
  explicit Sha256(std::unique_ptr<Context> context);
  std::unique_ptr<Context> context_;
};

std::string Sha256Hex(std::string_view bytes);

// SHA-256 of files given as pieces, one after the other, of which the second is a large stream's
// bytes (see TPdfDoc::SaveToPieces): the hash after the first two pieces is kept, and a file that
// begins with the same bytes goes on from it, hashing only its own. A file of a series so costs
// a comparison of the shared bytes instead of their hash; every digest is that of the whole file.
// Two beginnings are kept: files of a series may say two versions of PDF.
class PrefixSha256 {
 public:
  std::string HexDigest(std::span<const std::string_view> pieces);

 private:
  struct Kept {
    std::string prefix;
    std::unique_ptr<Sha256> afterPrefix;
  };
  std::array<Kept, 2> kept_;
  std::size_t older_ = 0;
};

// Why no hash can be made here, as a German sentence: the checksum module is missing or broken
// (a Sha256 throws it as a UserError). Empty when it is ready; opens it on the first call. Work
// that hashes on threads of its own asks first, since an exception must not end such a thread.
std::string Sha256Problem();

}  // namespace quirabel
