/* ccdcrc: CRCs of the GOOSE and sampled-value circuits of the IEDs of an
 * IEC 61850 SCD file.
 *
 * Two interfaces:
 *
 * - Three functions that load the SCD on every call: compute_all_ied_crcs,
 *   compute_ied_crc and export_ied_ccd. Every result is allocated with the
 *   array form of operator new and belongs to the caller: release it with
 *   delete[] (C++ sharing the library's C++ runtime), or with
 *   ccdcrc_free_pairs and ccdcrc_free_text (C, other languages, and C++
 *   built with another compiler, such as MSVC against ccdcrc.dll).
 *   Failures are silent: an SCD that cannot be loaded gives no pairs and
 *   the SCD CRC "00000000"; an unknown IED or one without circuits gives
 *   the empty text. No function throws.
 *
 * - An SCD opened once (ccdcrc_scd) and asked any number of questions. Every
 *   call that can fail returns a ccdcrc_status and, when given a ccdcrc_error,
 *   describes the failure there: what went wrong, in which file, and for XML
 *   that is not well-formed at which line and column. Results are released
 *   with the ccdcrc_free_* function named at each call.
 *
 * Paths are UTF-8 on every system (on Windows, convert wide arguments with
 * WideCharToMultiByte(CP_UTF8, ...), not the ANSI code page); texts handed
 * out are UTF-8 too.
 *
 * Threading: the library has no global state. One open SCD may be queried
 * from any number of threads at once; each thread passes its own ccdcrc_error
 * (an error object is used by one call at a time). ccdcrc_scd_close must not
 * run while a query on the same SCD does. */
#ifndef CCDCRC_H
#define CCDCRC_H

#include <stddef.h>

#include "ccdcrc/version.h"

#include "ccdcrc/export.h"
/* Callers that use the handle interface alone leave the three functions out
 * with CCDCRC_NO_LEGACY. */
#ifndef CCDCRC_NO_LEGACY
#include "ccdcrc/legacy.h"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Releases a text handed out by this library. */
CCDCRC_API void ccdcrc_free_text(char* text);

/* ---- The version ------------------------------------------------------ */

/* The version of the library that runs, e.g. "0.1.0"; CCDCRC_VERSION
 * (ccdcrc/version.h) is the one compiled against. Static text, not freed. */
CCDCRC_API const char* ccdcrc_version(void);

/* ---- Status and errors ------------------------------------------------ */

typedef enum ccdcrc_status {
  CCDCRC_OK = 0,
  CCDCRC_FILE_NOT_FOUND = 1,    /* no such file (or path too long, symbolic link loop) */
  CCDCRC_FILE_UNREADABLE = 2,   /* permission denied, or reading failed */
  CCDCRC_NOT_A_FILE = 3,        /* a directory, FIFO, socket or device */
  CCDCRC_MALFORMED_XML = 4,     /* not well-formed XML, or an empty file */
  CCDCRC_UNKNOWN_IED = 5,       /* no IED of that name (or the root is not SCL) */
  CCDCRC_NO_CIRCUITS = 6,       /* the IED publishes and subscribes nothing: no CRC, no CCD */
  CCDCRC_UNSAFE_NAME = 7,       /* the IED name cannot be a file name ("", ".", "..", "/", "\", or one Windows
                                   cannot hold: CON, a:b ...), or its file would replace one of the same run */
  CCDCRC_TOO_DEEP = 8,          /* the CCD nests more levels than a file may (its CRC is computed) */
  CCDCRC_WRITE_FAILED = 9,      /* the export directory or a CCD file cannot be written */
  CCDCRC_OUT_OF_MEMORY = 10,    /* nothing was kept or handed out */
  CCDCRC_INVALID_ARGUMENT = 11, /* a null pointer or another value the call does not take */
  CCDCRC_INTERNAL_ERROR = 12,   /* anything else, e.g. no thread could be started */
  CCDCRC_PARTLY_READ = 13,      /* part of the file would be left out (content after a zero byte or after the
                                   root element, or an archive beside the XML document): its CRCs could stand
                                   for no approval, and nothing is handed out */
  CCDCRC_NOT_AN_SCD = 14,       /* well-formed XML whose root element is not SCL (a CCD file, for example) */
  CCDCRC_UNUSABLE_LIST = 15     /* a list of approved CRCs that cannot be read, or is no such list */
} ccdcrc_status;

