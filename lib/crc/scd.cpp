#include "crc/scd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>

#include <ext/stdio_filebuf.h>
#include <fcntl.h>
#include <sys/mman.h>
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

// Smaller files are left to pugixml: for them reading in place gains
// nothing, and only past the bytes pugixml looks at to tell the encoding can
// the zero byte appended to the file not change what it tells.
constexpr std::size_t smallest_parsed_in_place = 64 * 1024;

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

FileText::~FileText() { release(); }

bool FileText::read(int fd, std::size_t size) {
  // Mapped with its pages in place: faulting in a large file's buffer page by
  // page costs more than the kernel's filling them in one go.
  void* memory = ::mmap(nullptr, size + 1, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory == MAP_FAILED) return false;
  data_ = static_cast<char*>(memory);
  capacity_ = size + 1;
  // A file that shrinks meanwhile is parsed as far as it goes; growth is ignored.
  while (size_ < size) {
    const ssize_t got = ::read(fd, data_ + size_, size - size_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      release();
      errno = error;
      return false;
    }
    if (got == 0) break;
    size_ += static_cast<std::size_t>(got);
  }
  data_[size_] = '\0';
  return true;
}

void FileText::release() {
  if (data_) ::munmap(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
}

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
  const pugi::xml_parse_result result = scd->parse(file.get(), static_cast<std::size_t>(info.st_size), parse_options);
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

pugi::xml_parse_result Scd::parse(int fd, std::size_t size, unsigned parse_options) {
  // Most SCDs are UTF-8: such a file is parsed where it was read, followed by
  // a zero byte, exactly as pugixml parses a file it reads itself.
  if (size >= smallest_parsed_in_place && text_.read(fd, size)) {
    pugi::xml_parse_result result =
        document_.load_buffer_inplace(text_.data(), text_.size() + 1, parse_options, pugi::encoding_auto);
    if (result.encoding == pugi::encoding_utf8) return result;
    document_.reset();
    text_.release();
  }
  // Anything else is read by pugixml from the file: a copy of the descriptor
  // rewound, so that this is the file that was opened and checked.
  const int stream_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (stream_fd < 0 || ::lseek(stream_fd, 0, SEEK_SET) != 0) {
    if (stream_fd >= 0) ::close(stream_fd);
    pugi::xml_parse_result failed;
    failed.status = pugi::status_io_error;
    return failed;
  }
  __gnu_cxx::stdio_filebuf<char> buffer(stream_fd, std::ios::in | std::ios::binary);
  std::istream stream(&buffer);
  return document_.load(stream, parse_options, pugi::encoding_auto);
}

TextPosition Scd::position(pugi::xml_node node) const {
  std::ptrdiff_t offset = node.offset_debug();
  if (offset > 0 && node.type() == pugi::node_element) --offset;  // the "<" before the name
  Descriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  return file.get() < 0 ? TextPosition{} : locate(file.get(), offset);
}

std::vector<pugi::xml_node> Scd::ieds() const { return child_elements(root(), "IED"); }

}  // namespace ccdcrc
