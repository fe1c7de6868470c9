// SHA-256 by OpenSSL's one-shot functions: unlike the EVP interface, they
// allocate nothing and need no provider set up on first use, so a digest
// cannot fail (or crash inside OpenSSL) when memory runs out.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <array>

#include "system/digest.h"
#include "util/text.h"

namespace ccdcrc {

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
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256_Final(digest.data(), &context_->state);
  return lower_hex(digest.data(), digest.size());
}

}  // namespace ccdcrc
