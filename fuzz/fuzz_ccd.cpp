// Fuzz target: bytes of a CCD file through `verify`'s reader. Whatever the
// bytes, the reader ends, says why a file is unreadable, and calls a file
// `ok` exactly when its content gives the CRC that its CRC element carries;
// and whatever gives a CRC gives the same CRC when read again.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "operations/verification.h"

namespace {

using namespace ccdcrc;
using fuzzing::require;

// The file the bytes are written to.
std::string input_path() {
  return fuzzing::scratch_folder() + "/ccdcrc-fuzz-ccd-" + std::to_string(::getpid()) + ".ccd";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = input_path();
  fuzzing::write_input(path, data, size);
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
