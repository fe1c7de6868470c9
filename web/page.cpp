// The page's way into the library: C functions that the worker (worker.js)
// calls with the bytes of the files opened, each answering with a JSON text
// (to be given back to page_free). Every answer comes from the library's
// operations and printers, as the program's commands give it.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "history/history_run.h"
#include "operations/crc_runs.h"
#include "operations/loading.h"
#include "operations/messages.h"
#include "operations/scd_input.h"
#include "operations/shown_ccd.h"
#include "operations/verification.h"
#include "report/check_report.h"
#include "report/crc_report.h"
#include "report/history_report.h"
#include "report/scd_revision.h"
#include "report/verify_report.h"
#include "system/digest.h"
#include "util/text.h"
#include "workflows/check_workflow.h"
#include "workflows/crc_workflows.h"
#include "workflows/diff_workflow.h"
#include "workflows/open_scd.h"
#include "workflows/verify_workflow.h"
#include "workflows/zipped_export.h"

using nlohmann::ordered_json;

// Tells the page how far a step is (worker.js sets Module.onProgress).
EM_JS(void, page_progress, (const char* step, double done, double total), {
  if (Module.onProgress) Module.onProgress(UTF8ToString(step), done, total);
});

namespace ccdcrc {

namespace {

struct PageScd {
  std::unique_ptr<Scd> scd;
  std::vector<ListedCrc> listed;
  std::vector<BrokenBinding> broken;
  ScdFile file;
};

// The SCDs of one page, by the number each was given when opened, and the
// text of the next one while the worker reads its file into it.
struct Session {
  std::map<int, PageScd> scds;
  int next = 0;
  SourceText next_text;
};

ProgressCallback progress_of(const char* step) {
  return [step](std::size_t done, std::size_t total) {
    page_progress(step, static_cast<double>(done), static_cast<double>(total));
  };
}

// A JSON text the page frees with page_free; texts not in UTF-8 get U+FFFD.
char* answer(const ordered_json& value) {
  const std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

char* failure_answer(const std::string& message) { return answer({{"ok", false}, {"error", message}}); }

ordered_json text_or_null(const std::optional<std::string>& text) { return json_text(text); }

// Runs a step, turning every exception into a message: running out of memory
// is a message, never a dead page.
template <typename Step>
char* guarded(Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    return failure_answer("out of memory: the browser gave the page no more (close other files, or use the program)");
  } catch (const std::exception& error) {
    return failure_answer(error.what());
  }
}

std::vector<std::string> note_texts(const Notes& notes) {
  std::vector<std::string> texts;
  for (const Note& note : notes) texts.push_back(note_text(note));
  return texts;
}

// The inputs that resolve to nothing, as the change report names them.
ordered_json broken_answer(const std::vector<BrokenBinding>& broken) {
  ordered_json bindings = ordered_json::array();
  for (const BrokenBinding& binding : broken) {
    bindings.push_back({{"ied", printable(binding.ied)},
                        {"int_addr", printable(binding.int_addr)},
                        {"source", printable(binding.source)},
                        {"reason", printable(binding.reason)}});
  }
  return bindings;
}

ordered_json scd_answer(int number, const PageScd& opened, const std::vector<std::string>& warnings) {
  ordered_json ieds = ordered_json::array();
  for (const ListedCrc& entry : opened.listed) {
    ieds.push_back({{"name", entry.name()}, {"shown", printable(entry.name())}, {"crc", text_or_null(entry.crc)}});
  }
  const ScdHeader header = scd_header(*opened.scd);
  return {{"ok", true},
          {"number", number},
          {"name", opened.scd->path()},
          {"member", opened.file.member},
          {"size", opened.file.size},
          {"sha256", opened.file.sha256},
          {"ieds", ieds},
          {"scd_crc", scd_crc(crc_map(opened.listed))},
          {"header",
           {{"id", text_or_null(header.id)},
            {"version", text_or_null(header.version)},
            {"revision", text_or_null(header.revision)}}},
          {"broken", broken_answer(opened.broken)},
          {"warnings", warnings}};
}

char* open_upload(Session& session, const std::string& name) {
  SourceText bytes = std::move(session.next_text);
  const std::size_t size = bytes.size();
  page_progress("parsing", 0, 1);
  PageScd opened;
  OpenedScd loaded = open_scd_text(std::move(bytes), name, {}, true);
  if (loaded.problem) return failure_answer(loaded.problem->text());
  opened.scd = std::move(loaded.scd);
  opened.file = std::move(loaded.file);
  // The digest of the bytes as given comes later (page_digest).
  opened.file.size = size;
  // The listing and the warnings of `all`.
  AllOutcome all = all_crcs(*opened.scd, 1, progress_of("computing"));
  opened.listed = std::move(all.listed);
  opened.broken = broken_bindings(*opened.scd, opened.listed);
  const int number = session.next++;
  const std::vector<std::string> warnings = note_texts(all.notes);
  const PageScd& kept = session.scds[number] = std::move(opened);
  return answer(scd_answer(number, kept, warnings));
}

const PageScd* find(const Session& session, int number) {
  const auto found = session.scds.find(number);
  return found == session.scds.end() ? nullptr : &found->second;
}

// The table of every open SCD (or of the one numbered `only`, when not
// negative) as `ccdcrc all --format csv|json` writes it.
std::string crc_table(const Session& session, Format format, int only) {
  std::ostringstream out;
  CrcReportWriter writer(out, format, CrcCommand::all, only < 0 && session.scds.size() > 1);
  for (const auto& [number, opened] : session.scds) {
    if (only >= 0 && number != only) continue;
    const IedCrcMap crcs = crc_map(opened.listed);
    CrcReport report{opened.scd->path(), {}, scd_crc(crcs), scd_header(*opened.scd), opened.file.sha256};
    for (const auto& [name, crc] : crcs) report.ieds.push_back({name, crc, {}});
    writer.write(report);
  }
  return out.str();
}

// The CCD of an IED as the listing takes it: the file `export --all` writes
// (exported) or the content its CRC covers (measured).
char* ied_ccd(const PageScd& opened, const std::string& ied_name, CcdForm form) {
  const ListedCrc* entry = nullptr;
  for (const ListedCrc& listed : opened.listed) {
    if (listed.name() == ied_name) entry = &listed;
  }
  if (!entry) return failure_answer(opened.scd->path() + ": no IED named " + quoted(ied_name));
  const ShownCcd shown = show_ccd(*opened.scd, entry->listed.ied, form);
  if (shown.status != ShownCcd::Status::shown) return failure_answer(shown_ccd_message(ied_name, shown));
  return answer({{"ok", true}, {"text", shown_text(shown)}});
}

// The change report of `ccdcrc diff OLD NEW --format html`.
// (with a list of approved CRCs read already: its Approved column).
char* report_answer(const PageScd& old_scd, const PageScd& new_scd, const std::string& list_name,
                    std::optional<std::string_view> list) {
  DiffOutcome diff = diff_listed(*old_scd.scd, old_scd.listed, *new_scd.scd, new_scd.listed, 1);
  ChangeReportRequest request;
  request.jobs = 1;
  if (list) {
    request.approved = list_name;
    request.approved_content = list;
    Sha256 digest;
    digest.update(*list);
    request.approved_sha256 = digest.hex_digest();
  }
  const ChangeReportOutcome report =
      change_report(diff, *old_scd.scd, old_scd.file, *new_scd.scd, new_scd.file, request, progress_of("comparing"));
  if (!report.text) return failure_answer(note_text(report.notes.back()));
  ordered_json counts = ordered_json::object();
  for (const auto& [status, count] : report.counts) counts[crc_status_name(status)] = count;
  return answer({{"ok", true}, {"html", *report.text}, {"counts", counts}});
}

// Each IED's status in a check: "ok", "changed", "missing", "new", "unreadable".
ordered_json check_statuses(const ApprovalCheck& check) {
  ordered_json statuses = ordered_json::object();
  for (const CheckedIed& ied : check.ieds) statuses[ied.name] = check_status_name(ied.status);
  return statuses;
}

// `ccdcrc check LIST SCD`: the report and what fails, in the program's words;
// a list with malformed lines fails, as it does by default.
char* approval_check(const PageScd& opened, const std::string& list_name, std::string_view list) {
  const CheckList read = read_check_list_bytes(list, list_name, true);
  if (!read.baseline) return failure_answer(note_text(read.notes.back()));
  const CheckOutcome outcome = check_listed(read, *opened.scd, opened.listed, {false, false, 1});
  std::ostringstream text;
  write_check_report(text, {Format::text, false, list_name, opened.scd->path()}, outcome.check);
  std::vector<std::string> failures = outcome.failures;
  failures.insert(failures.end(), outcome.list_failures.begin(), outcome.list_failures.end());
  std::vector<std::string> notes;
  for (const Note& note : read.notes) notes.push_back(note_text(note));
  return answer({{"ok", true},
                 {"approved", outcome.passed()},
                 {"text", text.str()},
                 {"failures", failures},
                 {"notes", notes},
                 {"statuses", check_statuses(outcome.check)}});
}

// `ccdcrc verify FILE [--scd SCD]` of one file: its line of the report, and
// the errors and warnings the program gives.
char* verify_upload(const PageScd* against, const std::string& name, std::string_view bytes) {
  const VerifyOutcome outcome = verify_bytes(bytes, name, against ? against->scd.get() : nullptr);
  std::vector<std::string> errors;
  std::vector<std::string> warnings;
  for (const Note& note : outcome.notes) {
    (note.severity == Note::Severity::warning ? warnings : errors).push_back(note_text(note));
  }
  std::ostringstream text;
  write_verify_report(text, Format::text, against ? std::optional(against->scd->path()) : std::nullopt,
                      {&outcome.files.front()});
  return answer({{"ok", true},
                 {"status", verify_status_name(outcome.files.front().status)},
                 {"text", text.str()},
                 {"errors", errors},
                 {"warnings", warnings}});
}

// Every CCD of `export --all` in one zip archive, left in the module's memory
// for the worker to take (at `address`, then given back with page_free).
char* zip_upload(const PageScd& opened) {
  ZippedExport zipped = export_zip(*opened.scd, progress_of("exporting"));
  char* bytes = nullptr;
  if (!zipped.zip.empty()) {
    bytes = static_cast<char*>(std::malloc(zipped.zip.size()));
    if (!bytes) throw std::bad_alloc();
    std::memcpy(bytes, zipped.zip.data(), zipped.zip.size());
  }
  const std::size_t written = zipped.outcome.written.size();
  return answer({{"ok", true},
                 {"address", reinterpret_cast<std::uintptr_t>(bytes)},
                 {"size", zipped.zip.size()},
                 {"written", written},
                 {"notes", note_texts(zipped.outcome.notes)}});
}

// `ccdcrc history --format html` of the open SCDs, in the order given.
char* history_of(const std::vector<const PageScd*>& revisions) {
  HistoryRequest request;
  for (const PageScd* opened : revisions) {
    request.files.push_back(opened->scd->path());
    request.loaded.push_back(opened->scd.get());
  }
  request.cache = false;
  request.options.documents = 1;
  request.options.jobs = 1;
  const HistoryOutcome outcome = run_history(request, progress_of("listing"));
  if (outcome.failure) return failure_answer(outcome.failure->where + ": " + outcome.failure->reason);
  std::ostringstream html;
  write_history_html(html, outcome.history);
  return answer({{"ok", true}, {"html", html.str()}});
}

}  // namespace

}  // namespace ccdcrc