/* A short text for a status (a ccdcrc_status), e.g. "no such file". Static
 * text, not freed. */
CCDCRC_API const char* ccdcrc_status_text(ccdcrc_status status);

/* What went wrong in the last call an error object was passed to. */
typedef struct ccdcrc_error ccdcrc_error;

/* A new error object; null when there is no memory for it. Calls take null
 * for an error object and then report the status alone. */
CCDCRC_API ccdcrc_error* ccdcrc_error_new(void);
CCDCRC_API void ccdcrc_error_free(ccdcrc_error* error);

/* CCDCRC_OK after a call that succeeded. */
CCDCRC_API ccdcrc_status ccdcrc_error_status(const ccdcrc_error* error);
/* The whole message, "FILE:LINE:COLUMN: REASON", "FILE: REASON" or "REASON";
 * the empty text after a call that succeeded; ccdcrc_status_text of the
 * status when memory ran out while the message was made. Valid until the
 * error object is passed to another call or freed. */
CCDCRC_API const char* ccdcrc_error_message(const ccdcrc_error* error);
/* The file the failure concerns (the SCD's path or name, the export
 * directory, a CCD file); the empty text when it concerns none. */
CCDCRC_API const char* ccdcrc_error_file(const ccdcrc_error* error);
/* Line and column (1-based, the column in bytes) of XML that is not
 * well-formed; 0 when unknown (other failures, files not in UTF-8). */
CCDCRC_API size_t ccdcrc_error_line(const ccdcrc_error* error);
CCDCRC_API size_t ccdcrc_error_column(const ccdcrc_error* error);

/* ---- An open SCD ------------------------------------------------------ */

typedef struct ccdcrc_scd ccdcrc_scd;

/* Opens and loads an SCD file as the program does: plain XML, gzip, or the
 * one SCL file of a zip archive ("-" is standard input). On success `*scd` is
 * the open SCD, to be closed with ccdcrc_scd_close; on failure it is null,
 * and the error says why in the program's words. A root other than SCL fails
 * with CCDCRC_NOT_AN_SCD, a file read only in part with CCDCRC_PARTLY_READ. */
CCDCRC_API ccdcrc_status ccdcrc_scd_open(const char* path, ccdcrc_scd** scd, ccdcrc_error* error);

/* Loads an SCD from `size` bytes (copied; the caller keeps its buffer).
 * `name` stands for them in messages; null for "<memory>". */
CCDCRC_API ccdcrc_status ccdcrc_scd_open_memory(const void* data, size_t size, const char* name, ccdcrc_scd** scd,
                                                ccdcrc_error* error);

/* Releases an open SCD and everything it holds; null is ignored. */
CCDCRC_API void ccdcrc_scd_close(ccdcrc_scd* scd);

/* A CRC text: eight upper-case hexadecimal digits and a zero byte. */
#define CCDCRC_CRC_SIZE 9

/* IED names, byte-wise ordered, each once. */
typedef struct ccdcrc_names {
  size_t count;
  const char* const* names;
} ccdcrc_names;

/* The name of every IED of the SCD, also of IEDs without circuits. Release
 * `*names` with ccdcrc_free_names. */
CCDCRC_API ccdcrc_status ccdcrc_scd_ieds(const ccdcrc_scd* scd, ccdcrc_names** names, ccdcrc_error* error);
CCDCRC_API void ccdcrc_free_names(ccdcrc_names* names);

/* The CRC of the IED of that name (of several, the first), written to `crc`
 * (may be null). CCDCRC_UNKNOWN_IED or CCDCRC_NO_CIRCUITS when it has none. */
CCDCRC_API ccdcrc_status ccdcrc_scd_ied_crc(const ccdcrc_scd* scd, const char* ied_name, char crc[CCDCRC_CRC_SIZE],
                                            ccdcrc_error* error);

typedef struct ccdcrc_ied_crc {
  const char* name;
  char crc[CCDCRC_CRC_SIZE];
} ccdcrc_ied_crc;

