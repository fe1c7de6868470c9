#include "xml/digest.h"

#include <openssl/evp.h>

#include <new>

namespace ccdcrc {

struct Sha256::Context {
  EVP_MD_CTX* context = nullptr;
  ~Context() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->context = EVP_MD_CTX_new();
  if (!context_->context || EVP_DigestInit_ex(context_->context, EVP_sha256(), nullptr) != 1) throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view bytes) {
  if (EVP_DigestUpdate(context_->context, bytes.data(), bytes.size()) != 1) throw std::bad_alloc();
  size_ += bytes.size();
}

std::string Sha256::hex_digest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context_->context, digest, &size) != 1) throw std::bad_alloc();
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < size; ++i) {
    text += digits[digest[i] >> 4];
    text += digits[digest[i] & 0x0F];
  }
  return text;
}

}  // namespace ccdcrc
