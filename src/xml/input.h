#pragma once
// An input as the user names it, read whole into memory for a parser: a path
// or "-" for standard input; a regular file, a pipe or a FIFO; plain,
// gzip-compressed or a zip archive, told apart by their first bytes.
//
// Nothing is waited for that may never come: a FIFO is opened without waiting
// for a writer and read while a program writes to it (one that no program has
// opened for writing is empty), and devices (which could never end) are
// refused. Memory grows with what is
// read: a pipe or a decompressed member takes its own size and no more.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xml/load_problem.h"
#include "xml/packing.h"
#include "xml/source_text.h"

namespace ccdcrc {

struct InputOptions {
  // Pipes and FIFOs given as a path are read; standard input is read whatever it is.
  bool pipes = true;
  // gzip and zip are decompressed; otherwise their bytes are the input.
  bool unpack = true;
  // The zip member to read; empty: the archive's one SCL file.
  std::string member;
  // The most bytes taken (after decompression).
  std::size_t limit = SIZE_MAX;
  // The SHA-256 of the bytes as given (of the compressed file, as `sha256sum` sees it).
  bool sha256 = false;
  // "-" stands for standard input; otherwise it is a file of that name.
  bool standard_input = true;
};

struct Input {
  SourceText text;
  Packing packing = Packing::none;
  std::string member;       // the zip member read
  std::string sha256;       // lower-case hexadecimal, when asked for
  std::uintmax_t size = 0;  // bytes as given (before decompression), with the SHA-256
};

// The name that stands for standard input.
inline bool is_standard_input(const std::string& path) { return path == "-"; }

// Reads an input whole; false with `problem` filled when it cannot be read.
// A file is read into the memory of the text that `input` holds, when that is
// large enough (a caller reading many files keeps one text's pages).
bool read_input(const std::string& path, const InputOptions& options, Input& input, LoadProblem& problem);

// The same for the bytes of an input held in memory.
bool read_input_bytes(std::string_view bytes, const InputOptions& options, Input& input, LoadProblem& problem);

// The same for bytes already read into a text of their own, which the input
// takes without a copy (or unpacks).
bool read_input_text(SourceText bytes, const InputOptions& options, Input& input, LoadProblem& problem);

}  // namespace ccdcrc
