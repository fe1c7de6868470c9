// SHA-256 by Windows' own CNG: no OpenSSL to carry beside the program.
#include <windows.h>
// BCrypt* (after windows.h, which it needs)
#include <bcrypt.h>

#include <algorithm>
#include <array>

#include "system/digest.h"
#include "util/text.h"

namespace ccdcrc {

struct Sha256::Context {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  Context() {
    if (BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    }
  }
  ~Context() {
    if (hash) ::BCryptDestroyHash(hash);
    if (algorithm) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  size_ += bytes.size();
  while (!bytes.empty()) {
    const std::size_t piece = std::min<std::size_t>(bytes.size(), ULONG{1} << 30);
    ::BCryptHashData(context_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                     static_cast<ULONG>(piece), 0);
    bytes.remove_prefix(piece);
  }
}

std::string Sha256::hex_digest() {
  std::array<unsigned char, 32> digest{};
  ::BCryptFinishHash(context_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
  return lower_hex(digest.data(), digest.size());
}

}  // namespace ccdcrc
