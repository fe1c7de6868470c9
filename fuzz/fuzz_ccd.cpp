// Fuzz target: bytes of a CCD file through `verify`'s reader. Whatever the
// bytes, the reader ends, says why a file is unreadable, and calls a file
// `ok` exactly when its content gives the CRC that its CRC element carries;
// and whatever gives a CRC gives the same CRC when read again.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "operations/verification.h"

namespace {

namespace fs = std::filesystem;
using namespace ccdcrc;

[[noreturn]] void broken(const std::string& what) {
  std::fprintf(stderr, "\n*** broken: %s\n", what.c_str());
  std::abort();
}

void require(bool condition, const std::string& what) {
  if (!condition) broken(what);
}

// The file the bytes are written to, on a RAM disk when there is one.
std::string input_path() {
  const char* base = std::getenv("CCDCRC_FUZZ_SCRATCH");
  const std::string folder =
      base ? base : (fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string());
  return folder + "/ccdcrc-fuzz-ccd-" + std::to_string(::getpid()) + ".ccd";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = input_path();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) broken("cannot write the input file");
  }
  const CcdFileCheck check = check_ccd_file(path);
  switch (check.status) {
    case CcdFileStatus::unreadable: require(!check.problem.empty(), "an unreadable file without a reason"); break;
    case CcdFileStatus::ok: require(check.content_crc == check.file_crc, "ok, but the CRCs differ"); break;
    case CcdFileStatus::modified: require(check.content_crc != check.file_crc, "modified, but the CRCs agree"); break;
  }
  if (check.status != CcdFileStatus::unreadable) {
    require(is_crc_text(check.content_crc), "a content CRC that is no CRC text");
    require(check_ccd_file(path).content_crc == check.content_crc, "the same file gives another CRC");
  }
  return 0;
}
