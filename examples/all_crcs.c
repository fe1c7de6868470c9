#include <stdio.h>
#include <stdlib.h>

#include <ccdcrc/legacy.h>

#ifdef _WIN32
#include <windows.h>
/* shellapi.h needs what windows.h declares. */
#include <shellapi.h>

/* Windows hands main its arguments in the ANSI code page, which cannot hold
   every file name; the library takes paths in UTF-8. The argument at `index`,
   read from the wide command line and converted; free() it. */
static char* utf8_argument(int index) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  char* text = NULL;
  if (wide && index < count) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, NULL, 0, NULL, NULL);
    text = size > 0 ? malloc((size_t)size) : NULL;
    if (text) WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, text, size, NULL, NULL);
  }
  LocalFree(wide);
  return text;
}
#else
/* Elsewhere argv is as the file system names files. */
static char* utf8_argument(int index) {
  (void)index;
  return NULL;
}
#endif

/* Prints the CRC of every IED of an SCD, then the SCD CRC. */
int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s SCD\n", argv[0]);
    return 2;
  }
  char* converted = utf8_argument(1);
  const char* path = converted ? converted : argv[1];
  CrcPair** pairs;
  int count;
  char* scd_crc = compute_all_ied_crcs(&pairs, path, &count);
  free(converted);
  if (!scd_crc) return 1; /* out of memory */
  for (int i = 0; i < count; ++i) printf("%s %s\n", pairs[i]->name, pairs[i]->crc);
  printf("SCD CRC %s\n", scd_crc);
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd_crc);
  /* This call says nothing of why no IED has a CRC: the file may be unreadable,
     or hold no circuits. ccdcrc_scd_open tells which. */
  return count > 0 ? 0 : 1;
}
