// SCD files in the encodings engineering tools write: UTF-8 with or without a
// byte-order mark, UTF-16 in both byte orders, Latin-1, and Chinese files
// declared as GB2312 or GBK. Unicode files are decoded, so the same content
// gives the same CRCs in every Unicode encoding. Bytes of legacy encodings
// other than Latin-1 are taken as they stand: their CRCs are those of the raw
// bytes, and the exported CCD carries those bytes unchanged.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "ccdcrc/ccdcrc.h"
#include "support/process.h"
#include "support/test_support.h"
#include "util/text.h"

namespace ccdcrc::testing {
namespace {

namespace fs = std::filesystem;

// The station fixture with a declaration of that encoding, its data set named
// and its protection described in these (already encoded) bytes.
std::string station(const std::string& encoding, const std::string& data_set, const std::string& description) {
  std::string text = read_file(data_path("cli_station.scd"));
  replace_all(text, "encoding=\"UTF-8\"", "encoding=\"" + encoding + "\"");
  replace_all(text, "TripSet", data_set);
  replace_all(text, "desc=\"Line protection\"", "desc=\"" + description + "\"");
  return text;
}

// The same station with a comment of 100 000 bytes before its end: large
// files are read in another way than small ones, and no CRC may notice.
std::string enlarged(std::string text) {
  replace_all(text, "</SCL>", "<!--" + std::string(100000, '-').replace(0, 1, " ") + " -->\n</SCL>");
  return text;
}

// UTF-8 (characters of the Basic Multilingual Plane) to UTF-16 code units in that byte order.
std::string utf16(const std::string& utf8, bool big_endian) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    unsigned code = lead;
    std::size_t length = 1;
    if (lead >= 0xE0) {
      code = lead & 0x0Fu;
      length = 3;
    } else if (lead >= 0xC0) {
      code = lead & 0x1Fu;
      length = 2;
    }
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    i += length;
    const char high = static_cast<char>(code >> 8);
    const char low = static_cast<char>(code & 0xFF);
    out += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

struct AllCrcs {
  std::map<std::string, std::string> ieds;
  std::string scd;
};

AllCrcs all_crcs(const fs::path& path) {
  AllCrcs result;
  CrcPair** pairs = nullptr;
  int count = 0;
  char* scd = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  for (int i = 0; i < count; ++i) result.ieds[pairs[i]->name] = pairs[i]->crc;
  result.scd = scd ? scd : "";
  ccdcrc_free_pairs(pairs, count);
  ccdcrc_free_text(scd);
  return result;
}

bool operator==(const AllCrcs& a, const AllCrcs& b) { return a.ieds == b.ieds && a.scd == b.scd; }

const std::string data_set_utf8 = "跳闸数据集";
const std::string description_utf8 = "线路保护";
const std::string data_set_gbk = "\xCC\xF8\xD5\xA2\xCA\xFD\xBE\xDD\xBC\xAF";
const std::string description_gbk = "\xCF\xDF\xC2\xB7\xB1\xA3\xBB\xA4";

TEST(Encodings, UnicodeFilesWithAndWithoutByteOrderMarkGiveTheSameCrcs) {
  ScratchDir dir;
  const std::string utf8 = station("UTF-8", data_set_utf8, description_utf8);
  const std::string utf16_text = station("UTF-16", data_set_utf8, description_utf8);
  const std::map<std::string, std::string> files{
      {"utf8.scd", utf8},
      {"utf8-bom.scd", "\xEF\xBB\xBF" + utf8},
      {"utf16le-bom.scd", "\xFF\xFE" + utf16(utf16_text, false)},
      {"utf16be-bom.scd", "\xFE\xFF" + utf16(utf16_text, true)},
      {"utf16le.scd", utf16(utf16_text, false)},
      {"large-utf8.scd", enlarged(utf8)},
      {"large-utf8-bom.scd", "\xEF\xBB\xBF" + enlarged(utf8)},
      {"large-utf16le-bom.scd", "\xFF\xFE" + utf16(enlarged(utf16_text), false)},
      {"large-utf16be.scd", utf16(enlarged(utf16_text), true)},
  };
  for (const auto& [name, bytes] : files) write_file(dir.path() / name, bytes);

  const AllCrcs reference = all_crcs(dir.path() / "utf8.scd");
  ASSERT_EQ(reference.ieds.size(), 3u);
  // The data set name is measured: the Chinese name changes P1's CRC from the fixture's.
  EXPECT_NE(reference.ieds.at("P1"), "6F9C679D");
  for (const auto& [name, bytes] : files) {
    EXPECT_EQ(all_crcs(dir.path() / name), reference) << name;
    char* crc = compute_ied_crc((dir.path() / name).c_str(), "P1");
    EXPECT_EQ(crc, reference.ieds.at("P1")) << name;
    ccdcrc_free_text(crc);
  }

  // The command line agrees, and the exported CCD of a UTF-16 SCD is UTF-8.
  const ProcessResult utf8_run = run_ccdcrc({"all", (dir.path() / "utf8.scd").string()});
  const ProcessResult utf16_run = run_ccdcrc({"all", (dir.path() / "utf16be-bom.scd").string()});
  EXPECT_EQ(utf8_run.status, 0);
  EXPECT_EQ(utf16_run.out, utf8_run.out);
  export_ied_ccd((dir.path() / "utf16le-bom.scd").c_str(), "P1", dir.path().c_str());
  const std::string exported = read_file(dir.path() / "P1.ccd");
  EXPECT_NE(exported.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), std::string::npos);
  EXPECT_NE(exported.find("desc=\"" + description_utf8 + "\""), std::string::npos);
  EXPECT_NE(exported.find("<DataSet name=\"" + data_set_utf8 + "\""), std::string::npos);
}

TEST(Encodings, ChineseLegacyEncodingsAreMeasuredAsTheirRawBytes) {
  ScratchDir dir;
  write_file(dir.path() / "utf8.scd", station("UTF-8", data_set_utf8, description_utf8));
  write_file(dir.path() / "gb2312.scd", station("GB2312", data_set_gbk, description_gbk));
  write_file(dir.path() / "gbk.scd", station("GBK", data_set_gbk, description_gbk));
  // The same bytes declared as UTF-8: the declaration of a legacy encoding changes nothing.
  write_file(dir.path() / "gbk-as-utf8.scd", station("UTF-8", data_set_gbk, description_gbk));
  write_file(dir.path() / "large-gbk.scd", enlarged(station("GBK", data_set_gbk, description_gbk)));

  const AllCrcs gb2312 = all_crcs(dir.path() / "gb2312.scd");
  ASSERT_EQ(gb2312.ieds.size(), 3u);
  EXPECT_EQ(all_crcs(dir.path() / "gbk.scd"), gb2312);
  EXPECT_EQ(all_crcs(dir.path() / "gbk-as-utf8.scd"), gb2312);
  EXPECT_EQ(all_crcs(dir.path() / "large-gbk.scd"), gb2312);
  // Not decoded: the CRC differs from that of the same text in UTF-8. Pinned,
  // so that a change in how such files are read cannot pass unseen.
  EXPECT_NE(gb2312.ieds.at("P1"), all_crcs(dir.path() / "utf8.scd").ieds.at("P1"));
  EXPECT_EQ(gb2312.ieds.at("P1"), "E8D1EADC");
  EXPECT_EQ(gb2312.ieds.at("M1"), "929A6525");  // no Chinese text in M1's CCD
  EXPECT_EQ(gb2312.scd, "C325544D");

  char* crc = compute_ied_crc((dir.path() / "gb2312.scd").c_str(), "P1");
  EXPECT_EQ(crc, gb2312.ieds.at("P1"));
  ccdcrc_free_text(crc);

  // The exported CCD says UTF-8 but carries the GBK bytes as they stand.
  export_ied_ccd((dir.path() / "gb2312.scd").c_str(), "P1", dir.path().c_str());
  const std::string exported = read_file(dir.path() / "P1.ccd");
  EXPECT_NE(exported.find("<DataSet name=\"" + data_set_gbk + "\""), std::string::npos);
  EXPECT_NE(exported.find("desc=\"" + description_gbk + "\""), std::string::npos);
  const ProcessResult run = run_ccdcrc({"all", (dir.path() / "gb2312.scd").string()});
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST(Encodings, LatinOneIsDecodedLikeUnicode) {
  ScratchDir dir;
  write_file(dir.path() / "utf8.scd", station("UTF-8", "Auslösung", "Leitungsschutz Süd"));
  write_file(dir.path() / "latin1.scd", station("ISO-8859-1", "Ausl\xF6sung",
                                                "Leitungsschutz S\xFC"
                                                "d"));
  const AllCrcs utf8 = all_crcs(dir.path() / "utf8.scd");
  ASSERT_EQ(utf8.ieds.size(), 3u);
  EXPECT_EQ(all_crcs(dir.path() / "latin1.scd"), utf8);
  write_file(dir.path() / "large-latin1.scd", enlarged(station("ISO-8859-1", "Ausl\xF6sung",
                                                               "Leitungsschutz S\xFC"
                                                               "d")));
  EXPECT_EQ(all_crcs(dir.path() / "large-latin1.scd"), utf8);
}

}  // namespace
}  // namespace ccdcrc::testing
