#include "crc/scd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>

#include <ext/stdio_filebuf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ccd/indexed_lookups.h"
#include "support/nodes.h"

namespace ccdcrc {

namespace {

LoadProblem problem_from_errno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return {LoadProblem::Kind::not_found, "no such file", 0, 0};
    case EACCES:
    case EPERM: return {LoadProblem::Kind::permission_denied, "permission denied", 0, 0};
    case ENAMETOOLONG: return {LoadProblem::Kind::not_found, "the path is too long", 0, 0};
    case ELOOP: return {LoadProblem::Kind::not_found, "too many levels of symbolic links", 0, 0};
    default: return {LoadProblem::Kind::read_error, std::strerror(error), 0, 0};
  }
}

// Owns a file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Line and column (1-based, bytes) of a byte offset into an open file.
TextPosition locate(int fd, std::ptrdiff_t offset) {
  TextPosition place;
  if (offset < 0) return place;
  place = {1, 1};
  char buffer[65536];
  off_t position = 0;
  while (position < offset) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::ptrdiff_t>(offset - position, static_cast<std::ptrdiff_t>(sizeof buffer)));
    const ssize_t got = ::pread(fd, buffer, wanted, position);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') {
        ++place.line;
        place.column = 1;
      } else {
        ++place.column;
      }
    }
    position += got;
  }
  return place;
}

}  // namespace

std::unique_ptr<Scd> Scd::load(const std::string& path, LoadProblem* problem, LookupMode mode,
                               unsigned parse_options) {
  LoadProblem ignored;
  LoadProblem& report = problem ? *problem : ignored;
  // Non-blocking, so that opening a FIFO does not wait for a writer; the
  // descriptor is checked before anything is read from it.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) {
    report = problem_from_errno(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    report = problem_from_errno(errno);
    return nullptr;
  }
  if (S_ISDIR(info.st_mode)) {
    report = {LoadProblem::Kind::is_directory, "is a directory, not a file", 0, 0};
    return nullptr;
  }
  // FIFOs, sockets and devices could block or never end.
  if (!S_ISREG(info.st_mode)) {
    report = {LoadProblem::Kind::not_regular, "is not a regular file", 0, 0};
    return nullptr;
  }
  if (info.st_size == 0) {
    report = {LoadProblem::Kind::empty, "the file is empty", 0, 0};
    return nullptr;
  }
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags >= 0) ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);

  std::unique_ptr<Scd> scd(new Scd());
  scd->path_ = path;
  // The descriptor stays open for locating a syntax error; the stream reads a duplicate.
  const int stream_fd = ::fcntl(file.get(), F_DUPFD_CLOEXEC, 0);
  if (stream_fd < 0) {
    report = problem_from_errno(errno);
    return nullptr;
  }
  pugi::xml_parse_result result;
  {
    // pugixml reads the stream exactly as it reads a file of that name.
    __gnu_cxx::stdio_filebuf<char> buffer(stream_fd, std::ios::in | std::ios::binary);
    std::istream stream(&buffer);
    result = scd->document_.load(stream, parse_options, pugi::encoding_auto);
  }
  if (result.status != pugi::status_ok) {
    if (result.status == pugi::status_out_of_memory) {
      report = {LoadProblem::Kind::out_of_memory, "not enough memory to load the file", 0, 0};
    } else if (result.status == pugi::status_io_error || result.status == pugi::status_file_not_found) {
      report = {LoadProblem::Kind::read_error, "the file could not be read", 0, 0};
    } else {
      report = {LoadProblem::Kind::malformed, std::string("not well-formed XML: ") + result.description(), 0, 0};
      // The offset counts bytes after decoding to UTF-8: bytes of the file only when it is UTF-8.
      if (result.encoding == pugi::encoding_utf8) {
        const TextPosition place = locate(file.get(), result.offset);
        report.line = place.line;
        report.column = place.column;
      }
    }
    return nullptr;
  }
  if (mode == LookupMode::indexed) {
    scd->lookups_ = std::make_unique<IndexedLookups>(scd->root());
  } else {
    scd->lookups_ = std::make_unique<QueryLookups>(scd->root());
  }
  return scd;
}

TextPosition Scd::position(pugi::xml_node node) const {
  std::ptrdiff_t offset = node.offset_debug();
  if (offset > 0 && node.type() == pugi::node_element) --offset;  // the "<" before the name
  Descriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  return file.get() < 0 ? TextPosition{} : locate(file.get(), offset);
}

std::vector<pugi::xml_node> Scd::ieds() const { return child_elements(root(), "IED"); }

}  // namespace ccdcrc
