// Statuses, error objects and the version of the handle interface.

#include "api/errors.h"

// A caller in C or another language may pass any value.
extern "C" const char* ccdcrc_status_text(ccdcrc_status status) {
  switch (status) {
    case CCDCRC_OK: return "success";
    case CCDCRC_FILE_NOT_FOUND: return "no such file";
    case CCDCRC_FILE_UNREADABLE: return "the file cannot be read";
    case CCDCRC_NOT_A_FILE: return "not a regular file";
    case CCDCRC_MALFORMED_XML: return "not well-formed XML";
    case CCDCRC_UNKNOWN_IED: return "no IED of that name";
    case CCDCRC_NO_CIRCUITS: return "the IED has no GOOSE or sampled-value circuits";
    case CCDCRC_UNSAFE_NAME: return "the IED name cannot be a file name";
    case CCDCRC_TOO_DEEP: return "the CCD nests too many levels to be written";
    case CCDCRC_WRITE_FAILED: return "a file cannot be written";
    case CCDCRC_OUT_OF_MEMORY: return "not enough memory";
    case CCDCRC_INVALID_ARGUMENT: return "invalid argument";
    case CCDCRC_INTERNAL_ERROR: return "internal error";
    case CCDCRC_PARTLY_READ: return "part of the file would be left out";
    case CCDCRC_NOT_AN_SCD: return "not an SCD file";
    case CCDCRC_UNUSABLE_LIST: return "the list of approved CRCs cannot be used";
  }
  return "unknown status";
}

extern "C" const char* ccdcrc_version(void) { return CCDCRC_VERSION; }

extern "C" ccdcrc_error* ccdcrc_error_new(void) { return new (std::nothrow) ccdcrc_error(); }

extern "C" void ccdcrc_error_free(ccdcrc_error* error) { delete error; }

extern "C" ccdcrc_status ccdcrc_error_status(const ccdcrc_error* error) { return error ? error->status : CCDCRC_OK; }

extern "C" const char* ccdcrc_error_message(const ccdcrc_error* error) {
  if (!error) return "";
  return error->fallback ? error->fallback : error->message.c_str();
}

extern "C" const char* ccdcrc_error_file(const ccdcrc_error* error) { return error ? error->file.c_str() : ""; }

extern "C" size_t ccdcrc_error_line(const ccdcrc_error* error) { return error ? error->line : 0; }

extern "C" size_t ccdcrc_error_column(const ccdcrc_error* error) { return error ? error->column : 0; }

namespace ccdcrc {

void clear(ccdcrc_error* error) noexcept {
  if (!error) return;
  error->status = CCDCRC_OK;
  error->message.clear();
  error->file.clear();
  error->line = 0;
  error->column = 0;
  error->fallback = nullptr;
}

ccdcrc_status fail(ccdcrc_error* error, ccdcrc_status status, std::string_view file, std::string_view reason,
                   TextPosition position) noexcept {
  if (!error) return status;
  clear(error);
  error->status = status;
  try {
    error->file = file;
    if (!file.empty()) {
      error->message = location(std::string(file), position) + ": ";
      error->line = position.line;
      error->column = position.column;
    }
    error->message += reason;
  } catch (...) {
    error->file.clear();
    error->message.clear();
    error->fallback = ccdcrc_status_text(status);
  }
  return status;
}

}  // namespace ccdcrc
