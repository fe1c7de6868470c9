#include <gtest/gtest.h>

#include "crc/canonical.h"
#include "operations/crc_runs.h"

namespace ccdcrc {
namespace {

TEST(Crc32, StandardCheckValues) {
  EXPECT_EQ(crc32_of_text(0xFFFFFFFFu, "123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32_of_text(0xFFFFFFFFu, ""), 0u);
  EXPECT_EQ(crc_text_of("123456789"), "CBF43926");
}

TEST(Crc32, HexTextIsUpperCaseWithoutLeadingZeros) {
  EXPECT_EQ(crc_hex_text(0), "0");
  EXPECT_EQ(crc_hex_text(0xABCD), "ABCD");
  EXPECT_EQ(crc_hex_text(0xFFFFFFFFu), "FFFFFFFF");
  EXPECT_EQ(crc_text_of(""), "00000000");
}

TEST(ScdCrc, ConcatenatesCrcTextsInNameOrder) {
  EXPECT_EQ(scd_crc({}), "00000000");
  IedCrcMap map{{"B", "22222222"}, {"A", "11111111"}};
  EXPECT_EQ(scd_crc(map), crc_text_of("1111111122222222"));
}

}  // namespace
}  // namespace ccdcrc
