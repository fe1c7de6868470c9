#pragma once
// What the fuzz targets share: how a broken invariant ends the run (libFuzzer
// keeps the input that broke it), and where inputs that must be files go.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace ccdcrc::fuzzing {

[[noreturn]] inline void broken(const std::string& what) {
  std::fprintf(stderr, "\n*** broken: %s\n", what.c_str());
  std::abort();
}

inline void require(bool condition, const std::string& what) {
  if (!condition) broken(what);
}

// The folder for scratch files: $CCDCRC_FUZZ_SCRATCH, else a RAM disk when
// there is one, else the temporary folder.
inline std::string scratch_folder() {
  namespace fs = std::filesystem;
  const char* base = std::getenv("CCDCRC_FUZZ_SCRATCH");
  if (base) return base;
  return fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
}

// Replaces the file at `path` by the fuzzer's bytes.
inline void write_input(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) broken("cannot write the input file " + path);
}

}  // namespace ccdcrc::fuzzing
