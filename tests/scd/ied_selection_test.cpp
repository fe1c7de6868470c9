// Which IED a name stands for: the listing (per name the last IED with
// circuits) and the lookup by name (the first IED of that name).

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/crc_runs.h"
#include "scd/ied_selection.h"
#include "support/test_support.h"

namespace ccdcrc {
namespace {

using testing::load_fixture;

std::vector<pugi::xml_node> ieds_named(const Scd& scd, const std::string& name) {
  std::vector<pugi::xml_node> named;
  for (pugi::xml_node ied : scd.ieds()) {
    if (attr(ied, "name") == name) named.push_back(ied);
  }
  return named;
}

TEST(Listing, EveryNameWithTheIedOfItsCrc) {
  std::unique_ptr<Scd> scd = load_fixture("cmp_base.scd");
  const std::vector<ListedCrc> listed = listed_crcs(*scd);
  std::vector<std::string> names;
  for (const ListedCrc& entry : listed) names.push_back(entry.name());
  EXPECT_EQ(names, (std::vector<std::string>{"B2", "Gateway", "M1", "P1", "P2"}));
  EXPECT_FALSE(listed[1].crc) << "Gateway has no circuits";
  EXPECT_EQ(listed[1].listed.ied, find_ied(*scd, "Gateway"));

  // Of IEDs sharing a name, the last one with circuits; the same on several threads.
  std::unique_ptr<Scd> hostile = load_fixture("cli_hostile.scd");
  const std::vector<ListedCrc> shared = listed_crcs(*hostile, 2);
  EXPECT_EQ(crc_map(shared), crc_map(listed_crcs(*hostile, 1)));
  const auto dup =
      std::find_if(shared.begin(), shared.end(), [](const ListedCrc& entry) { return entry.name() == "DUP"; });
  ASSERT_NE(dup, shared.end());
  EXPECT_EQ(dup->listed.with_circuits, 2u);
  EXPECT_EQ(dup->listed.ied, ieds_named(*hostile, "DUP").back());
  EXPECT_EQ(dup->crc, ied_crc(*hostile, dup->listed.ied));
}

TEST(LookupByName, TheFirstIedOfTheNameUnderAnSclRoot) {
  std::unique_ptr<Scd> hostile = load_fixture("cli_hostile.scd");
  const IedLookup lookup(*hostile);
  EXPECT_EQ(lookup.find("DUP"), ieds_named(*hostile, "DUP").front());
  EXPECT_EQ(find_ied(*hostile, "DUP"), lookup.find("DUP"));
  EXPECT_EQ(lookup.count("DUP"), ieds_named(*hostile, "DUP").size());
  EXPECT_FALSE(lookup.find("NOSUCH"));

  std::unique_ptr<Scd> other_root = load_fixture("pub_other_root.scd");
  ASSERT_FALSE(other_root->ieds().empty());
  const std::string name = attr(other_root->ieds().front(), "name");
  EXPECT_FALSE(IedLookup(*other_root).find(name)) << "no lookup by name under a root that is not SCL";
  EXPECT_FALSE(find_ied(*other_root, name));
  EXPECT_EQ(IedLookup(*other_root).count(name), 1u);
}

}  // namespace
}  // namespace ccdcrc
