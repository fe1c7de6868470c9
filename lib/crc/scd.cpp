#include "crc/scd.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

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
    default: return {LoadProblem::Kind::read_error, std::strerror(error), 0, 0};
  }
}

// Checks what the parser cannot tell apart: a missing file, a directory, an
// unreadable or an empty file.
std::optional<LoadProblem> check_file(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return problem_from_errno(errno);
  if (S_ISDIR(info.st_mode)) return LoadProblem{LoadProblem::Kind::is_directory, "is a directory, not a file", 0, 0};
  std::ifstream probe(path, std::ios::binary);
  if (!probe) return problem_from_errno(errno ? errno : EACCES);
  if (probe.peek() == std::ifstream::traits_type::eof()) return LoadProblem{LoadProblem::Kind::empty, "the file is empty", 0, 0};
  return std::nullopt;
}

// Line and column of a byte offset into the file.
TextPosition locate(const std::string& path, std::ptrdiff_t offset) {
  TextPosition position;
  std::ifstream file(path, std::ios::binary);
  if (!file || offset < 0) return position;
  position = {1, 1};
  char c;
  for (std::ptrdiff_t i = 0; i < offset && file.get(c); ++i) {
    if (c == '\n') {
      ++position.line;
      position.column = 1;
    } else {
      ++position.column;
    }
  }
  return position;
}

}  // namespace

std::unique_ptr<Scd> Scd::load(const std::string& path, LoadProblem* problem, LookupMode mode,
                               unsigned parse_options) {
  // A directory opens like a file and reports an absurd size, which the parser
  // would try to allocate; it is turned away before parsing.
  if (struct stat info {}; ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    if (problem) *problem = *check_file(path);
    return nullptr;
  }
  std::unique_ptr<Scd> scd(new Scd());
  scd->path_ = path;
  pugi::xml_parse_result result = scd->document_.load_file(path.c_str(), parse_options, pugi::encoding_auto);
  if (result.status != pugi::status_ok) {
    if (problem) {
      if (std::optional<LoadProblem> file_problem = check_file(path)) {
        *problem = *file_problem;
      } else if (result.status == pugi::status_out_of_memory) {
        *problem = {LoadProblem::Kind::out_of_memory, "not enough memory to load the file", 0, 0};
      } else if (result.status == pugi::status_io_error || result.status == pugi::status_file_not_found) {
        *problem = {LoadProblem::Kind::read_error, "the file could not be read", 0, 0};
      } else {
        *problem = {LoadProblem::Kind::malformed, std::string("not well-formed XML: ") + result.description(), 0, 0};
        const TextPosition position = locate(path, result.offset);
        problem->line = position.line;
        problem->column = position.column;
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
  return locate(path_, offset);
}

std::vector<pugi::xml_node> Scd::ieds() const { return child_elements(root(), "IED"); }

}  // namespace ccdcrc
