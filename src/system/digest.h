#pragma once
// The SHA-256 of an input's bytes, as `sha256sum` prints it, computed as the
// bytes pass: by OpenSSL (digest_openssl.cpp), on Windows by CNG
// (digest_cng.cpp) or in the page by libmd (digest_libmd.cpp), as CMake
// chooses.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ccdcrc {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(std::string_view bytes);
  // How many bytes were digested.
  std::uintmax_t size() const { return size_; }
  // 64 lower-case hexadecimal digits; ends the computation.
  std::string hex_digest();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  std::uintmax_t size_ = 0;
};

}  // namespace ccdcrc
