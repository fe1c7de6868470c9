/* ccdcrc: the three functions that load the SCD on every call, and the
 * record they hand out, as the first callers of the library know them.
 * Needs no other header of the library's but export.h. ccdcrc/ccdcrc.h
 * includes it for the callers that have always found these functions there,
 * unless CCDCRC_NO_LEGACY is defined before it; see there for the rules of
 * their results.
 *
 * Their results are new[] blocks of the library's C++ runtime: delete[] in
 * the caller only works when the caller shares that runtime. Everyone else
 * (a program built with another compiler, such as MSVC against ccdcrc.dll,
 * and every C program) releases them with ccdcrc_free_pairs and
 * ccdcrc_free_text. */
#ifndef CCDCRC_LEGACY_H
#define CCDCRC_LEGACY_H

#include "ccdcrc/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One IED: its name and its CRC text (eight upper-case hexadecimal digits).
 * The record and both texts are separate new[] blocks. */
typedef struct CrcPair {
  char* name;
  char* crc;
} CrcPair;

/* Computes the CRC of every IED that has circuits. Stores an array of `*count`
 * pointers to CrcPair records, ordered by IED name (byte-wise), in `*pairs`,
 * and returns the SCD CRC: the CRC-32 of the IED CRC texts in that order. */
CCDCRC_API char* compute_all_ied_crcs(CrcPair*** pairs, const char* scd_path, int* count);

/* The CRC text of one IED; the empty text when it is missing or has no circuits. */
CCDCRC_API char* compute_ied_crc(const char* scd_path, const char* ied_name);

/* Writes export_dir + "/" + IED name + ".ccd" with the IED's CCD, its CRC and
 * the local time. Writes nothing for an unknown IED, one without circuits, or
 * a name that is not a plain file name or one that Windows cannot hold.
 * Under a file-size limit (RLIMIT_FSIZE, `ulimit -f`) a write that passes it
 * raises SIGXFSZ, which ends the process unless it is ignored: a host that
 * wants such a file to fail alone ignores the signal (the program does). */
CCDCRC_API void export_ied_ccd(const char* scd_path, const char* ied_name, const char* export_dir);

/* Releases what compute_all_ied_crcs handed out: the records, their texts and the array. */
CCDCRC_API void ccdcrc_free_pairs(CrcPair** pairs, int count);

/* Releases a text handed out by this library, as ccdcrc/ccdcrc.h declares it:
 * the SCD CRC, an IED's CRC. */
CCDCRC_API void ccdcrc_free_text(char* text);

#ifdef __cplusplus
}
#endif

#endif