/* Every IED that has a CRC, byte-wise ordered by name, and the SCD CRC over
 * their CRCs, as compute_all_ied_crcs gives them (of several IEDs of a name,
 * the last one with circuits). */
typedef struct ccdcrc_crcs {
  size_t count;
  const ccdcrc_ied_crc* ieds;
  char scd_crc[CCDCRC_CRC_SIZE];
} ccdcrc_crcs;

/* The CRC of every IED and the SCD CRC, built on `jobs` threads (0: one per
 * core; 1: the calling thread only). Release `*crcs` with ccdcrc_free_crcs. */
CCDCRC_API ccdcrc_status ccdcrc_scd_all_crcs(const ccdcrc_scd* scd, unsigned jobs, ccdcrc_crcs** crcs,
                                             ccdcrc_error* error);
CCDCRC_API void ccdcrc_free_crcs(ccdcrc_crcs* crcs);

typedef enum ccdcrc_ccd_form {
  CCDCRC_CCD_EXPORTED = 0, /* as a CCD file holds it: with descriptions, the CRC element and the time */
  CCDCRC_CCD_MEASURED = 1, /* the finished CCD, serialised as it is before its CRC is computed */
  /* No form: it keeps the type as wide as an int, so that any value a caller
     passes is a value of the type, which the library checks. */
  CCDCRC_CCD_FORM_WIDTH = 0x7FFFFFFF
} ccdcrc_ccd_form;

/* The CCD text of the IED of that name (of several, the first), UTF-8, as
 * `ccdcrc ccd` prints it; `form` is a ccdcrc_ccd_form. `*text` is released
 * with ccdcrc_free_text; `size` (may be null) receives its length in bytes,
 * without the zero byte. */
CCDCRC_API ccdcrc_status ccdcrc_scd_ccd_text(const ccdcrc_scd* scd, const char* ied_name, ccdcrc_ccd_form form,
                                             char** text, size_t* size, ccdcrc_error* error);

/* Writes directory + "/" + IED name + ".ccd" for the IED of that name (of
 * several, the first), complete or not at all; its CRC goes to `crc` (may be
 * null). The time stamp is the local time, or SOURCE_DATE_EPOCH in UTC when
 * that environment variable holds a number of seconds. */
CCDCRC_API ccdcrc_status ccdcrc_scd_export(const ccdcrc_scd* scd, const char* ied_name, const char* directory,
                                           char crc[CCDCRC_CRC_SIZE], ccdcrc_error* error);

/* One IED of ccdcrc_scd_export_all. */
typedef struct ccdcrc_export {
  const char* name;
  ccdcrc_status status; /* CCDCRC_OK: written */
  char crc[CCDCRC_CRC_SIZE];
  const char* path;    /* the file written, or that could not be */
  const char* message; /* why not; the empty text when written */
} ccdcrc_export;

typedef struct ccdcrc_exports {
  size_t count; /* the IEDs with circuits, byte-wise ordered by name */
  const ccdcrc_export* ieds;
  size_t failed; /* how many of them were not written */
} ccdcrc_exports;

/* Exports every IED that ccdcrc_scd_all_crcs lists, on `jobs` threads (0: one
 * per core). An IED that cannot be exported does not stop the others: the
 * status is CCDCRC_OK when all were written, else that of the first that was
 * not. `*exports` (may be null) receives each IED's result even then; release
 * it with ccdcrc_free_exports. */
CCDCRC_API ccdcrc_status ccdcrc_scd_export_all(const ccdcrc_scd* scd, const char* directory, unsigned jobs,
                                               ccdcrc_exports** exports, ccdcrc_error* error);
CCDCRC_API void ccdcrc_free_exports(ccdcrc_exports* exports);

/* ---- Comparing, checking and verifying -------------------------------- */

/* Each of these answers as the program's command with --format json does
 * (UTF-8), in `*json`, released with ccdcrc_free_text; `size` (may be null)
 * receives its length in bytes. A difference, a failed check or a file that
 * does not verify is part of the answer, not a failure of the call. */

