#pragma once
// The bytes of an input, read whole into memory of their own and followed by
// a zero byte, so that an XML parser may work on them where they lie.

#include <cstddef>
#include <string>
#include <string_view>

namespace ccdcrc {

// A place in a text: 1-based line and column (in bytes); 0 when unknown.
struct TextPosition {
  std::size_t line = 0;
  std::size_t column = 0;
};

// "PATH", or "PATH:LINE:COLUMN" when the position is known: where a message
// points. Every front end names a place in a text this way.
std::string location(const std::string& path, const TextPosition& position);

// The line and column of a byte offset into a text (one past its end: at its
// end); unknown for a negative offset.
TextPosition position_in(std::string_view text, std::ptrdiff_t offset);

class SourceText {
 public:
  SourceText() = default;
  ~SourceText();
  SourceText(SourceText&& other) noexcept;
  SourceText& operator=(SourceText&& other) noexcept;
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  // read, assign and resize take the place of what is held, in the memory
  // held when it is large enough (its pages are in place already).
  // Reads up to `size` bytes from an open file; a file that shrinks meanwhile
  // is taken as far as it goes. False (errno set) when memory or reading fails.
  bool read(int fd, std::size_t size);
  // Copies bytes held elsewhere. False when there is not enough memory.
  bool assign(std::string_view bytes);
  // Holds `size` bytes that the caller then writes at data() (a zero byte
  // follows them): for bytes that arrive in parts from elsewhere, written
  // where they are parsed. False when there is not enough memory.
  bool resize(std::size_t size);
  // Appends bytes, growing the memory as needed: for inputs whose size is
  // not known beforehand (pipes, decompressed data). False (errno set) when
  // there is not enough memory.
  bool append(std::string_view bytes);
  // Makes room for at least `size` bytes in all, keeping what is held. The
  // pages are provided as they are first written, so room that stays unused
  // costs no memory.
  bool reserve(std::size_t size);
  // Reads once from `fd` into room for up to `most` more bytes: the count
  // read, 0 at the end of the input, -1 (errno set) on failure.
  long read_some(int fd, std::size_t most);
  void release();

  char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_, size_}; }

 private:
  bool allocate(std::size_t size);
  bool grow(std::size_t size);

  char* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

}  // namespace ccdcrc
