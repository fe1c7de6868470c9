// Inputs that resolve to nothing: found with the builder's own lookups, so an
// input the CCD binds is never called broken, and one it leaves unbound is.

#include <gtest/gtest.h>

#include "operations/bindings.h"
#include "support/test_support.h"

namespace ccdcrc::testing {
namespace {

// As a CRC run finds them.
std::vector<BrokenBinding> broken_of(const Scd& scd) { return broken_bindings(scd, listed_crcs(scd)); }

TEST(Bindings, BrokenInputsOfFixtures) {
  struct Case {
    const char* fixture;
    std::vector<std::string> reasons;  // of every broken binding, in order
  };
  const std::vector<Case> cases{
      {"sub_golden.scd", {}},
      // D2 names a device the publisher lacks, but its key collides with a bound member's: the CCD binds it.
      {"sub_keys.scd", {"the data sets of PUBLD1 hold only parts of it"}},
      {"sub_unresolved.scd",
       {"there is no IED 'GHOST'", "no data set of PUB5B has a member GGIO9.X.stVal",
        "no data set of PUB5B has a member GGIO2.X.stVal"}},
      {"report_renamed_member.scd", {"CL1101CTRL/LLN0.dsIntlk has no member CILO1.EnaCls.stVal"}},
  };
  for (const Case& test : cases) {
    const std::unique_ptr<Scd> scd = load_fixture(test.fixture);
    std::vector<std::string> reasons;
    for (const BrokenBinding& binding : broken_of(*scd)) reasons.push_back(binding.reason);
    EXPECT_EQ(reasons, test.reasons) << test.fixture;
  }
}

TEST(Bindings, NewAndMendedBetweenRevisions) {
  const std::unique_ptr<Scd> intact = load_path(example_path("substation.scd"));
  const std::unique_ptr<Scd> renamed = load_fixture("report_renamed_member.scd");
  const BindingChanges broken = compare_bindings(broken_of(*intact), broken_of(*renamed), *renamed);
  ASSERT_EQ(broken.broken.size(), 1u);
  EXPECT_TRUE(broken.mended.empty());
  EXPECT_EQ(broken.broken[0].ied, "PL1101");
  EXPECT_EQ(broken.broken[0].source, "CL1101CTRL/CILO1.EnaCls.stVal");
  EXPECT_EQ(broken.broken[0].int_addr, "1-A:PIGO/GOINGGIO1.SPCSO2.stVal");
  const BindingChanges mended = compare_bindings(broken_of(*renamed), broken_of(*intact), *intact);
  EXPECT_TRUE(mended.broken.empty());
  EXPECT_EQ(mended.mended.size(), 1u);
}

TEST(Bindings, ElementDifferences) {
  pugi::xml_document a;
  pugi::xml_document b;
  ASSERT_TRUE(a.load_string(
      R"(<IED name="P"><AccessPoint name="S1"><LN inst="1"><E x="1"/><E x="2"/></LN></AccessPoint></IED>)"));
  ASSERT_TRUE(b.load_string(
      R"(<IED name="P"><AccessPoint name="S1"><LN inst="1"><E x="1"/><E x="3"/><F/></LN></AccessPoint></IED>)"));
  EXPECT_FALSE(element_difference(a.document_element(), a.document_element()));
  const std::optional<ElementDifference> difference = element_difference(a.document_element(), b.document_element());
  ASSERT_TRUE(difference);
  EXPECT_EQ(difference->first, "IED/AccessPoint[S1]/LN[1]/E[2] x");
  EXPECT_EQ(difference->elements, 2u);
}

}  // namespace
}  // namespace ccdcrc::testing
