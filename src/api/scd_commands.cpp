// The commands that compare, check and verify, each answering as the
// program does with --format json (the change report: its HTML or Markdown).

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "api/scd_handle.h"
#include "report/binding_report.h"
#include "report/check_report.h"
#include "report/verify_report.h"
#include "workflows/check_workflow.h"
#include "workflows/crc_workflows.h"
#include "workflows/diff_workflow.h"
#include "workflows/verify_workflow.h"

using ccdcrc::fail;
using ccdcrc::guarded_call;

namespace {

// The checks every call makes of where its answer goes.
ccdcrc_status no_answer(char** text, size_t* size, ccdcrc_error* error) {
  if (size) *size = 0;
  if (!text) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "there is nowhere to store the answer");
  *text = nullptr;
  return CCDCRC_OK;
}

ccdcrc_status no_scd(ccdcrc_error* error) { return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "an SCD is null"); }

// The error note that ends a workflow which could not answer.
ccdcrc_status unusable_list(const ccdcrc::Notes& notes, ccdcrc_error* error) {
  const ccdcrc::Note& note = notes.back();
  return fail(error, CCDCRC_UNUSABLE_LIST, note.where, note.text);
}

}  // namespace

extern "C" ccdcrc_status ccdcrc_diff_json(const ccdcrc_scd* old_scd, const ccdcrc_scd* new_scd, int every_ied,
                                          int explain, unsigned jobs, char** json, size_t* size, ccdcrc_error* error) {
  return guarded_call(error, ccdcrc::subject_of(new_scd), [&] {
    if (const ccdcrc_status status = no_answer(json, size, error); status != CCDCRC_OK) return status;
    if (!old_scd || !new_scd) return no_scd(error);
    const ccdcrc::Scd& old_doc = *old_scd->scd;
    const ccdcrc::Scd& new_doc = *new_scd->scd;
    ccdcrc::DiffOutcome diff = ccdcrc::diff_scds(old_doc, new_doc, jobs, false);
    diff.report.changes_only = every_ied == 0;
    std::ostringstream out;
    if (explain) {
      ccdcrc::ExplainedIeds explained{ccdcrc::explained_ieds(diff.report, {}).ieds, jobs, {}, {}};
      ccdcrc::write_diff_report(out, ccdcrc::Format::json, diff.report, std::move(explained), old_doc, new_doc);
    } else {
      ccdcrc::write_diff_report(out, ccdcrc::Format::json, diff.report, nullptr);
    }
    ccdcrc::hand_out(out.str(), json, size);
    return CCDCRC_OK;
  });
}

extern "C" ccdcrc_status ccdcrc_check_json(const ccdcrc_scd* scd, const char* list_path, int ignore_missing,
                                           unsigned jobs, int* passed, char** json, size_t* size, ccdcrc_error* error) {
  if (passed) *passed = 0;
  return guarded_call(error, list_path, [&] {
    if (const ccdcrc_status status = no_answer(json, size, error); status != CCDCRC_OK) return status;
    if (!scd) return no_scd(error);
    if (!list_path) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the list's path is null");
    const ccdcrc::CheckList list = ccdcrc::read_check_list(list_path, false);
    if (!list.baseline) return unusable_list(list.notes, error);
    const ccdcrc::CheckOutcome outcome = ccdcrc::check_scd(list, *scd->scd, {ignore_missing != 0, false, jobs});
    std::ostringstream out;
    ccdcrc::write_check_report(out, {ccdcrc::Format::json, false, list.path, scd->scd->path()}, outcome.check);
    ccdcrc::hand_out(out.str(), json, size);
    if (passed) *passed = outcome.passed() ? 1 : 0;
    return CCDCRC_OK;
  });
}

extern "C" ccdcrc_status ccdcrc_verify_json(const char* const* paths, size_t count, const ccdcrc_scd* scd, char** json,
                                            size_t* size, ccdcrc_error* error) {
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (const ccdcrc_status status = no_answer(json, size, error); status != CCDCRC_OK) return status;
    if (!paths || count == 0) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "no CCD file was given");
    std::vector<std::string> files;
    for (size_t i = 0; i < count; ++i) {
      if (!paths[i]) return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "a path is null");
      files.emplace_back(paths[i]);
    }
    const ccdcrc::VerifyOutcome outcome = ccdcrc::verify_files(files, scd ? scd->scd.get() : nullptr);
    std::vector<const ccdcrc::VerifiedFile*> shown;
    for (const ccdcrc::VerifiedFile& file : outcome.files) shown.push_back(&file);
    std::ostringstream out;
    ccdcrc::write_verify_report(out, ccdcrc::Format::json, scd ? std::optional(scd->scd->path()) : std::nullopt, shown);
    ccdcrc::hand_out(out.str(), json, size);
    return CCDCRC_OK;
  });
}

extern "C" ccdcrc_status ccdcrc_bindings_json(const ccdcrc_scd* scd, unsigned jobs, char** json, size_t* size,
                                              ccdcrc_error* error) {
  return guarded_call(error, ccdcrc::subject_of(scd), [&] {
    if (const ccdcrc_status status = no_answer(json, size, error); status != CCDCRC_OK) return status;
    if (!scd) return no_scd(error);
    const ccdcrc::Scd& doc = *scd->scd;
    std::ostringstream out;
    ccdcrc::write_broken_bindings(out, ccdcrc::Format::json, doc.path(), ccdcrc::scd_broken_bindings(doc, jobs).broken);
    ccdcrc::hand_out(out.str(), json, size);
    return CCDCRC_OK;
  });
}

extern "C" ccdcrc_status ccdcrc_change_report(const ccdcrc_scd* old_scd, const ccdcrc_scd* new_scd,
                                              ccdcrc_report_format format, const char* approved_path, int signoff,
                                              unsigned jobs, char** text, size_t* size, ccdcrc_error* error) {
  return guarded_call(error, ccdcrc::subject_of(new_scd), [&] {
    if (const ccdcrc_status status = no_answer(text, size, error); status != CCDCRC_OK) return status;
    if (!old_scd || !new_scd) return no_scd(error);
    if (format != CCDCRC_REPORT_HTML && format != CCDCRC_REPORT_MARKDOWN) {
      return fail(error, CCDCRC_INVALID_ARGUMENT, {}, "the report's format is neither HTML nor Markdown");
    }
    ccdcrc::ChangeReportRequest request;
    request.kind = format == CCDCRC_REPORT_HTML ? ccdcrc::ReportKind::html : ccdcrc::ReportKind::markdown;
    request.signoff = signoff != 0;
    if (approved_path) request.approved = approved_path;
    request.jobs = jobs;
    const ccdcrc::Scd& old_doc = *old_scd->scd;
    const ccdcrc::Scd& new_doc = *new_scd->scd;
    ccdcrc::DiffOutcome diff = ccdcrc::diff_scds(old_doc, new_doc, jobs, false);
    const ccdcrc::ChangeReportOutcome report =
        ccdcrc::change_report(diff, old_doc, old_scd->file, new_doc, new_scd->file, request);
    if (!report.text) return unusable_list(report.notes, error);
    ccdcrc::hand_out(*report.text, text, size);
    return CCDCRC_OK;
  });
}
