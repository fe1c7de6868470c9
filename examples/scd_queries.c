#include <stdio.h>

#include <ccdcrc/ccdcrc.h>

/* Loads an SCD once. Without IED names, prints the CRC of every IED and the
 * SCD CRC; with names, the CRC of each named IED, or why it has none. */
int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s SCD [NAME...]\n", argv[0]);
    return 2;
  }
  ccdcrc_error* error = ccdcrc_error_new();
  ccdcrc_scd* scd;
  if (ccdcrc_scd_open(argv[1], &scd, error) != CCDCRC_OK) {
    fprintf(stderr, "%s\n", ccdcrc_error_message(error));
    ccdcrc_error_free(error);
    return 2;
  }
  int status = 0;
  if (argc == 2) {
    ccdcrc_crcs* crcs;
    if (ccdcrc_scd_all_crcs(scd, 0, &crcs, error) == CCDCRC_OK) {
      for (size_t i = 0; i < crcs->count; ++i) printf("%s %s\n", crcs->ieds[i].name, crcs->ieds[i].crc);
      printf("SCD CRC %s\n", crcs->scd_crc);
      ccdcrc_free_crcs(crcs);
    } else {
      fprintf(stderr, "%s\n", ccdcrc_error_message(error));
      status = 2;
    }
  }
  for (int i = 2; i < argc; ++i) {
    char crc[CCDCRC_CRC_SIZE];
    if (ccdcrc_scd_ied_crc(scd, argv[i], crc, error) == CCDCRC_OK) {
      printf("%s %s\n", argv[i], crc);
    } else {
      fprintf(stderr, "%s\n", ccdcrc_error_message(error));
      status = 1;
    }
  }
  ccdcrc_scd_close(scd);
  ccdcrc_error_free(error);
  return status;
}
