#include "xml/digest.h"

#ifdef _WIN32
// Windows' own SHA-256 (CNG): no OpenSSL to carry beside the program.
#include <windows.h>
// BCrypt* (after windows.h, which it needs)
#include <bcrypt.h>
#else
// OpenSSL's one-shot SHA-256 functions: unlike the EVP interface, they
// allocate nothing and need no provider set up on first use, so a digest
// cannot fail (or crash inside OpenSSL) when memory runs out.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>
#endif

#include <algorithm>
#include <array>

namespace ccdcrc {

namespace {

constexpr std::size_t digest_size = 32;

std::string hex(const std::array<unsigned char, digest_size>& digest) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(std::size_t{2} * digest_size);
  for (const unsigned char byte : digest) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

}  // namespace

#ifdef _WIN32

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
  std::array<unsigned char, digest_size> digest{};
  ::BCryptFinishHash(context_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
  return hex(digest);
}

#else

struct Sha256::Context {
  SHA256_CTX state{};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { SHA256_Init(&context_->state); }

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  SHA256_Update(&context_->state, bytes.data(), bytes.size());
  size_ += bytes.size();
}

std::string Sha256::hex_digest() {
  std::array<unsigned char, digest_size> digest{};
  SHA256_Final(digest.data(), &context_->state);
  return hex(digest);
}

#endif

}  // namespace ccdcrc