using ccdcrc::Session;

extern "C" {

EMSCRIPTEN_KEEPALIVE Session* page_session() { return new (std::nothrow) Session(); }

EMSCRIPTEN_KEEPALIVE void page_free(char* text) { std::free(text); }

// Room for the `size` bytes of the file to open next, which the worker writes
// there; null when memory runs out (a size a double holds beyond what the
// page may address too). Replaces the room given before.
EMSCRIPTEN_KEEPALIVE char* page_text(Session* session, double size) {
  session->next_text.release();
  if (!(size >= 0 && size < static_cast<double>(SIZE_MAX / 2))) return nullptr;
  return session->next_text.resize(static_cast<std::size_t>(size)) ? session->next_text.data() : nullptr;
}

// Gives back the room of page_text (when its file could not be read).
EMSCRIPTEN_KEEPALIVE void page_text_release(Session* session) { session->next_text.release(); }

// Opens the bytes written into the room of page_text as the file `name`
// (plain, gzip or zip).
EMSCRIPTEN_KEEPALIVE char* page_open(Session* session, const char* name) {
  return ccdcrc::guarded([&] { return ccdcrc::open_upload(*session, name); });
}

// A SHA-256 of bytes the worker hands over in parts: begun (null when
// memory runs out), fed, and ended, which gives its hexadecimal digits (to be
// given back to page_free; null when memory runs out) and frees it.
EMSCRIPTEN_KEEPALIVE ccdcrc::Sha256* page_sha256_begin() {
  try {
    return new ccdcrc::Sha256();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

EMSCRIPTEN_KEEPALIVE void page_sha256_update(ccdcrc::Sha256* digest, const char* bytes, std::size_t size) {
  digest->update({bytes, size});
}

EMSCRIPTEN_KEEPALIVE char* page_sha256_end(ccdcrc::Sha256* digest) {
  const std::unique_ptr<ccdcrc::Sha256> ended(digest);
  try {
    const std::string hex = ended->hex_digest();
    char* copy = static_cast<char*>(std::malloc(hex.size() + 1));
    if (copy) std::memcpy(copy, hex.c_str(), hex.size() + 1);
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// The SHA-256 of the bytes of an open SCD as the file gave them (computed
// beside its parse), as the program's of the file.
EMSCRIPTEN_KEEPALIVE void page_digest(Session* session, int number, const char* sha256) {
  const auto found = session->scds.find(number);
  if (found != session->scds.end()) found->second.file.sha256 = sha256;
}

EMSCRIPTEN_KEEPALIVE void page_close(Session* session, int number) { session->scds.erase(number); }

// format: 0 CSV, 1 JSON; number: the SCD, or -1 for every open one.
EMSCRIPTEN_KEEPALIVE char* page_crc_table(Session* session, int format, int number) {
  return ccdcrc::guarded([&] {
    const std::string text =
        ccdcrc::crc_table(*session, format == 1 ? ccdcrc::Format::json : ccdcrc::Format::csv, number);
    return ccdcrc::answer({{"ok", true}, {"text", text}});
  });
}

// measured: 0 the exported file, 1 the content its CRC covers.
EMSCRIPTEN_KEEPALIVE char* page_ccd(Session* session, int number, const char* ied_name, int measured) {
  return ccdcrc::guarded([&] {
    const ccdcrc::PageScd* opened = ccdcrc::find(*session, number);
    if (!opened) return ccdcrc::failure_answer("the file is no longer open");
    return ccdcrc::ied_ccd(*opened, ied_name, measured ? ccdcrc::CcdForm::measured : ccdcrc::CcdForm::exported);
  });
}

// The change report; with a list of approved CRCs (`list_name` not empty:
// `size` bytes at `list`) its Approved column.
EMSCRIPTEN_KEEPALIVE char* page_change_report(Session* session, int old_number, int new_number, const char* list_name,
                                              const char* list, std::size_t size) {
  return ccdcrc::guarded([&] {
    const ccdcrc::PageScd* old_scd = ccdcrc::find(*session, old_number);
    const ccdcrc::PageScd* new_scd = ccdcrc::find(*session, new_number);
    if (!old_scd || !new_scd) return ccdcrc::failure_answer("the file is no longer open");
    const std::optional<std::string_view> approved =
        *list_name != '\0' ? std::optional<std::string_view>(std::string_view(list, size)) : std::nullopt;
    return ccdcrc::report_answer(*old_scd, *new_scd, list_name, approved);
  });
}

// Checks an open SCD against the list of approved CRCs of `size` bytes at `list`.
EMSCRIPTEN_KEEPALIVE char* page_check(Session* session, int number, const char* list_name, const char* list,
                                      std::size_t size) {
  return ccdcrc::guarded([&] {
    const ccdcrc::PageScd* opened = ccdcrc::find(*session, number);
    if (!opened) return ccdcrc::failure_answer("the file is no longer open");
    return ccdcrc::approval_check(*opened, list_name, {list, size});
  });
}

// Verifies the CCD file `name` of `size` bytes at `bytes`, against the open
// SCD `number` (or against its own content alone when negative).
EMSCRIPTEN_KEEPALIVE char* page_verify(Session* session, int number, const char* name, const char* bytes,
                                       std::size_t size) {
  return ccdcrc::guarded([&] {
    const ccdcrc::PageScd* against = number < 0 ? nullptr : ccdcrc::find(*session, number);
    if (number >= 0 && !against) return ccdcrc::failure_answer("the file is no longer open");
    return ccdcrc::verify_upload(against, name, {bytes, size});
  });
}

// Every CCD of an open SCD as one zip archive.
EMSCRIPTEN_KEEPALIVE char* page_zip(Session* session, int number) {
  return ccdcrc::guarded([&] {
    const ccdcrc::PageScd* opened = ccdcrc::find(*session, number);
    if (!opened) return ccdcrc::failure_answer("the file is no longer open");
    return ccdcrc::zip_upload(*opened);
  });
}

// The history of the open SCDs whose numbers (int32) fill the `size` bytes
// at `numbers`, in that order.
EMSCRIPTEN_KEEPALIVE char* page_history(Session* session, const std::int32_t* numbers, std::size_t size) {
  return ccdcrc::guarded([&] {
    std::vector<const ccdcrc::PageScd*> revisions;
    for (std::size_t k = 0; k < size / sizeof(std::int32_t); ++k) {
      const ccdcrc::PageScd* opened = ccdcrc::find(*session, numbers[k]);
      if (!opened) return ccdcrc::failure_answer("the file is no longer open");
      revisions.push_back(opened);
    }
    return ccdcrc::history_of(revisions);
  });
}

}  // extern "C"
