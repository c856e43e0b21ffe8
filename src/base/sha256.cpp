#include "base/sha256.h"

#include <stdexcept>

#include "base/module.h"
#include "base/sha256_module.h"
#include "base/user_error.h"

namespace quirabel {

struct Sha256::Context {
  const Sha256Module* module = nullptr;
  void* hash = nullptr;
  ~Context() {
    if (hash != nullptr) module->free(hash);
  }
};

namespace {

const ModuleTable<Sha256Module>& Loaded() {
  static const ModuleTable<Sha256Module> loaded =
      OpenModuleTable<Sha256Module>(kSha256ModuleFile, kSha256ModuleEntry, kSha256ModuleAbi);
  return loaded;
}

const Sha256Module& Module() {
  if (Loaded().table == nullptr) throw UserError(Sha256Problem());
  return *Loaded().table;
}

}  // namespace

std::string Sha256Problem() {
  const ModuleTable<Sha256Module>& loaded = Loaded();
  return loaded.table != nullptr ? std::string()
                                 : "Prüfsummen gehen nicht: " + loaded.problem + ".";
}

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->module = &Module();
  context_->hash = context_->module->begin();
  if (context_->hash == nullptr) throw std::runtime_error("SHA-256 is not available");
}

Sha256::Sha256(std::unique_ptr<Context> context) : context_(std::move(context)) {}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

Sha256 Sha256::Copy() const {
  auto context = std::make_unique<Context>();
  context->module = context_->module;
  context->hash = context_->module->copy(context_->hash);
  if (context->hash == nullptr) throw std::runtime_error("SHA-256 copy failed");
  return Sha256(std::move(context));
}

void Sha256::Add(std::string_view bytes) {
  if (!context_->module->add(context_->hash, bytes.data(), bytes.size()))
    throw std::runtime_error("SHA-256 update failed");
}

std::string Sha256::HexDigest() {
  unsigned char digest[64];
  unsigned int length = 0;
  if (!context_->module->finish(context_->hash, digest, &length) || length > sizeof digest)
    throw std::runtime_error("SHA-256 final failed");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string PrefixSha256::HexDigest(std::span<const std::string_view> pieces) {
  if (pieces.size() < 3) {
    Sha256 hash;
    for (std::string_view piece : pieces) hash.Add(piece);
    return hash.HexDigest();
  }
  const std::string_view head = pieces[0];
  const std::string_view shared = pieces[1];
  const auto same = [&](const Kept& kept) {
    const std::string_view prefix = kept.prefix;
    return kept.afterPrefix && prefix.size() == head.size() + shared.size() &&
           prefix.substr(0, head.size()) == head && prefix.substr(head.size()) == shared;
  };
  const Kept* found = same(kept_[0]) ? &kept_[0] : same(kept_[1]) ? &kept_[1] : nullptr;
  if (found == nullptr) {
    Kept& replaced = kept_[older_];
    older_ = 1 - older_;
    replaced.afterPrefix.reset();
    auto start = std::make_unique<Sha256>();
    start->Add(head);
    start->Add(shared);
    replaced.prefix.assign(head);
    replaced.prefix.append(shared);
    replaced.afterPrefix = std::move(start);
    found = &replaced;
  }
  Sha256 hash = found->afterPrefix->Copy();
  for (std::string_view piece : pieces.subspan(2)) hash.Add(piece);
  return hash.HexDigest();
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Add(bytes);
  return hash.HexDigest();
}

}  // namespace quirabel
