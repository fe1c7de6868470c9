// SHA-256 in the page, by libmd (built for WebAssembly from Debian's source):
// the same digest as OpenSSL's, in plain C that allocates nothing.
#include <sha2.h>

#include <array>
#include <cstdint>

#include "system/digest.h"
#include "util/text.h"

namespace ccdcrc {

struct Sha256::Context {
  SHA2_CTX state{};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { SHA256Init(&context_->state); }

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  SHA256Update(&context_->state, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  size_ += bytes.size();
}

std::string Sha256::hex_digest() {
  std::array<std::uint8_t, SHA256_DIGEST_LENGTH> digest{};
  SHA256Final(digest.data(), &context_->state);
  return lower_hex(digest.data(), digest.size());
}

}  // namespace ccdcrc
