#pragma once
// The handle interface as a C++ test sees it: owners that close and free,
// and each call's result as plain values, with the status and the error.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ccdcrc/ccdcrc.h"

namespace ccdcrc::testing {

struct ErrorFree {
  void operator()(ccdcrc_error* error) const { ccdcrc_error_free(error); }
};
struct ScdClose {
  void operator()(ccdcrc_scd* scd) const { ccdcrc_scd_close(scd); }
};
using ErrorObject = std::unique_ptr<ccdcrc_error, ErrorFree>;
using OpenScd = std::unique_ptr<ccdcrc_scd, ScdClose>;

// A result of the library, released by its function also when the test's own
// work on it throws (a test that makes allocations fail).
template <typename Result, void (*release)(Result*)>
struct Released {
  Result* result = nullptr;
  Released() = default;
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;
  ~Released() { release(result); }
};

// What a call returned and what its error object says.
struct Outcome {
  ccdcrc_status status = CCDCRC_OK;
  std::string message;
  std::string file;
  std::size_t line = 0;
  std::size_t column = 0;
};

inline Outcome outcome(ccdcrc_status status, const ccdcrc_error* error) {
  return {status, ccdcrc_error_message(error), ccdcrc_error_file(error), ccdcrc_error_line(error),
          ccdcrc_error_column(error)};
}

// A call's value, or its outcome when it failed.
template <typename Value>
struct Answer {
  Outcome outcome;
  Value value{};
  bool operator==(const Answer& other) const {
    return outcome.status == other.outcome.status && outcome.message == other.outcome.message && value == other.value;
  }
};

inline std::pair<OpenScd, Outcome> open_path(const std::string& path) {
  const ErrorObject error(ccdcrc_error_new());
  ccdcrc_scd* scd = nullptr;
  const ccdcrc_status status = ccdcrc_scd_open(path.c_str(), &scd, error.get());
  OpenScd opened(scd);
  return {std::move(opened), outcome(status, error.get())};
}

inline std::pair<OpenScd, Outcome> open_bytes(const std::string& bytes, const std::string& name) {
  const ErrorObject error(ccdcrc_error_new());
  ccdcrc_scd* scd = nullptr;
  const ccdcrc_status status = ccdcrc_scd_open_memory(bytes.data(), bytes.size(), name.c_str(), &scd, error.get());
  OpenScd opened(scd);
  return {std::move(opened), outcome(status, error.get())};
}

inline Answer<std::vector<std::string>> ied_names(const ccdcrc_scd* scd) {
  const ErrorObject error(ccdcrc_error_new());
  Released<ccdcrc_names, ccdcrc_free_names> names;
  const ccdcrc_status status = ccdcrc_scd_ieds(scd, &names.result, error.get());
  Answer<std::vector<std::string>> answer;
  answer.outcome = outcome(status, error.get());
  if (names.result) answer.value.assign(names.result->names, names.result->names + names.result->count);
  return answer;
}

inline Answer<std::string> ied_crc(const ccdcrc_scd* scd, const std::string& name) {
  const ErrorObject error(ccdcrc_error_new());
  char crc[CCDCRC_CRC_SIZE] = "garbage";
  Answer<std::string> answer;
  answer.outcome = outcome(ccdcrc_scd_ied_crc(scd, name.c_str(), crc, error.get()), error.get());
  answer.value = crc;
  return answer;
}

// Name and CRC of each IED, then "SCD CRC" and the SCD CRC.
inline Answer<std::vector<std::pair<std::string, std::string>>> all_crcs(const ccdcrc_scd* scd, unsigned jobs) {
  const ErrorObject error(ccdcrc_error_new());
  Released<ccdcrc_crcs, ccdcrc_free_crcs> crcs;
  const ccdcrc_status status = ccdcrc_scd_all_crcs(scd, jobs, &crcs.result, error.get());
  Answer<std::vector<std::pair<std::string, std::string>>> answer;
  answer.outcome = outcome(status, error.get());
  if (const ccdcrc_crcs* list = crcs.result) {
    for (std::size_t i = 0; i < list->count; ++i) answer.value.emplace_back(list->ieds[i].name, list->ieds[i].crc);
    answer.value.emplace_back("SCD CRC", list->scd_crc);
  }
  return answer;
}

inline Answer<std::string> ccd_text(const ccdcrc_scd* scd, const std::string& name, ccdcrc_ccd_form form) {
  const ErrorObject error(ccdcrc_error_new());
  Released<char, ccdcrc_free_text> text;
  std::size_t size = 0;
  const ccdcrc_status status = ccdcrc_scd_ccd_text(scd, name.c_str(), form, &text.result, &size, error.get());
  Answer<std::string> answer;
  answer.outcome = outcome(status, error.get());
  if (text.result) answer.value.assign(text.result, size);
  return answer;
}

inline Answer<std::string> export_ied(const ccdcrc_scd* scd, const std::string& name, const std::string& directory) {
  const ErrorObject error(ccdcrc_error_new());
  char crc[CCDCRC_CRC_SIZE] = "garbage";
  Answer<std::string> answer;
  answer.outcome = outcome(ccdcrc_scd_export(scd, name.c_str(), directory.c_str(), crc, error.get()), error.get());
  answer.value = crc;
  return answer;
}

// One IED of an export of every IED: name, status, CRC, file, message.
struct ExportEntry {
  std::string name;
  ccdcrc_status status = CCDCRC_OK;
  std::string crc;
  std::string path;
  std::string message;
  bool operator==(const ExportEntry&) const = default;
};

inline Answer<std::vector<ExportEntry>> export_all(const ccdcrc_scd* scd, const std::string& directory, unsigned jobs) {
  const ErrorObject error(ccdcrc_error_new());
  Released<ccdcrc_exports, ccdcrc_free_exports> exports;
  const ccdcrc_status status = ccdcrc_scd_export_all(scd, directory.c_str(), jobs, &exports.result, error.get());
  Answer<std::vector<ExportEntry>> answer;
  answer.outcome = outcome(status, error.get());
  if (const ccdcrc_exports* list = exports.result) {
    for (std::size_t i = 0; i < list->count; ++i) {
      const ccdcrc_export& entry = list->ieds[i];
      answer.value.push_back({entry.name, entry.status, entry.crc, entry.path, entry.message});
    }
  }
  return answer;
}

// Every answer an open SCD gives to the questions that write no file.
struct Answers {
  Answer<std::vector<std::string>> names;
  Answer<std::vector<std::pair<std::string, std::string>>> crcs;
  std::map<std::string, Answer<std::string>> ied_crcs;
  std::map<std::string, Answer<std::string>> measured;
  std::map<std::string, Answer<std::string>> exported;  // with the time stamps of SOURCE_DATE_EPOCH
  bool operator==(const Answers&) const = default;
};

inline Answers answers_of(const ccdcrc_scd* scd, unsigned jobs = 1) {
  Answers answers;
  answers.names = ied_names(scd);
  answers.crcs = all_crcs(scd, jobs);
  for (const std::string& name : answers.names.value) {
    answers.ied_crcs[name] = ied_crc(scd, name);
    answers.measured[name] = ccd_text(scd, name, CCDCRC_CCD_MEASURED);
    answers.exported[name] = ccd_text(scd, name, CCDCRC_CCD_EXPORTED);
  }
  return answers;
}

}  // namespace ccdcrc::testing
