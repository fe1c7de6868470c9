#pragma once
// An SCD as a front end takes it: a path, "-" for standard input, or bytes
// in memory; plain, gzip or a zip member. Read whole, parsed, and refused
// when its root is not SCL; with what was learnt of the file (its size and
// SHA-256, the member read). Every front end loads an SCD this way.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "operations/loading.h"
#include "scd/scd.h"
#include "xml/input.h"

namespace ccdcrc {

// Why an SCD could not be loaded.
struct ScdInputFailure {
  // read_in_part: loaded, but content of the file is ignored (Scd::ignored_content).
  enum class Kind { input, xml, not_scl, read_in_part };
  Kind kind = Kind::input;
  std::string name;       // the path, or "PATH(MEMBER)" for a zip member
  TextPosition position;  // of malformed XML, when known
  std::string message;    // in words, without the name
  InputProblem input;     // kind input: the reader's own account
  LoadProblem xml;        // kind xml: the parser's own account
  // "NAME" or "NAME:LINE:COLUMN", where the message points.
  std::string where() const { return location(name, position); }

  static ScdInputFailure malformed(const std::string& name, const LoadProblem& problem);
  static ScdInputFailure not_an_scd(const std::string& name, const std::string& message);
};

// An SCD whose content is read only in part answers for no approval: the
// failure that says so (`name` stands for the file), or nullopt for an SCD
// read whole. A command that answers for an approval fails with it; a front
// end that only shows CRCs refuses the SCD with it.
std::optional<ScdInputFailure> read_in_part(const Scd& scd, const std::string& name);

// Told the size of the text before it is parsed (the program provides the
// memory a parse of that size needs).
using BeforeParse = std::function<void(std::size_t)>;

// "PATH", or "PATH(MEMBER)" for a zip member: what places in its text name.
std::string text_name(const std::string& path, const ScdFile& file);

// Loads an SCD from a path ("-": standard input); the SCD's path is `path`
// even for a zip member. Null, with `failure`, when
// it cannot be read, is no well-formed XML or has a root other than SCL.
std::unique_ptr<Scd> load_scd_input(const std::string& path, const ScdReading& reading, ScdFile* file,
                                    ScdInputFailure& failure, const BeforeParse& before_parse = {});

// Parses an input already read (xml/input.h) as load_scd_input does; `path`
// names it.
std::unique_ptr<Scd> parse_scd_input(Input input, const std::string& path, ScdFile* file, ScdInputFailure& failure);

// The same for the bytes of a file held in memory; `name` stands for them.
std::unique_ptr<Scd> load_scd_input_bytes(std::string_view bytes, const std::string& name, const ScdReading& reading,
                                          ScdFile* file, ScdInputFailure& failure);

// The same for the bytes of a file read into a text of their own, parsed
// where they lie.
std::unique_ptr<Scd> load_scd_input_text(SourceText bytes, const std::string& name, const ScdReading& reading,
                                         ScdFile* file, ScdInputFailure& failure);

// The reader's message with a few of the members to choose from (an archive
// may hold thousands); `member` is the one asked for.
std::string input_problem_text(const InputProblem& problem, const std::string& member);

}  // namespace ccdcrc
