/* ccdcrc: CRCs of the GOOSE and sampled-value circuits of the IEDs of an
 * IEC 61850 SCD file.
 *
 * Every result is allocated with the array form of operator new and belongs to
 * the caller: release it with delete[] (C++), or with ccdcrc_free_pairs and
 * ccdcrc_free_text (C and other languages). Failures are silent: an SCD that
 * cannot be loaded gives no pairs and the SCD CRC "00000000"; an unknown IED
 * or one without circuits gives the empty text. No function throws. */
#ifndef CCDCRC_H
#define CCDCRC_H

/* The functions the shared library exports; everything else in it is hidden. */
#if defined(__GNUC__)
#define CCDCRC_API __attribute__((visibility("default")))
#else
#define CCDCRC_API
#endif

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
 * a name that is not a plain file name.
 * Under a file-size limit (RLIMIT_FSIZE, `ulimit -f`) a write that passes it
 * raises SIGXFSZ, which ends the process unless it is ignored: a host that
 * wants such a file to fail alone ignores the signal (the program does). */
CCDCRC_API void export_ied_ccd(const char* scd_path, const char* ied_name, const char* export_dir);

/* Releases what compute_all_ied_crcs handed out: the records, their texts and the array. */
CCDCRC_API void ccdcrc_free_pairs(CrcPair** pairs, int count);

/* Releases a text handed out by this library. */
CCDCRC_API void ccdcrc_free_text(char* text);

#ifdef __cplusplus
}
#endif

#endif
