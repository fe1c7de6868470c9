#include <stdio.h>

#include <ccdcrc/legacy.h>

/* Prints the CRC of every IED of an SCD, then the SCD CRC. */
int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s SCD\n", argv[0]);
    return 2;
  }
  CrcPair** pairs;
  int count;
  char* scd_crc = compute_all_ied_crcs(&pairs, argv[1], &count);
  if (!scd_crc) return 1; /* out of memory */
  for (int i = 0; i < count; ++i) printf("%s %s\n", pairs[i]->name, pairs[i]->crc);
  printf("SCD CRC %s\n", scd_crc);
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd_crc);
  return 0;
}
