#pragma once
// An SCD as a front end takes it: a path, "-" for standard input, or bytes
// in memory; plain, gzip or a zip member. Read whole, parsed, and refused
// when its root is not SCL; with what was learnt of the file (its size and
// SHA-256, the member read). Every front end loads an SCD this way, and tells
// a failed load with the LoadProblem it gives.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "operations/loading.h"
#include "scd/scd.h"
#include "xml/input.h"

namespace ccdcrc {

// An SCD whose content is read only in part answers for no approval: the
// problem that says so (`name` stands for the file), or nullopt for an SCD
// read whole. A command that answers for an approval fails with it; a front
// end that only shows CRCs refuses the SCD with it.
std::optional<LoadProblem> read_in_part(const Scd& scd, const std::string& name);

// Told the size of the text before it is parsed (the program provides the
// memory a parse of that size needs).
using BeforeParse = std::function<void(std::size_t)>;

// "PATH", or "PATH(MEMBER)" for a zip member: what places in its text name.
std::string text_name(const std::string& path, const ScdFile& file);

// Loads an SCD from a path ("-": standard input); the SCD's path is `path`
// even for a zip member. Null, with `problem`, when it cannot be read, is no
// well-formed XML or (unless the reading allows it) has a root other than SCL.
std::unique_ptr<Scd> load_scd_input(const std::string& path, const ScdReading& reading, ScdFile* file,
                                    LoadProblem& problem, const BeforeParse& before_parse = {});

// Parses an input already read (xml/input.h) as load_scd_input does; `path`
// names it.
std::unique_ptr<Scd> parse_scd_input(Input input, const std::string& path, ScdFile* file, LoadProblem& problem,
                                     const BeforeParse& before_parse = {});

// The same for the bytes of a file held in memory; `name` stands for them.
std::unique_ptr<Scd> load_scd_input_bytes(std::string_view bytes, const std::string& name, const ScdReading& reading,
                                          ScdFile* file, LoadProblem& problem);

// The same for the bytes of a file read into a text of their own, parsed
// where they lie.
std::unique_ptr<Scd> load_scd_input_text(SourceText bytes, const std::string& name, const ScdReading& reading,
                                         ScdFile* file, LoadProblem& problem);

// The reader's message with a few of the members to choose from (an archive
// may hold thousands); `member` is the one asked for.
std::string input_problem_text(const LoadProblem& problem, const std::string& member);

}  // namespace ccdcrc
