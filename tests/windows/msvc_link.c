/* A program linked as MSVC links (lld-link, without any C runtime) against
   ccdcrc.lib, the import library of the Windows zip: prints the CRC of every
   IED of examples/substation.scd, then the SCD CRC, as examples/all_crcs.c. */
#include <ccdcrc/ccdcrc.h>

__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long handle);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* bytes, unsigned long count,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int status);

static void print(const char* text) {
  unsigned long count = 0, written = 0;
  while (text[count]) ++count;
  WriteFile(GetStdHandle((unsigned long)-11), text, count, &written, 0); /* STD_OUTPUT_HANDLE */
}

void start(void) {
  CrcPair** pairs;
  int count;
  char* scd_crc = compute_all_ied_crcs(&pairs, "examples/substation.scd", &count);
  if (!scd_crc) ExitProcess(1);
  for (int i = 0; i < count; ++i) {
    print(pairs[i]->name);
    print(" ");
    print(pairs[i]->crc);
    print("\n");
  }
  print("SCD CRC ");
  print(scd_crc);
  print("\n");
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd_crc);
  ExitProcess(0);
}
