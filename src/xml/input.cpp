#include "xml/input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "system/digest.h"
#include "system/files.h"
#include "util/text.h"
#include "xml/archive.h"

namespace ccdcrc {

namespace {

using Kind = LoadProblem::Kind;

// Pipes are read this much at a time.
constexpr std::size_t stream_chunk = std::size_t{1} << 20;

LoadProblem problem_from_errno(int error) {
  LoadProblem problem;
  problem.system_error = error;
  switch (error) {
    case ENOENT:
    case ENOTDIR: problem.kind = Kind::not_found, problem.message = "no such file"; break;
    case EACCES:
    case EPERM: problem.kind = Kind::permission_denied, problem.message = "permission denied"; break;
    case ENAMETOOLONG: problem.kind = Kind::not_found, problem.message = "the path is too long"; break;
    case ELOOP: problem.kind = Kind::not_found, problem.message = "too many levels of symbolic links"; break;
    case ENOMEM: problem.kind = Kind::out_of_memory, problem.message = "not enough memory to load the file"; break;
    case EISDIR: problem.kind = Kind::not_a_file, problem.message = "is a directory, not a file"; break;
    default:
      problem.kind = Kind::read_error;
      problem.message = std::string("the file could not be read: ") + std::strerror(error);
  }
  return problem;
}

LoadProblem too_large(std::size_t limit) {
  return {Kind::too_large, "it holds more than " + std::to_string(limit) + " bytes", {}};
}

// A descriptor, closed at the end unless it is standard input.
class OpenInput {
 public:
  OpenInput() = default;
  ~OpenInput() {
    if (fd_ >= 0 && !standard_input_) close_descriptor(fd_);
  }
  OpenInput(const OpenInput&) = delete;
  OpenInput& operator=(const OpenInput&) = delete;

  // Opens without waiting for a FIFO's writer; false with `problem` filled
  // when the path names nothing that may be read.
  bool open(const std::string& path, const InputOptions& options, LoadProblem& problem) {
    standard_input_ = options.standard_input && is_standard_input(path);
    fd_ = standard_input_ ? standard_input_descriptor() : open_for_reading(path);
    if (fd_ >= 0) info_ = descriptor_status(fd_);
    if (fd_ < 0 || info_.error != 0) {
      problem = problem_from_errno(fd_ < 0 ? errno : info_.error);
      return false;
    }
    if (info_.kind == FileKind::directory) {
      problem = problem_from_errno(EISDIR);
      return false;
    }
    if (info_.kind == FileKind::regular) return true;
    // A terminal as standard input ends when the user says so; other devices
    // could block or never end.
    const bool device = info_.kind == FileKind::device;
    if (standard_input_ && !(device && !is_terminal(fd_))) return true;
    if (!device && options.pipes) return true;
    problem = {Kind::not_a_file, options.pipes ? "is a device, not a file or a pipe" : "is not a regular file", {}};
    return false;
  }

  int fd() const { return fd_; }
  bool regular() const { return info_.kind == FileKind::regular; }
  std::uint64_t size() const { return info_.size; }

  // A FIFO opened by its path: it stays set not to block, so that a FIFO that
  // no program writes to is found empty rather than waited on.
  bool fifo_path() const { return !standard_input_ && info_.kind == FileKind::fifo; }

