#include "workflows/open_scd.h"

#include "operations/messages.h"

namespace ccdcrc {

namespace {

OpenedScd opened(std::unique_ptr<Scd> scd, ScdFile file, LoadProblem problem, const std::string& path, bool whole) {
  OpenedScd result;
  if (!scd) {
    result.problem = std::move(problem);
    return result;
  }
  const std::string name = text_name(path, file);
  if (const std::optional<IgnoredContent>& ignored = scd->ignored_content()) {
    add_warning(result.notes, location(name, ignored->position), ignored_content_message(*ignored));
    result.read_in_part = read_in_part(*scd, name);
    if (whole) {
      result.problem = result.read_in_part;
      return result;
    }
  }
  result.scd = std::move(scd);
  result.file = std::move(file);
  return result;
}

// Opens with `load` (one of operations/scd_input.h's loaders); `name` stands for the input.
template <typename Load>
OpenedScd opened_by(const std::string& name, bool whole, Load load) {
  ScdFile file;
  LoadProblem problem;
  std::unique_ptr<Scd> scd = load(file, problem);
  return opened(std::move(scd), std::move(file), std::move(problem), name, whole);
}

}  // namespace

OpenedScd open_scd(const std::string& path, const ScdReading& reading, bool whole, const BeforeParse& before_parse) {
  return opened_by(path, whole, [&](ScdFile& file, LoadProblem& problem) {
    return load_scd_input(path, reading, &file, problem, before_parse);
  });
}

OpenedScd open_scd_bytes(std::string_view bytes, const std::string& name, const ScdReading& reading, bool whole) {
  return opened_by(name, whole, [&](ScdFile& file, LoadProblem& problem) {
    return load_scd_input_bytes(bytes, name, reading, &file, problem);
  });
}

OpenedScd open_scd_text(SourceText text, const std::string& name, const ScdReading& reading, bool whole) {
  return opened_by(name, whole, [&](ScdFile& file, LoadProblem& problem) {
    return load_scd_input_text(std::move(text), name, reading, &file, problem);
  });
}

}  // namespace ccdcrc
