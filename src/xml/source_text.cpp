#include "xml/source_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "system/files.h"
#include "system/memory.h"

namespace ccdcrc {

std::string location(const std::string& path, const TextPosition& position) {
  if (position.line == 0) return path;
  return path + ":" + std::to_string(position.line) + ":" + std::to_string(position.column);
}

TextPosition position_in(std::string_view text, std::ptrdiff_t offset) {
  if (offset < 0) return {};
  // pugixml places an error at the end of a text one byte past it.
  const std::string_view before = text.substr(0, std::min(static_cast<std::size_t>(offset), text.size()));
  const std::size_t line_start = before.rfind('\n');
  const std::size_t lines = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t column = line_start == std::string_view::npos ? before.size() : before.size() - line_start - 1;
  return {lines + 1, column + 1};
}

SourceText::~SourceText() { release(); }

SourceText::SourceText(SourceText&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)) {}

SourceText& SourceText::operator=(SourceText&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool SourceText::allocate(std::size_t size) {
  // Memory held already is used again: its pages are in place.
  if (data_ && size + 1 <= capacity_) {
    size_ = 0;
    data_[0] = '\0';
    return true;
  }
  release();
  // Mapped with its pages in place: faulting in a large file's buffer page by
  // page costs more than the kernel's filling them in one go.
  char* const memory = map_memory(size + 1, true);
  if (!memory) {
    errno = ENOMEM;
    return false;
  }
  data_ = memory;
  capacity_ = size + 1;
  data_[0] = '\0';
  return true;
}

bool SourceText::read(int fd, std::size_t size) {
  if (!allocate(size)) return false;
  while (size_ < size) {
    const long got = read_from(fd, data_ + size_, size - size_);
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

bool SourceText::assign(std::string_view bytes) {
  if (!allocate(bytes.size())) return false;
  std::memcpy(data_, bytes.data(), bytes.size());
  size_ = bytes.size();
  data_[size_] = '\0';
  return true;
}

bool SourceText::resize(std::size_t size) {
  if (!allocate(size)) return false;
  size_ = size;
  data_[size_] = '\0';
  return true;
}

bool SourceText::grow(std::size_t size) {
  if (size + 1 <= capacity_) return true;
  // At least doubled, so that appending costs linear time in all.
  const std::size_t capacity = std::max(size + 1, capacity_ * 2);
  char* const memory = data_ ? remap_memory(data_, capacity_, capacity) : map_memory(capacity, false);
  if (!memory) {
    errno = ENOMEM;
    return false;
  }
  data_ = memory;
  capacity_ = capacity;
  data_[size_] = '\0';
  return true;
}

bool SourceText::reserve(std::size_t size) { return grow(size); }

bool SourceText::append(std::string_view bytes) {
  if (bytes.empty()) return true;  // an empty view may point nowhere
  if (bytes.size() > SIZE_MAX / 2 - size_) {
    errno = ENOMEM;
    return false;
  }
  if (!grow(size_ + bytes.size())) return false;
  std::memcpy(data_ + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
  data_[size_] = '\0';
  return true;
}

long SourceText::read_some(int fd, std::size_t most) {
  if (most > SIZE_MAX / 2 - size_) {
    errno = ENOMEM;
    return -1;
  }
  if (!grow(size_ + most)) return -1;
  const long got = read_from(fd, data_ + size_, most);
  if (got <= 0) return got;
  size_ += static_cast<std::size_t>(got);
  data_[size_] = '\0';
  return got;
}

void SourceText::release() {
  if (data_) unmap_memory(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
}

}  // namespace ccdcrc