/* `ccdcrc diff OLD NEW --format json`: the IED CRCs of two open SCDs compared
 * (with `every_ied` the unchanged IEDs too; with `explain` what changed in
 * the CCDs of every IED whose CRC changed, was added or gained one), on `jobs`
 * threads (0: one per core). */
CCDCRC_API ccdcrc_status ccdcrc_diff_json(const ccdcrc_scd* old_scd, const ccdcrc_scd* new_scd, int every_ied,
                                          int explain, unsigned jobs, char** json, size_t* size, ccdcrc_error* error);

/* `ccdcrc check LIST SCD --format json`: the open SCD against the list of
 * approved CRCs at `list_path` (text, CSV or JSON as `ccdcrc all` writes
 * them); with `ignore_missing` only the IEDs of the list are checked. `passed`
 * (may be null) receives 1 when every IED matches and the list is sound (the
 * program's exit status 0), else 0. CCDCRC_UNUSABLE_LIST when the list
 * cannot be used. */
CCDCRC_API ccdcrc_status ccdcrc_check_json(const ccdcrc_scd* scd, const char* list_path, int ignore_missing,
                                           unsigned jobs, int* passed, char** json, size_t* size, ccdcrc_error* error);

/* `ccdcrc verify FILE... [--scd SCD] --format json`: the `count` CCD files at
 * `paths` against their own content and, when `scd` is not null, against the
 * CRCs it gives today. A file that cannot be read is "unreadable" in the
 * answer. */
CCDCRC_API ccdcrc_status ccdcrc_verify_json(const char* const* paths, size_t count, const ccdcrc_scd* scd, char** json,
                                            size_t* size, ccdcrc_error* error);

/* The inputs of the open SCD that resolve to nothing (broken bindings), as
 * `ccdcrc bindings --format json` lists them: {"scd": PATH,
 * "broken_bindings": [{"ied", "int_addr", "source", "reason"}...]}, by IED
 * name, each in the order of its inputs. */
CCDCRC_API ccdcrc_status ccdcrc_bindings_json(const ccdcrc_scd* scd, unsigned jobs, char** json, size_t* size,
                                              ccdcrc_error* error);

typedef enum ccdcrc_report_format {
  CCDCRC_REPORT_HTML = 0,     /* one file, its style included */
  CCDCRC_REPORT_MARKDOWN = 1, /* for change tickets and merge requests */
  /* No format: it keeps the type as wide as an int (see ccdcrc_ccd_form). */
  CCDCRC_REPORT_FORMAT_WIDTH = 0x7FFFFFFF
} ccdcrc_report_format;

/* `ccdcrc diff OLD NEW --format html|markdown`: the change report of two open
 * SCDs in `*text` (UTF-8, released with ccdcrc_free_text; `size` may be
 * null). `format` is a ccdcrc_report_format. With `approved_path` (null for
 * none) NEW is checked against that list as `check` does; `signoff` 0 leaves
 * the sign-off block out. The date is the local time, or SOURCE_DATE_EPOCH in
 * UTC. CCDCRC_UNUSABLE_LIST when the list cannot be used. */
CCDCRC_API ccdcrc_status ccdcrc_change_report(const ccdcrc_scd* old_scd, const ccdcrc_scd* new_scd,
                                              ccdcrc_report_format format, const char* approved_path, int signoff,
                                              unsigned jobs, char** text, size_t* size, ccdcrc_error* error);

/* ---- The history of revisions ---------------------------------------- */

/* Which revision changed which IED's CRC: the files at `paths` (`count` of
 * them, oldest first, plain XML) listed on `jobs` threads (0: one per core)
 * and compared each with the one before, as `ccdcrc history --format json`
 * prints it (UTF-8). The files are read as ccdcrc_scd_open reads them. A
 * file that cannot be read, or is read only in part, is a revision with an
 * "error" in the JSON, not a failure of the call. `*json` is released with
 * ccdcrc_free_text; `size` (may be null) receives its length in bytes. */
CCDCRC_API ccdcrc_status ccdcrc_history_json(const char* const* paths, size_t count, unsigned jobs, char** json,
                                             size_t* size, ccdcrc_error* error);

#ifdef __cplusplus
}
#endif

#endif
