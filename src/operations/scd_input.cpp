#include "operations/scd_input.h"

#include <algorithm>

#include "operations/messages.h"
#include "util/text.h"

namespace ccdcrc {

namespace {

InputOptions input_options(const ScdReading& reading) {
  InputOptions options;
  options.member = reading.member;
  options.sha256 = reading.sha256;
  return options;
}

// Parses what was read; `path` names the file, its member added.
std::unique_ptr<Scd> parse_input(Input input, const std::string& path, ScdFile* file, ScdInputFailure& failure,
                                 const BeforeParse& before_parse) {
  ScdFile read{input.sha256, input.size, input.member};
  const std::string name = text_name(path, read);
  if (before_parse) before_parse(input.text.size());
  LoadProblem problem;
  std::unique_ptr<Scd> scd = Scd::parse(std::move(input.text), path, &problem);
  if (!scd) {
    failure = ScdInputFailure::malformed(name, problem);
    return nullptr;
  }
  if (std::optional<std::string> refusal = not_an_scd_message(scd->root().name())) {
    failure = ScdInputFailure::not_an_scd(name, *refusal);
    return nullptr;
  }
  if (file) *file = std::move(read);
  return scd;
}

void unreadable(const std::string& path, const ScdReading& reading, InputProblem problem, ScdInputFailure& failure) {
  failure = {ScdInputFailure::Kind::input, path, {}, input_problem_text(problem, reading.member),
             std::move(problem),           {}};
}

// Parses the input when it was read, else tells why it was not.
std::unique_ptr<Scd> parse_if_read(bool read, Input& input, InputProblem& problem, const std::string& path,
                                   const ScdReading& reading, ScdFile* file, ScdInputFailure& failure,
                                   const BeforeParse& before_parse) {
  if (!read) {
    unreadable(path, reading, std::move(problem), failure);
    return nullptr;
  }
  return parse_input(std::move(input), path, file, failure, before_parse);
}

}  // namespace

ScdInputFailure ScdInputFailure::malformed(const std::string& name, const LoadProblem& problem) {
  ScdInputFailure failure;
  failure.kind = Kind::xml;
  failure.name = name;
  failure.position = problem.position;
  failure.message = problem.message;
  failure.xml = problem;
  return failure;
}

ScdInputFailure ScdInputFailure::not_an_scd(const std::string& name, const std::string& message) {
  ScdInputFailure failure;
  failure.kind = Kind::not_scl;
  failure.name = name;
  failure.message = message;
  return failure;
}

std::optional<ScdInputFailure> read_in_part(const Scd& scd, const std::string& name) {
  const std::optional<IgnoredContent>& ignored = scd.ignored_content();
  if (!ignored) return std::nullopt;
  ScdInputFailure failure;
  failure.kind = ScdInputFailure::Kind::read_in_part;
  failure.name = name;
  failure.position = ignored->position;
  failure.message = read_in_part_message(*ignored);
  return failure;
}

std::string text_name(const std::string& path, const ScdFile& file) {
  return file.member.empty() ? path : path + "(" + file.member + ")";
}

std::string input_problem_text(const InputProblem& problem, const std::string& member) {
  constexpr std::size_t named_members = 5;
  std::string text = problem.message;
  if (problem.kind != InputProblem::Kind::member_choice || problem.members.empty()) return text;
  text += member.empty() ? "; name one with --member: " : "; its files: ";
  const std::size_t shown = std::min(problem.members.size(), named_members);
  for (std::size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + quoted(problem.members[i]);
  if (shown < problem.members.size()) {
    text += ", and " + std::to_string(problem.members.size() - shown) + " more";
  }
  return text;
}

std::unique_ptr<Scd> parse_scd_input(Input input, const std::string& path, ScdFile* file, ScdInputFailure& failure) {
  return parse_input(std::move(input), path, file, failure, {});
}

std::unique_ptr<Scd> load_scd_input(const std::string& path, const ScdReading& reading, ScdFile* file,
                                    ScdInputFailure& failure, const BeforeParse& before_parse) {
  Input input;
  InputProblem problem;
  const bool read = read_input(path, input_options(reading), input, problem);
  return parse_if_read(read, input, problem, path, reading, file, failure, before_parse);
}

std::unique_ptr<Scd> load_scd_input_bytes(std::string_view bytes, const std::string& name, const ScdReading& reading,
                                          ScdFile* file, ScdInputFailure& failure) {
  Input input;
  InputProblem problem;
  const bool read = read_input_bytes(bytes, input_options(reading), input, problem);
  return parse_if_read(read, input, problem, name, reading, file, failure, {});
}

std::unique_ptr<Scd> load_scd_input_text(SourceText bytes, const std::string& name, const ScdReading& reading,
                                         ScdFile* file, ScdInputFailure& failure) {
  Input input;
  InputProblem problem;
  const bool read = read_input_text(std::move(bytes), input_options(reading), input, problem);
  return parse_if_read(read, input, problem, name, reading, file, failure, {});
}

}  // namespace ccdcrc
