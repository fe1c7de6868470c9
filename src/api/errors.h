#pragma once
// How the handle interface reports a failure: the status it returns and the
// error object the caller passed, filled without throwing, also when memory
// runs out while the message is made.

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "ccdcrc/ccdcrc.h"
#include "xml/source_text.h"

struct ccdcrc_error {
  ccdcrc_status status = CCDCRC_OK;
  std::string message;
  std::string file;
  std::size_t line = 0;
  std::size_t column = 0;
  // The message when there was no memory to make it: static text.
  const char* fallback = nullptr;
};

namespace ccdcrc {

// Describes the failure in `error` (when given) and returns its status.
ccdcrc_status fail(ccdcrc_error* error, ccdcrc_status status, std::string_view file, std::string_view reason,
                   TextPosition position = {}) noexcept;

// Marks the error object as describing a call that succeeded.
void clear(ccdcrc_error* error) noexcept;

// Runs the body of a call that returns a status. Whatever it throws becomes a
// status and a message about `file` (the file the call works on; may be
// null): std::bad_alloc CCDCRC_OUT_OF_MEMORY, anything else
// CCDCRC_INTERNAL_ERROR.
template <typename Body>
ccdcrc_status guarded_call(ccdcrc_error* error, const char* file, Body&& body) noexcept {
  clear(error);
  const std::string_view subject = file ? std::string_view(file) : std::string_view();
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return fail(error, CCDCRC_OUT_OF_MEMORY, subject, "not enough memory");
  } catch (const std::exception& exception) {
    return fail(error, CCDCRC_INTERNAL_ERROR, subject, exception.what());
  } catch (...) {
    return fail(error, CCDCRC_INTERNAL_ERROR, subject, "unexpected failure");
  }
}

// 'text', as messages quote names.

}  // namespace ccdcrc
