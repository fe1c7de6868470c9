// Basic type resolution through the type templates: the chain from the logical
// node to the last DA or BDA, and the BOOLEAN default wherever it breaks.

#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "ccd/builder.h"
#include "support/test_support.h"

namespace ccdcrc {
namespace {

using testing::load_fixture;

DataReference reference(const std::string& da_name, const std::string& do_name, const std::string& prefix,
                        const std::string& ln_inst, const std::string& ln_class) {
  DataReference reference;
  reference.da_name = da_name;
  reference.do_name = do_name;
  reference.prefix = prefix;
  reference.ln_inst = ln_inst;
  reference.ln_class = ln_class;
  return reference;
}

class BasicType : public ::testing::Test {
 protected:
  void SetUp() override {
    scd_ = load_fixture("pub_data_sets.scd");
    ASSERT_TRUE(scd_);
  }

  pugi::xml_node ldevice(const char* inst) const {
    return find_ied(*scd_, "D1")
        .select_node(("AccessPoint/Server/LDevice[@inst='" + std::string(inst) + "']").c_str())
        .node();
  }

  // Resolved in LDevice LD0 unless another one is named.
  std::string btype(const std::string& da_name, const std::string& do_name, const std::string& prefix,
                    const std::string& ln_inst, const std::string& ln_class, const char* ld_inst = "LD0") const {
    return resolve_btype(scd_->lookups(), reference(da_name, do_name, prefix, ln_inst, ln_class), ldevice(ld_inst));
  }

  std::unique_ptr<Scd> scd_;
};

TEST_F(BasicType, CompleteChainsGiveTheTypeOfTheLastLevel) {
  EXPECT_EQ(btype("stVal", "Pos", "", "1", "XCBR"), "Dbpos");
  EXPECT_EQ(btype("origin.orCat", "Pos", "", "1", "XCBR"), "Enum");
  EXPECT_EQ(btype("origin", "Pos", "", "1", "XCBR"), "Struct");  // a structured DA named without its levels
  EXPECT_EQ(btype("q.r.s", "A.B", "", "1", "GGIO"), "FLOAT32");  // SDO, then two BDA levels
  EXPECT_EQ(btype("q", "A.B", "", "1", "GGIO"), "Struct");
  EXPECT_EQ(btype("stVal", "Beh", "", "", "LLN0"), "Enum");  // LN0 with inst=""
  EXPECT_EQ(btype("t", "Pos", "", "1", "XCBR"), "");         // final DA without bType
}

TEST_F(BasicType, BrokenChainsGiveBoolean) {
  EXPECT_EQ(btype("stVal", "", "", "1", "XCBR"), "BOOLEAN");               // no doName
  EXPECT_EQ(btype("stVal", "Pos", "", "7", "XCBR"), "BOOLEAN");            // no such logical node
  EXPECT_EQ(btype("stVal", "Nope", "", "1", "GGIO"), "BOOLEAN");           // no such DO
  EXPECT_EQ(btype("stVal", "Nope.B", "", "1", "GGIO"), "BOOLEAN");         // no such DO, dotted
  EXPECT_EQ(btype("nope", "Pos", "", "1", "XCBR"), "BOOLEAN");             // no such DA
  EXPECT_EQ(btype("q", "A", "", "1", "GGIO"), "BOOLEAN");                  // DA sought in the DO's own type
  EXPECT_EQ(btype("origin.zz.orCat", "Pos", "", "1", "XCBR"), "BOOLEAN");  // middle level missing
  EXPECT_EQ(btype("origin.zz", "Pos", "", "1", "XCBR"), "BOOLEAN");        // last level missing
  EXPECT_EQ(btype("zz.orCat", "Pos", "", "1", "XCBR"), "BOOLEAN");         // first level missing
  EXPECT_EQ(btype("stVal", "Beh", "", "", "LLN0", "LD1"), "BOOLEAN");      // LN0 without inst
  EXPECT_EQ(btype("stVal", "Pos", "", "1", "XCBR", "NOSUCH"), "BOOLEAN");  // no LDevice at all
}

TEST_F(BasicType, DottedPathsFollowSplitting) {
  // A trailing dot: one piece, and a dotted daName of one piece is not resolved.
  EXPECT_EQ(btype("stVal.", "Pos", "", "1", "XCBR"), "BOOLEAN");
  EXPECT_EQ(btype("origin.", "Pos", "", "1", "XCBR"), "BOOLEAN");
  EXPECT_EQ(btype("origin.orCat.", "Pos", "", "1", "XCBR"), "Enum");
  EXPECT_EQ(btype("stVal", "Pos.", "", "1", "XCBR"), "Dbpos");
  // An unknown SDO stops the walk: the DA is sought in the type reached so far.
  EXPECT_EQ(btype("stVal", "Ind2.zz", "", "1", "GGIO"), "INT32");
  EXPECT_EQ(btype("stVal", "Ind2.zz.B", "", "1", "GGIO"), "INT32");
}

TEST_F(BasicType, PrefixAndInstanceSelectTheLogicalNode) {
  // PTOC1/PTOC/1 has lnType PTOC_A (its Op has q); the unprefixed PTOC/1, which
  // comes first, has PTOC_B (general is INT8U, no q); PTOC/2 has prefix="".
  EXPECT_EQ(btype("q", "Op", "PTOC1", "1", "PTOC"), "Quality");
  EXPECT_EQ(btype("general", "Op", "", "1", "PTOC"), "INT8U");
  EXPECT_EQ(btype("q", "Op", "", "1", "PTOC"), "BOOLEAN");
  EXPECT_EQ(btype("q", "Op", "", "2", "PTOC"), "Quality");
  EXPECT_EQ(btype("q", "Op", "PTOC", "1", "PTOC"), "BOOLEAN");
  EXPECT_EQ(btype("q", "Op", "PTOC1", "2", "PTOC"), "BOOLEAN");
  // An LN of class LLN0 placed before the LN0: the LN0 still comes first.
  EXPECT_EQ(btype("stVal", "Health", "", "", "LLN0", "LD2"), "Enum");
}

TEST_F(BasicType, FirstMatchAmongAllTypesOfAnId) {
  // DOType INS occurs twice: q is in the first, stVal only in the second.
  EXPECT_EQ(btype("q", "Ind2", "", "1", "GGIO"), "Quality");
  EXPECT_EQ(btype("stVal", "Ind2", "", "1", "GGIO"), "INT32");
}

TEST_F(BasicType, EmptyDaNameLooksForADaWithAnEmptyName) {
  EXPECT_EQ(btype("", "Op", "", "1", "PTOC"), "Quality");  // ACD_B has <DA name="">
  EXPECT_EQ(btype("", "Pos", "", "1", "XCBR"), "BOOLEAN");
}

TEST(BasicTypeWithoutTemplates, EveryMemberIsBoolean) {
  auto scd = load_fixture("pub_no_templates.scd");
  ASSERT_TRUE(scd);
  pugi::xml_node ld0 = find_ied(*scd, "N1").select_node("AccessPoint/Server/LDevice").node();
  ASSERT_TRUE(ld0);
  EXPECT_EQ(resolve_btype(scd->lookups(), reference("stVal", "Pos", "", "1", "XCBR"), ld0), "BOOLEAN");
  EXPECT_EQ(resolve_btype(scd->lookups(), reference("stVal", "Beh", "", "", "LLN0"), ld0), "BOOLEAN");
}

}  // namespace
}  // namespace ccdcrc
