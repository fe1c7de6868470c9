#include "operations/scd_input.h"

#include <algorithm>
#include <new>

#include "operations/messages.h"
#include "util/text.h"

namespace ccdcrc {

namespace {

InputOptions input_options(const ScdReading& reading) {
  InputOptions options;
  options.member = reading.member;
  options.sha256 = reading.sha256;
  options.pipes = reading.pipes;
  options.standard_input = reading.standard_input;
  options.unpack = reading.unpack;
  return options;
}

}  // namespace

std::string input_problem_text(const LoadProblem& problem, const std::string& member) {
  constexpr std::size_t named_members = 5;
  std::string text = problem.message;
  if (problem.kind != LoadProblem::Kind::member_choice || problem.members.empty()) return text;
  text += member.empty() ? "; name one with --member: " : "; its files: ";
  const std::size_t shown = std::min(problem.members.size(), named_members);
  for (std::size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + quoted(problem.members[i]);
  if (shown < problem.members.size()) {
    text += ", and " + std::to_string(problem.members.size() - shown) + " more";
  }
  return text;
}

namespace {

// Parses what was read; `path` names the file, its member added.
std::unique_ptr<Scd> parse_input(Input input, const std::string& path, const ScdReading& reading, ScdFile* file,
                                 LoadProblem& problem, const BeforeParse& before_parse) {
  ScdFile read{input.sha256, input.size, input.member};
  const std::string name = text_name(path, read);
  if (before_parse) before_parse(input.text.size());
  problem = LoadProblem();
  std::unique_ptr<Scd> scd = Scd::parse(std::move(input.text), path, &problem, reading.load);
  if (scd && reading.scl_root) {
    if (std::optional<std::string> refusal = not_an_scd_message(scd->root().name())) {
      problem = {LoadProblem::Kind::not_scl, *refusal, {}};
      scd.reset();
    }
  }
  problem.name = name;
  problem.member = read.member;
  if (scd && file) *file = std::move(read);
  return scd;
}

void unreadable(const std::string& path, const ScdReading& reading, LoadProblem& problem) {
  problem.message = input_problem_text(problem, reading.member);
  problem.name = path;
  problem.member = reading.member;
}

// The SCD that `load` gives, or null with `problem` saying that memory ran
// out: a load that cannot get memory fails as such, wherever it ran out.
template <typename Load>
std::unique_ptr<Scd> unless_out_of_memory(const std::string& name, LoadProblem& problem, Load load) {
  try {
    return load();
  } catch (const std::bad_alloc&) {
    problem = {LoadProblem::Kind::out_of_memory, "not enough memory to load the file", {}};
    try {
      problem.name = name;
    } catch (const std::bad_alloc&) {
      problem.name.clear();
    }
    return nullptr;
  }
}

}  // namespace

std::optional<LoadProblem> read_in_part(const Scd& scd, const std::string& name) {
  const std::optional<IgnoredContent>& ignored = scd.ignored_content();
  if (!ignored) return std::nullopt;
  LoadProblem problem{LoadProblem::Kind::read_in_part, read_in_part_message(*ignored), ignored->position};
  problem.name = name;
  return problem;
}

std::string text_name(const std::string& path, const ScdFile& file) {
  return file.member.empty() ? path : path + "(" + file.member + ")";
}

std::unique_ptr<Scd> parse_scd_input(Input input, const std::string& path, ScdFile* file, LoadProblem& problem,
                                     const BeforeParse& before_parse) {
  return parse_input(std::move(input), path, {}, file, problem, before_parse);
}

namespace {

// Reads with `read` (one of xml/input.h's readers, given the options), then
// parses what was read; `name` stands for the input.
template <typename Read>
std::unique_ptr<Scd> read_and_parse(const std::string& name, const ScdReading& reading, ScdFile* file,
                                    LoadProblem& problem, const BeforeParse& before_parse, Read read) {
  return unless_out_of_memory(name, problem, [&]() -> std::unique_ptr<Scd> {
    Input input;
    if (!read(input_options(reading), input)) {
      unreadable(name, reading, problem);
      return nullptr;
    }
    return parse_input(std::move(input), name, reading, file, problem, before_parse);
  });
}

}  // namespace

std::unique_ptr<Scd> load_scd_input(const std::string& path, const ScdReading& reading, ScdFile* file,
                                    LoadProblem& problem, const BeforeParse& before_parse) {
  return read_and_parse(path, reading, file, problem, before_parse, [&](const InputOptions& options, Input& input) {
    return read_input(path, options, input, problem);
  });
}

std::unique_ptr<Scd> load_scd_input_bytes(std::string_view bytes, const std::string& name, const ScdReading& reading,
                                          ScdFile* file, LoadProblem& problem) {
  return read_and_parse(name, reading, file, problem, {}, [&](const InputOptions& options, Input& input) {
    return read_input_bytes(bytes, options, input, problem);
  });
}

std::unique_ptr<Scd> load_scd_input_text(SourceText bytes, const std::string& name, const ScdReading& reading,
                                         ScdFile* file, LoadProblem& problem) {
  return read_and_parse(name, reading, file, problem, {}, [&](const InputOptions& options, Input& input) {
    return read_input_text(std::move(bytes), options, input, problem);
  });
}

}  // namespace ccdcrc
