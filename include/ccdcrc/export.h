/* ccdcrc: how the functions of the shared library are exported. Building the
 * library defines CCDCRC_BUILDING; linking it statically, CCDCRC_STATIC. */
#ifndef CCDCRC_EXPORT_H
#define CCDCRC_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(CCDCRC_STATIC)
#define CCDCRC_API
#elif defined(CCDCRC_BUILDING)
#define CCDCRC_API __declspec(dllexport)
#else
#define CCDCRC_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
/* Everything else in the library is hidden. */
#define CCDCRC_API __attribute__((visibility("default")))
#else
#define CCDCRC_API
#endif

#endif
