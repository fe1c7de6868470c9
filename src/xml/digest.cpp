// OpenSSL's one-shot SHA-256 functions: unlike the EVP interface, they
// allocate nothing and need no provider set up on first use, so a digest
// cannot fail (or crash inside OpenSSL) when memory runs out.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "xml/digest.h"

#include <openssl/sha.h>

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
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256_Final(digest, &context_->state);
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(std::size_t{2} * SHA256_DIGEST_LENGTH);
  for (const unsigned char byte : digest) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

}  // namespace ccdcrc
