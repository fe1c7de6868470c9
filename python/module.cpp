// The extension ccdcrc._ccdcrc: an SCD opened once, asked for its IED names,
// CRCs and CCD texts and written out as CCD files, on the library's own
// operations. The library works with the GIL released; Python objects are
// made only before and after. Text that is not UTF-8 (IED names, paths)
// crosses as surrogate escapes, so that a name read from an SCD finds its IED
// again.

#include <pybind11/pybind11.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "approvals/approval_check.h"
#include "ccdcrc/version.h"
#include "files/staged_file.h"
#include "history/history_run.h"
#include "operations/bindings.h"
#include "operations/ccd_pipeline.h"
#include "operations/crc_runs.h"
#include "operations/differences.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "operations/shown_ccd.h"
#include "operations/verification.h"
#include "report/check_report.h"
#include "report/diff_report.h"
#include "report/history_report.h"
#include "report/verify_report.h"
#include "scd/header.h"
#include "scd/ied_selection.h"
#include "scd/scd.h"
#include "util/text.h"
#include "workflows/check_workflow.h"
#include "workflows/diff_workflow.h"
#include "workflows/open_scd.h"
#include "workflows/verify_workflow.h"
#include "xml/input.h"

namespace py = pybind11;

namespace ccdcrc {
namespace {

// Library text as a Python str.
py::str python_text(std::string_view text) {
  PyObject* object = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (!object) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(object);
}

// A text as given, refused (ValueError, as Python's open() does) when it holds
// a zero byte, which would cut it short where the library reads it.
std::string without_zero_byte(std::string text, const char* what) {
  if (text.find('\0') != std::string::npos) throw py::value_error(std::string(what) + ": embedded null byte");
  return text;
}

// A Python str as library text; `what` names it in the TypeError.
std::string library_text(py::handle text, const char* what) {
  if (!PyUnicode_Check(text.ptr())) {
    throw py::type_error(std::string(what) + " must be str, not " + Py_TYPE(text.ptr())->tp_name);
  }
  const auto bytes =
      py::reinterpret_steal<py::bytes>(PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape"));
  if (!bytes) throw py::error_already_set();
  return without_zero_byte(bytes, what);
}

// A path given as str, bytes or os.PathLike, in the file system's bytes.
std::string file_system_path(py::handle path) {
  const auto fspath = py::reinterpret_steal<py::object>(PyOS_FSPath(path.ptr()));
  if (!fspath) throw py::error_already_set();
  if (PyBytes_Check(fspath.ptr())) return without_zero_byte(fspath.cast<std::string>(), "path");
  const auto bytes = py::reinterpret_steal<py::bytes>(PyUnicode_EncodeFSDefault(fspath.ptr()));
  if (!bytes) throw py::error_already_set();
  return without_zero_byte(bytes, "path");
}

py::str python_path(const std::string& path) {
  PyObject* object = PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
  if (!object) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(object);
}

// Raises a built-in exception with a message that may hold any bytes.
[[noreturn]] void raise_builtin(PyObject* type, const std::string& message) {
  PyErr_SetObject(type, python_text(message).ptr());
  throw py::error_already_set();
}

py::object optional_number(std::size_t number) { return number == 0 ? py::object(py::none()) : py::int_(number); }

// Raises an exception object of the package (the classes are Python code in
// ccdcrc/__init__.py).
[[noreturn]] void raise_package_error(const char* class_name, const py::args& arguments) {
  const py::object error = py::module_::import("ccdcrc").attr(class_name)(*arguments);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

const char* load_error_class(const LoadProblem& problem) {
  using Kind = LoadProblem::Kind;
  switch (problem.kind) {
    case Kind::not_found: return "MissingFileError";
    case Kind::permission_denied: return "FileAccessError";
    case Kind::not_a_file: return problem.system_error == EISDIR ? "DirectoryError" : "NotAFileError";
    case Kind::empty:
    case Kind::malformed: return "MalformedXmlError";
    case Kind::ambiguous:
    case Kind::read_in_part: return "PartlyReadError";
    case Kind::not_scl: return "NotAnScdError";
    case Kind::read_error:
    case Kind::too_large:
    case Kind::damaged_archive:
    case Kind::member_choice:
    case Kind::out_of_memory: break;
  }
  return "FileLoadError";
}

// A failed load as the LoadError of its kind (MemoryError when memory ran out).
[[noreturn]] void raise_load_error(const LoadProblem& problem) {
  if (problem.kind == LoadProblem::Kind::out_of_memory) raise_builtin(PyExc_MemoryError, problem.text());
  raise_package_error(load_error_class(problem),
                      py::make_tuple(python_text(problem.message), python_path(problem.name),
                                     optional_number(problem.position.line), optional_number(problem.position.column),
                                     optional_number(static_cast<std::size_t>(problem.system_error))));
}

// An SCD opened once. Every question only reads it; the listing's CRCs are
// computed once, by the first question that needs them.
class OpenScd {
 public:
  // What the CRC run of `all` gives: the CRCs it lists, the SCD CRC, and the
  // inputs that bind to nothing.
  struct Listing {
    IedCrcMap crcs;
    std::string total;
    std::vector<BrokenBinding> bindings;
  };

  OpenScd(std::unique_ptr<Scd> scd, ScdFile file, unsigned jobs)
      : scd_(std::move(scd)), file_(std::move(file)), lookup_(*scd_), jobs_(jobs) {}

  const Scd& scd() const { return *scd_; }
  const ScdFile& file() const { return file_; }
  const IedLookup& lookup() const { return lookup_; }
  unsigned jobs() const { return jobs_; }

  // The CRCs that `all` lists and the SCD CRC. Called without the GIL.
  const Listing& listing() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!listing_) {
      const std::vector<ListedCrc> listed = listed_crcs(*scd_, jobs_);
      IedCrcMap crcs = crc_map(listed);
      std::string total = scd_crc(crcs);
      listing_ = Listing{std::move(crcs), std::move(total), broken_bindings(*scd_, listed)};
    }
    return *listing_;
  }

  // The IED that the lookup by name takes, or a KeyError.
  pugi::xml_node named(const std::string& name, py::handle python_name) const {
    if (pugi::xml_node ied = lookup_.find(name)) return ied;
    raise_package_error("UnknownIedError",
                        py::make_tuple(python_name, python_text(unknown_ied_message(*scd_, lookup_, name))));
  }

 private:
  std::unique_ptr<Scd> scd_;
  ScdFile file_;
  IedLookup lookup_;
  unsigned jobs_;
  mutable std::mutex mutex_;
  mutable std::optional<Listing> listing_;
};

// The bytes of an object that has them (bytes, bytearray, memoryview ...),
// copied while the GIL keeps them from changing; nullopt for any other.
std::optional<std::string> buffer_bytes(const py::object& source) {
  if (!PyObject_CheckBuffer(source.ptr())) return std::nullopt;
  std::string bytes;
  Py_buffer view;
  if (PyObject_GetBuffer(source.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  try {
    bytes.assign(static_cast<const char*>(view.buf), static_cast<std::size_t>(view.len));
  } catch (...) {
    PyBuffer_Release(&view);
    throw;
  }
  PyBuffer_Release(&view);
  return bytes;
}

// What bytes given for a file are called in messages.
constexpr const char* bytes_name = "<memory>";

// Opens an SCD as every front end does; an SCD read in part answers for no
// approval and is refused.
std::unique_ptr<OpenScd> load(const py::object& source, unsigned jobs) {
  const ScdReading with_sha256{"", true};
  OpenedScd opened;
  if (std::optional<std::string> bytes = buffer_bytes(source)) {
    const py::gil_scoped_release unlocked;
    opened = open_scd_bytes(*bytes, bytes_name, with_sha256, true);
  } else {
    const std::string path = file_system_path(source);
    const py::gil_scoped_release unlocked;
    opened = open_scd(path, with_sha256, true);
  }
  if (opened.problem) raise_load_error(*opened.problem);
  return std::make_unique<OpenScd>(std::move(opened.scd), std::move(opened.file), jobs);
}

py::list ied_names(const OpenScd& open) {
  py::list names;
  for (const pugi::xml_node ied : open.scd().ieds()) names.append(python_text(ied.attribute("name").value()));
  return names;
}

const OpenScd::Listing& listing_of(const OpenScd& open) {
  const py::gil_scoped_release unlocked;
  return open.listing();
}

py::dict crcs(const OpenScd& open) {
  py::dict result;
  for (const auto& [name, crc] : listing_of(open).crcs) result[python_text(name)] = python_text(crc);
  return result;
}

py::str total_crc(const OpenScd& open) { return python_text(listing_of(open).total); }

py::list bindings(const OpenScd& open) {
  py::list result;
  for (const BrokenBinding& binding : listing_of(open).bindings) {
    py::dict entry;
    entry["ied"] = python_text(binding.ied);
    entry["int_addr"] = python_text(binding.int_addr);
    entry["source"] = python_text(binding.source);
    entry["reason"] = python_text(binding.reason);
    result.append(entry);
  }
  return result;
}

py::object optional_text(const std::optional<std::string>& text) {
  return text ? py::object(python_text(*text)) : py::object(py::none());
}

py::dict header(const OpenScd& open) {
  const ScdHeader found = scd_header(open.scd());
  py::dict result;
  result["id"] = optional_text(found.id);
  result["version"] = optional_text(found.version);
  result["revision"] = optional_text(found.revision);
  return result;
}

py::object crc(const OpenScd& open, const py::object& python_name) {
  const std::string name = library_text(python_name, "the IED name");
  const pugi::xml_node ied = open.named(name, python_name);
  std::optional<std::string> text;
  {
    const py::gil_scoped_release unlocked;
    text = ied_crc(open.scd(), ied);
  }
  return text ? py::object(python_text(*text)) : py::object(py::none());
}

py::object ccd(const OpenScd& open, const py::object& python_name, bool measured) {
  const std::string name = library_text(python_name, "the IED name");
  const pugi::xml_node ied = open.named(name, python_name);
  ShownCcd shown;
  std::string text;
  {
    const py::gil_scoped_release unlocked;
    shown = show_ccd(open.scd(), ied, measured ? CcdForm::measured : CcdForm::exported);
    if (shown.status == ShownCcd::Status::shown) text = shown_text(shown);
  }
  if (shown.status == ShownCcd::Status::no_circuits) return py::none();
  if (shown.status == ShownCcd::Status::too_deep) {
    raise_builtin(PyExc_ValueError, open.scd().path() + ": " + too_deep_to_show_message(name, shown.depth));
  }
  return python_text(text);
}

// One IED of an export: its result, or why it could not be exported at all.
struct NamedExport {
  std::string name;
  std::variant<ExportResult, std::string> outcome;
};

std::vector<NamedExport> export_every_ied(const OpenScd& open, const Directory& directory) {
  std::vector<NamedExport> exports;
  for (ListedExport& listed : export_listed_ieds(open.scd(), directory, open.jobs())) {
    if (listed.result) exports.push_back({listed.name, std::move(*listed.result)});
  }
  return exports;
}

std::vector<NamedExport> export_named(const OpenScd& open, const Directory& directory,
                                      const std::vector<std::string>& names) {
  std::vector<NamedExport> exports;
  RunFiles files;
  for (const std::string& name : distinct_names(names)) {
    if (const pugi::xml_node ied = open.lookup().find(name)) {
      exports.push_back({name, files.export_ied(open.scd(), ied, directory)});
    } else {
      exports.push_back({name, unknown_ied_message(open.scd(), open.lookup(), name)});
    }
  }
  return exports;
}

py::dict export_report(const std::vector<NamedExport>& exports) {
  py::list written;
  py::list failed;
  for (const auto& [name, outcome] : exports) {
    py::dict entry;
    entry["name"] = python_text(name);
    if (const auto* unknown = std::get_if<std::string>(&outcome)) {
      entry["path"] = py::none();
      entry["message"] = python_text(*unknown);
      failed.append(entry);
      continue;
    }
    const auto& result = std::get<ExportResult>(outcome);
    if (result.status == ExportStatus::written) {
      entry["crc"] = python_text(result.crc);
      entry["path"] = python_path(result.path);
      written.append(entry);
      continue;
    }
    const ExportFailure failure = export_failure(name, result);
    entry["path"] = failure.concerns_file ? py::object(python_path(result.path)) : py::object(py::none());
    entry["message"] = python_text(failure.reason);
    failed.append(entry);
  }
  py::dict report;
  report["written"] = written;
  report["failed"] = failed;
  return report;
}

py::dict export_files(const OpenScd& open, const py::object& python_directory, const py::object& python_names) {
  const std::string path = without_trailing_slashes(file_system_path(python_directory));
  std::optional<std::vector<std::string>> names;
  if (!python_names.is_none()) {
    if (PyUnicode_Check(python_names.ptr())) throw py::type_error("names must be an iterable of IED names, not a str");
    names.emplace();
    for (const py::handle name : python_names) names->push_back(library_text(name, "an IED name"));
  }
  std::unique_ptr<Directory> directory;
  std::vector<NamedExport> exports;
  {
    const py::gil_scoped_release unlocked;
    directory = std::make_unique<Directory>(path);
    if (directory->error() == 0) {
      remove_stale_temporary_files(*directory);
      exports = names ? export_named(open, *directory, *names) : export_every_ied(open, *directory);
    }
  }
  if (directory->error() != 0) {
    errno = directory->error();
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, python_path(path).ptr());
    throw py::error_already_set();
  }
  return export_report(exports);
}

// The SCDs that diff and verify take: a loaded Scd, or a path to load.
const OpenScd& loaded_or_load(const py::object& source, std::unique_ptr<OpenScd>& holder, unsigned jobs) {
  if (py::isinstance<OpenScd>(source)) return source.cast<const OpenScd&>();
  holder = load(source, jobs);
  return *holder;
}

// Two SCDs compared as the program compares them: OLD given as a path or
// bytes is loaded, listed, kept as the output reads it and released before
// NEW is loaded. An Scd given stays open, as its caller holds it: given as
// OLD, both are compared open.
struct ComparedScds {
  std::unique_ptr<OpenScd> new_holder;
  const OpenScd* old_open = nullptr;  // null: released, `diff` keeps what is read of it
  const OpenScd* new_open = nullptr;
  DiffOutcome diff;
};

ComparedScds compared_scds(const py::object& old_source, const py::object& new_source, unsigned jobs,
                           const std::function<OldReading(const ScdFile&)>& reading) {
  ComparedScds compared;
  std::optional<KeptOld> kept;
  if (py::isinstance<OpenScd>(old_source)) {
    compared.old_open = &old_source.cast<const OpenScd&>();
  } else {
    std::unique_ptr<OpenScd> old_open = load(old_source, jobs);
    const py::gil_scoped_release unlocked;
    Notes unused;
    kept = listed_old(old_open->scd(), jobs, reading(old_open->file()), unused);
  }
  compared.new_open = &loaded_or_load(new_source, compared.new_holder, jobs);
  const py::gil_scoped_release unlocked;
  const Scd& new_scd = compared.new_open->scd();
  compared.diff = kept ? diff_with_kept(std::move(*kept), new_scd, jobs, compared.new_holder != nullptr, {})
                       : diff_scds(compared.old_open->scd(), new_scd, jobs, false);
  return compared;
}

// `diff --format json`: (the JSON text, what is said of each explained name
// that neither SCD holds).
py::tuple diff_json(const py::object& old_source, const py::object& new_source, const py::object& python_names,
                    bool every_ied, unsigned jobs) {
  std::optional<std::vector<std::string>> names;
  if (!python_names.is_none()) {
    names.emplace();
    for (const py::handle name : python_names) names->push_back(library_text(name, "an IED name"));
  }
  ComparedScds compared = compared_scds(old_source, new_source, jobs, [&](const ScdFile&) {
    return old_reading(names.has_value(), names.value_or(std::vector<std::string>{}), false, false);
  });
  std::ostringstream out;
  std::vector<std::string> unknown;
  {
    const py::gil_scoped_release unlocked;
    const Scd& new_scd = compared.new_open->scd();
    DiffReport& report = compared.diff.report;
    report.changes_only = !every_ied;
    if (names) {
      ExplainChoice choice = explained_ieds(report, *names);
      for (const Note& note : choice.notes) {
        if (note.severity == Note::Severity::error) unknown.push_back(note.text);
      }
      ExplainedIeds explained{std::move(choice.ieds), jobs, {}, {}};
      if (compared.old_open) {
        write_diff_report(out, Format::json, report, std::move(explained), compared.old_open->scd(), new_scd);
      } else {
        write_diff_report(out, Format::json, report, std::move(explained), *compared.diff.old_ccds, new_scd);
      }
    } else {
      write_diff_report(out, Format::json, report, nullptr);
    }
  }
  py::list unknown_names;
  for (const std::string& name : unknown) unknown_names.append(python_text(name));
  return py::make_tuple(python_text(out.str()), unknown_names);
}

// `history --format json` of files and loaded SCDs, or of the commits of a
// repository: (the JSON text, what kept it from being made or None).
py::tuple history_json(const py::object& sources, const py::object& git, const py::object& python_names, bool by_header,
                       bool changed_only, unsigned documents, bool cache) {
  HistoryRequest request;
  std::vector<std::unique_ptr<OpenScd>> unused;
  if (git.is_none()) {
    for (const py::handle source : sources) {
      if (py::isinstance<OpenScd>(source)) {
        const OpenScd& open = source.cast<const OpenScd&>();
        request.files.push_back(open.scd().path());
        request.loaded.push_back(&open.scd());
      } else {
        request.files.push_back(file_system_path(source));
        request.loaded.push_back(nullptr);
      }
    }
  } else {
    const py::tuple query = git.cast<py::tuple>();
    GitSource source;
    source.repository = file_system_path(query[0]);
    source.path = library_text(query[1], "a path");
    if (!query[2].is_none()) source.range = library_text(query[2], "a revision range");
    if (!query[3].is_none()) source.since = library_text(query[3], "a date");
    if (!query[4].is_none()) source.until = library_text(query[4], "a date");
    request.git = std::move(source);
  }
  if (!python_names.is_none()) {
    for (const py::handle name : python_names) request.options.ieds.push_back(library_text(name, "an IED name"));
    request.options.ieds = distinct_names(request.options.ieds);
  }
  request.options.by_header = by_header;
  request.options.changed_only = changed_only;
  request.options.documents = documents;
  request.cache = cache;
  std::ostringstream out;
  std::optional<RevisionProblem> failure;
  {
    const py::gil_scoped_release unlocked;
    const HistoryOutcome outcome = run_history(request);
    failure = outcome.failure;
    if (!failure) write_history(out, Format::json, outcome.history);
  }
  if (failure) return py::make_tuple(py::none(), python_text(failure->where + ": " + failure->reason));
  return py::make_tuple(python_text(out.str()), py::none());
}

// `verify --format json`: (the JSON text, why each unreadable file is, by its place in `paths`).
py::tuple verify_json(const py::object& python_paths, const py::object& scd_source) {
  std::vector<std::string> paths;
  for (const py::handle path : python_paths) paths.push_back(file_system_path(path));
  std::unique_ptr<OpenScd> holder;
  const OpenScd* open = scd_source.is_none() ? nullptr : &loaded_or_load(scd_source, holder, 0);
  std::ostringstream out;
  VerifyOutcome outcome;
  {
    const py::gil_scoped_release unlocked;
    outcome = verify_files(paths, open ? &open->scd() : nullptr);
    std::vector<const VerifiedFile*> shown;
    shown.reserve(outcome.files.size());
    for (const VerifiedFile& file : outcome.files) shown.push_back(&file);
    write_verify_report(out, Format::json, open ? std::optional(open->scd().path()) : std::nullopt, shown);
  }
  py::list reasons;
  for (const VerifiedFile& file : outcome.files) {
    reasons.append(file.status == VerifyStatus::unreadable
                       ? py::object(python_text(location(file.path, file.check.position) + ": " + file.check.problem))
                       : py::object(py::none()));
  }
  return py::make_tuple(python_text(out.str()), reasons);
}

// `check --format json`: (the JSON text, what fails, the notes on the list,
// whether the check passes). A list that cannot be used raises ValueError.
py::tuple check_json(const py::object& list_source, const py::object& scd_source, bool ignore_missing,
                     bool skip_malformed, unsigned jobs) {
  // The list is a path, or its bytes.
  const std::optional<std::string> list_bytes = buffer_bytes(list_source);
  const std::string path = list_bytes ? bytes_name : file_system_path(list_source);
  std::unique_ptr<OpenScd> holder;
  CheckList list;
  {
    const py::gil_scoped_release unlocked;
    list = list_bytes ? read_check_list_bytes(*list_bytes, path, true) : read_check_list(path, true);
  }
  if (!list.baseline) raise_builtin(PyExc_ValueError, note_text(list.notes.back()));
  const OpenScd& open = loaded_or_load(scd_source, holder, jobs);
  std::ostringstream out;
  CheckOutcome outcome;
  {
    const py::gil_scoped_release unlocked;
    const Scd& scd = open.scd();
    outcome = check_scd(list, scd, {ignore_missing, skip_malformed, jobs});
    write_check_report(out, {Format::json, false, path, scd.path()}, outcome.check);
  }
  py::list failures;
  for (const std::string& failure : outcome.failures) failures.append(python_text(failure));
  for (const std::string& failure : outcome.list_failures) failures.append(python_text(failure));
  py::list notes;
  for (const Note& note : list.notes) notes.append(python_text(note_text(note)));
  return py::make_tuple(python_text(out.str()), failures, notes, outcome.passed());
}

// `diff --format html|markdown`: (the report's text, or None and why not).
py::tuple report_text(const py::object& old_source, const py::object& new_source, bool markdown,
                      const py::object& approved, bool signoff, unsigned jobs) {
  ChangeReportRequest request;
  request.kind = markdown ? ReportKind::markdown : ReportKind::html;
  request.signoff = signoff;
  request.jobs = jobs;
  if (!approved.is_none()) request.approved = file_system_path(approved);
  ComparedScds compared = compared_scds(old_source, new_source, jobs, [](const ScdFile& file) {
    OldReading reading;
    reading.report = &file;
    return reading;
  });
  ChangeReportOutcome outcome;
  {
    const py::gil_scoped_release unlocked;
    const OpenScd& new_open = *compared.new_open;
    if (compared.old_open) {
      outcome = change_report(compared.diff, compared.old_open->scd(), compared.old_open->file(), new_open.scd(),
                              new_open.file(), request);
    } else {
      outcome = change_report(compared.diff, new_open.scd(), new_open.file(), request);
    }
  }
  if (!outcome.text) return py::make_tuple(py::none(), python_text(note_text(outcome.notes.back())));
  return py::make_tuple(python_text(*outcome.text), py::none());
}

py::str representation(const OpenScd& open) {
  const std::size_t count = open.scd().ieds().size();
  return py::str("<ccdcrc.Scd {!r}, {} IED{}>").format(python_path(open.scd().path()), count, count == 1 ? "" : "s");
}

}  // namespace
}  // namespace ccdcrc

PYBIND11_MODULE(_ccdcrc, module) {
  using namespace ccdcrc;
  // The signatures are written into the docstrings, with the types that
  // Python code sees.
  py::options options;
  options.disable_function_signatures();

  module.doc() = "The native part of the ccdcrc package; use it through `import ccdcrc`.";
  module.attr("__version__") = CCDCRC_VERSION;

  py::class_<OpenScd>(module, "Scd", py::is_final(),
                      "An SCD file loaded once (made by ccdcrc.load). Its methods may be called from\n"
                      "several threads at once; the CRCs of the listing are computed once, when first\n"
                      "asked for.")
      .def_property_readonly(
          "path", [](const OpenScd& open) { return python_path(open.scd().path()); },
          "The path the SCD was loaded from, or '<memory>' for bytes.")
      .def_property_readonly("ieds", &ied_names,
                             "ieds: list[str]\n\n"
                             "The name of every IED, in document order (a shared name as often as IEDs carry it).")
      .def("crcs", &crcs,
           "crcs(self) -> dict[str, str]\n\n"
           "IED name -> CRC text of every IED that has circuits, in byte-wise name order,\n"
           "as `ccdcrc all` lists them (of IEDs sharing a name, the last one with circuits).")
      .def_property_readonly("header", &header,
                             "header: dict[str, str | None]\n\n"
                             "The id, version and revision of the SCD's Header (None for what it lacks).")
      .def_property_readonly(
          "sha256", [](const OpenScd& open) { return python_text(open.file().sha256); },
          "sha256: str\n\nThe SHA-256 of the file's bytes as given (before gzip or zip is unpacked).")
      .def("broken_bindings", &bindings,
           "broken_bindings(self) -> list[dict[str, str]]\n\n"
           "The inputs that bind to nothing, each {'ied', 'int_addr', 'source', 'reason'},\n"
           "as `ccdcrc all` warns of them: by IED name, each in the order of its inputs.")
      .def_property_readonly("scd_crc", &total_crc,
                             "scd_crc: str\n\nThe SCD CRC over the CRCs that crcs() gives, as `ccdcrc all` prints it.")
      .def("crc", &crc, py::arg("name"),
           "crc(self, name: str) -> str | None\n\n"
           "The CRC text of the IED of that name (of several, the first, as `ccdcrc ied`);\n"
           "None when it has no circuits. Raises UnknownIedError (a KeyError) for an unknown name.")
      .def("ccd", &ccd, py::arg("name"), py::arg("measured") = false,
           "ccd(self, name: str, measured: bool = False) -> str | None\n\n"
           "The CCD of the IED of that name as `ccdcrc ccd [--measured]` prints it: as\n"
           "exported, or the finished CCD that the CRC is computed over. None when the IED\n"
           "has no circuits; UnknownIedError for an unknown name; ValueError when it nests\n"
           "too deep to be shown.")
      .def("export", &export_files, py::arg("directory"), py::arg("names") = py::none(),
           "export(self, directory: str | os.PathLike[str], names: Iterable[str] | None = None)\n"
           "    -> dict[str, list[dict[str, str | None]]]\n\n"
           "Writes DIRECTORY/NAME.ccd for the named IEDs (of several IEDs of a name, the\n"
           "first), or with names None for every IED that crcs() lists, as `ccdcrc export\n"
           "--all`. An IED that fails does not stop the others. Returns {'written': [{'name',\n"
           "'crc', 'path'}...], 'failed': [{'name', 'path', 'message'}...]}; 'path' is None\n"
           "when the failure concerns the SCD, not a file. OSError when the directory cannot\n"
           "be opened.")
      .def("__repr__", &representation);

  module.def("load", &load, py::arg("source"), py::arg("jobs") = 0,
             "load(source: str | os.PathLike[str] | bytes | bytearray | memoryview, jobs: int = 0) -> Scd\n\n"
             "Loads an SCD from a path, or from the bytes of one. `jobs` is the number of\n"
             "threads that build the IEDs when all CRCs or every CCD file are asked for (0:\n"
             "one per core); the results are the same. Raises a LoadError.");
  module.def("_diff", &diff_json, py::arg("old"), py::arg("new"), py::arg("explain"), py::arg("every_ied"),
             py::arg("jobs"),
             "_diff(old, new, explain: list[str] | None, every_ied: bool, jobs: int) -> tuple[str, list[str]]\n\n"
             "The JSON of `ccdcrc diff --format json` and the explained names neither SCD holds.");
  module.def("_check", &check_json, py::arg("baseline"), py::arg("scd"), py::arg("ignore_missing"),
             py::arg("skip_malformed"), py::arg("jobs"));
  module.def(
      "_history", &history_json, py::arg("sources"), py::arg("git"), py::arg("ieds"), py::arg("by_header"),
      py::arg("changed_only"), py::arg("documents"), py::arg("cache"),
      "_history(sources, git, ieds, by_header, changed_only, documents, cache) -> tuple[str | None, str | None]\n\n"
      "The JSON of `ccdcrc history --format json`, or what kept it from being made.");
  module.def("_reads_git", &reads_git);
  module.def(
      "_report", &report_text, py::arg("old"), py::arg("new"), py::arg("markdown"), py::arg("approved"),
      py::arg("signoff"), py::arg("jobs"),
      "_report(old, new, markdown: bool, approved, signoff: bool, jobs: int) -> tuple[str | None, str | None]\n\n"
      "The change report of `ccdcrc diff --format html|markdown`, or why the approved list cannot be used.");
  module.def("_verify", &verify_json, py::arg("paths"), py::arg("scd"),
             "_verify(paths: list, scd) -> tuple[str, list[str | None]]\n\n"
             "The JSON of `ccdcrc verify --format json` and why each unreadable file is.");
}
