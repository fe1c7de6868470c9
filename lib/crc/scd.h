#pragma once
// A loaded SCD: the parsed document and the lookups the CCD builder runs on it.
// Loaded once, then shared by every run on that file.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ccd/lookups.h"

namespace ccdcrc {

// Why an SCD could not be loaded, in words for the user.
struct LoadProblem {
  enum class Kind { not_found, permission_denied, is_directory, not_regular, empty, malformed, read_error, out_of_memory };
  Kind kind = Kind::read_error;
  std::string message;  // without the path
  std::size_t line = 0;    // 1-based, for malformed XML; 0 when unknown
  std::size_t column = 0;  // 1-based, in bytes
};

// A place in a file: 1-based line and column (in bytes); 0 when unknown.
struct TextPosition {
  std::size_t line = 0;
  std::size_t column = 0;
};

// How the builder's lookups are answered: from indexes (the default), or by
// running each defining query on the document (the slow reference).
enum class LookupMode { indexed, queries };

// The bytes of a file, read into memory of their own.
class FileText {
 public:
  FileText() = default;
  ~FileText();
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;
  // Reads up to `size` bytes and a zero byte after them; false (errno set)
  // when memory or reading fails.
  bool read(int fd, std::size_t size);
  void release();
  char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

class Scd {
 public:
  // Loads with the parse options every CRC is defined on (or others, for
  // files that are not SCDs). Returns null and fills `problem` (when given)
  // if the file cannot be loaded. The file is opened once and checked and
  // read through that one descriptor, so a path that is renamed, removed or
  // replaced meanwhile cannot slip in another file.
  static std::unique_ptr<Scd> load(const std::string& path, LoadProblem* problem = nullptr,
                                   LookupMode mode = LookupMode::indexed, unsigned parse_options = pugi::parse_full);

  Scd(const Scd&) = delete;
  Scd& operator=(const Scd&) = delete;

  const std::string& path() const { return path_; }
  pugi::xml_node root() const { return document_.document_element(); }
  const ScdLookups& lookups() const { return *lookups_; }

  // The root's direct IED children, in document order.
  std::vector<pugi::xml_node> ieds() const;

  // Where a node of the document starts in the file (an element at its "<").
  TextPosition position(pugi::xml_node node) const;

  // The first IED of that name under an SCL root, or a null node.
  pugi::xml_node find_ied(const std::string& name) const { return lookups_->ied_by_name(name); }

 private:
  Scd() = default;
  pugi::xml_parse_result parse(int fd, std::size_t size, unsigned parse_options);
  std::string path_;
  FileText text_;  // declared before the document, which points into it
  pugi::xml_document document_;
  std::unique_ptr<ScdLookups> lookups_;
};

}  // namespace ccdcrc