 private:
  int fd_ = -1;
  bool standard_input_ = false;
  FileStatus info_;
};

bool out_of_memory(LoadProblem& problem) {
  problem = {Kind::out_of_memory, "not enough memory to load the file", {}};
  return false;
}

void record_digest(std::string_view bytes, Input& input) {
  Sha256 digest;
  digest.update(bytes);
  input.size = digest.size();
  input.sha256 = digest.hex_digest();
}

// Packed bytes, read whole, are unpacked from memory: a path and a pipe give
// the same answer for the same bytes. Plain bytes are the text itself.
bool take_bytes(SourceText& bytes, const InputOptions& options, Input& input, LoadProblem& problem) {
  if (options.sha256) record_digest(bytes.view(), input);
  input.packing = options.unpack ? packing_of(bytes.view()) : Packing::none;
  // Only a zip archive has members: a name given for anything else is a mistake.
  if (input.packing != Packing::zip && !options.member.empty()) {
    problem = {Kind::member_choice, "it is no zip archive, so it has no member " + quoted(options.member), {}};
    return false;
  }
  if (input.packing == Packing::none) {
    if (bytes.size() > options.limit) {
      problem = too_large(options.limit);
      return false;
    }
    input.text = std::move(bytes);
    return true;
  }
  const SourceText packed = std::move(bytes);
  return unpack(packed.view(), input.packing, options, input, problem);
}

bool read_regular(const OpenInput& file, const InputOptions& options, SourceText bytes, Input& input,
                  LoadProblem& problem) {
  const std::uint64_t start = read_position(file.fd());
  const std::uint64_t size = file.size() > start ? file.size() - start : 0;
  if (size > options.limit) {
    problem = too_large(options.limit);
    return false;
  }
  set_blocking(file.fd());
  if (!bytes.read(file.fd(), static_cast<std::size_t>(size))) {
    problem = problem_from_errno(errno);
    return false;
  }
  return take_bytes(bytes, options, input, problem);
}

// The first bytes of a pipe: a FIFO without a writer ends at once, and is
// told apart from one that was written to and closed.
bool read_stream(const OpenInput& file, const InputOptions& options, Input& input, LoadProblem& problem) {
  SourceText bytes;
  for (;;) {
    if (bytes.size() > options.limit) {
      problem = too_large(options.limit);
      return false;
    }
    // One byte past the limit tells that it was passed.
    const std::size_t room = options.limit - bytes.size();
    const long got = bytes.read_some(file.fd(), room < stream_chunk ? room + 1 : stream_chunk);
    if (got == 0) break;
    if (got < 0 && (errno == EINTR || (errno == EAGAIN && wait_readable(file.fd())))) continue;
    if (got < 0) {
      problem = problem_from_errno(errno);
      return false;
    }
  }
  if (bytes.size() == 0 && file.fifo_path()) {
    problem = {Kind::empty, "the FIFO is empty (no program writes to it)", {}};
    return false;
  }
  return take_bytes(bytes, options, input, problem);
}

bool not_empty(const Input& input, bool regular_file, LoadProblem& problem) {
  if (input.text.size() > 0) return true;
  const char* reason = input.packing != Packing::none ? "the decompressed data are empty"
                       : regular_file                 ? "the file is empty"
                                                      : "the input is empty";
  problem = {Kind::empty, reason, {}};
  return false;
}

// Runs `read`, a failed allocation (a buffer, a member name, a message)
// ending as the refusal that memory ran out.
template <typename Read>
bool within_memory(Input& input, LoadProblem& problem, Read read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    input.text.release();
    return out_of_memory(problem);
  }
}

}  // namespace

bool read_input(const std::string& path, const InputOptions& options, Input& input, LoadProblem& problem) {
  return within_memory(input, problem, [&] {
    // The memory of a text held before is read into again.
    SourceText room = std::move(input.text);
    input = Input();
    OpenInput file;
    if (!file.open(path, options, problem)) return false;
    const bool read = file.regular() ? read_regular(file, options, std::move(room), input, problem)
                                     : read_stream(file, options, input, problem);
    if (!read) return false;
    return not_empty(input, file.regular(), problem);
  });
}

bool read_input_bytes(std::string_view bytes, const InputOptions& options, Input& input, LoadProblem& problem) {
  return within_memory(input, problem, [&] {
    input = Input();
    if (bytes.size() > options.limit && packing_of(bytes) == Packing::none) {
      problem = too_large(options.limit);
      return false;
    }
    SourceText copy;
    if (!copy.assign(bytes)) return out_of_memory(problem);
    return take_bytes(copy, options, input, problem) && not_empty(input, false, problem);
  });
}

bool read_input_text(SourceText bytes, const InputOptions& options, Input& input, LoadProblem& problem) {
  return within_memory(input, problem, [&] {
    input = Input();
    return take_bytes(bytes, options, input, problem) && not_empty(input, false, problem);
  });
}

}  // namespace ccdcrc
