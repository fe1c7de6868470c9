// Fuzz target: the bytes of an input read three ways (from memory, from a
// file by its path, and as standard input fed through a pipe) with the
// options the program uses, once choosing the member and once naming one.
//
// The three must give the same text, packing, member, SHA-256 and size, or
// the same refusal; any difference aborts, and libFuzzer keeps the input.

#include <unistd.h>

#include <array>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "xml/input.h"

namespace {

using namespace ccdcrc;
using fuzzing::broken;
using fuzzing::require;

// What one reading gave: the input, or the refusal.
struct Reading {
  bool read = false;
  Input input;
  LoadProblem problem;
};

std::string describe(const Reading& reading) {
  if (!reading.read) {
    return "refused (kind " + std::to_string(static_cast<int>(reading.problem.kind)) + "): " + reading.problem.message;
  }
  const Input& input = reading.input;
  return "read " + std::to_string(input.text.size()) + " bytes, packing " +
         std::to_string(static_cast<int>(input.packing)) + ", member '" + input.member + "', size " +
         std::to_string(input.size) + ", sha256 " + input.sha256;
}

// Standard input fed with `bytes` by a thread through a pipe, for the life of
// the object; the process's own standard input comes back afterwards.
class PipedStandardInput {
 public:
  explicit PipedStandardInput(std::string_view bytes) {
    std::array<int, 2> ends{};
    saved_ = ::dup(STDIN_FILENO);
    if (saved_ < 0 || ::pipe(ends.data()) != 0 || ::dup2(ends[0], STDIN_FILENO) < 0) broken("cannot set up the pipe");
    ::close(ends[0]);
    writer_ = std::thread([bytes, fd = ends[1]] {
      std::size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) break;  // the reader stopped early
        done += static_cast<std::size_t>(wrote);
      }
      ::close(fd);
    });
  }
  ~PipedStandardInput() {
    // The pipe's last reading end closes here, so that a writer still
    // waiting gives up.
    ::dup2(saved_, STDIN_FILENO);
    ::close(saved_);
    writer_.join();
  }
  PipedStandardInput(const PipedStandardInput&) = delete;
  PipedStandardInput& operator=(const PipedStandardInput&) = delete;

 private:
  int saved_ = -1;
  std::thread writer_;
};

// The scratch file, removed at the end.
class ScratchFile {
 public:
  ScratchFile() {
    std::string pattern = fuzzing::scratch_folder() + "/ccdcrc-fuzz-input-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) broken("cannot create a scratch file");
    ::close(fd);
    path_ = pattern;
  }
  ~ScratchFile() { ::unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void require_same(const Reading& bytes, const Reading& other, const std::string& way) {
  const std::string difference = "memory and " + way + " differ: " + describe(bytes) + " / " + describe(other);
  require(bytes.read == other.read, difference);
  if (!bytes.read) {
    require(bytes.problem.kind == other.problem.kind, difference);
    require(bytes.problem.members == other.problem.members, difference);
    // An empty plain input is named for what it is.
    const bool empty_file = way == "path" && bytes.problem.message == "the input is empty";
    require(other.problem.message == (empty_file ? "the file is empty" : bytes.problem.message), difference);
    return;
  }
  const Input& a = bytes.input;
  const Input& b = other.input;
  require(a.text.view() == b.text.view() && a.packing == b.packing && a.member == b.member && a.sha256 == b.sha256 &&
              a.size == b.size,
          difference);
}

void check_reading(const Reading& reading, std::size_t size, const std::string& way) {
  if (!reading.read) {
    require(!reading.problem.message.empty(), way + ": a refusal without a reason");
    return;
  }
  const Input& input = reading.input;
  require(input.size == size, way + ": another size than the bytes given");
  require(input.sha256.size() == 64, way + ": no SHA-256");
  require(input.text.size() > 0, way + ": an empty input was read");
  require(input.text.data()[input.text.size()] == '\0', way + ": the text does not end with a zero byte");
  require((input.packing == Packing::zip) != input.member.empty(), way + ": a member without a zip archive");
}

void read_three_ways(std::string_view bytes, const std::string& path, const InputOptions& options) {
  Reading memory;
  memory.read = read_input_bytes(bytes, options, memory.input, memory.problem);
  check_reading(memory, bytes.size(), "memory");

  Reading file;
  file.read = read_input(path, options, file.input, file.problem);
  check_reading(file, bytes.size(), "path");
  require_same(memory, file, "path");

  Reading piped;
  {
    const PipedStandardInput standard_input(bytes);
    piped.read = read_input("-", options, piped.input, piped.problem);
  }
  check_reading(piped, bytes.size(), "pipe");
  require_same(memory, piped, "pipe");

  if (!options.member.empty() && memory.read) {
    require(memory.input.member == options.member, "another member than the one named was read");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScratchFile scratch;
  // A writer whose reader stopped early gets an error, not the signal.
  static const bool pipe_signal_ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)pipe_signal_ignored;
  static const std::vector<std::string> members{"station.scd", "second.scd", "__MACOSX/._station.scd", "a/b.SCD"};

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fuzzing::write_input(scratch.path(), data, size);

  InputOptions options;
  options.limit = std::size_t{64} << 20;
  options.sha256 = true;
  read_three_ways(bytes, scratch.path(), options);

  options.member = members[size % members.size()];
  read_three_ways(bytes, scratch.path(), options);
  return 0;
}
