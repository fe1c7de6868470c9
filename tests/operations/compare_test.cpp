// Comparing two SCDs: the IED names with their CRCs and statuses, and the
// structural comparison of two measured CCDs that explains a changed CRC.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "operations/comparison.h"
#include "operations/export.h"
#include "report/scd_revision.h"
#include "support/test_support.h"
#include "util/nodes.h"
#include "workflows/diff_workflow.h"

namespace ccdcrc {

// How a failing expectation shows a change.
void PrintTo(const CcdChange& change, std::ostream* out) {
  *out << ccd_change_name(change.kind) << " '" << change.path << "' '" << change.subject << "' "
       << change.old_value.value_or("(none)") << " -> " << change.new_value.value_or("(none)");
}

namespace {

using testing::data_path;
using testing::load_fixture;
using testing::load_path;
using testing::ScratchDir;

using testing::read_file;

// cmp_base.scd with each `old` text (which must occur once) replaced, loaded from a scratch file.
std::unique_ptr<Scd> base_with(const ScratchDir& dir, const std::string& name,
                               const std::vector<std::pair<std::string, std::string>>& edits) {
  std::string text = read_file(data_path("cmp_base.scd"));
  for (const auto& [old_text, new_text] : edits) {
    const std::size_t at = text.find(old_text);
    EXPECT_NE(at, std::string::npos) << old_text;
    EXPECT_EQ(text.find(old_text, at + 1), std::string::npos) << old_text;
    if (at != std::string::npos) text.replace(at, old_text.size(), new_text);
  }
  const std::string path = (dir.path() / name).string();
  std::ofstream(path, std::ios::binary) << text;
  std::unique_ptr<Scd> scd = load_path(path);
  EXPECT_TRUE(scd);
  return scd;
}

// What changed in one IED between two SCDs.
CcdComparison compare_ied(const Scd& old_scd, const Scd& new_scd, const std::string& name) {
  const std::unique_ptr<MeasuredCcd> old_ccd = MeasuredCcd::build(old_scd, find_ied(old_scd, name));
  const std::unique_ptr<MeasuredCcd> new_ccd = MeasuredCcd::build(new_scd, find_ied(new_scd, name));
  EXPECT_TRUE(old_ccd && new_ccd) << name;
  return compare_ccds(*old_ccd, *new_ccd);
}

// The changes inside the one reference that differs, which must be of this kind, section and name.
std::vector<CcdChange> changes_of_only_reference(const CcdComparison& comparison, ReferenceChange::Kind kind,
                                                 const std::string& section, const std::string& name) {
  EXPECT_EQ(comparison.references.size(), 1u);
  if (comparison.references.size() != 1) return {};
  const ReferenceChange& reference = comparison.references[0];
  EXPECT_EQ(reference.kind, kind);
  EXPECT_EQ(reference.section, section);
  EXPECT_EQ(reference.element, section.starts_with("GOOSE") ? "GOCBref" : "SMVCBref");
  EXPECT_EQ(reference.name, name);
  return reference.changes;
}

std::vector<std::pair<std::string, CrcStatus>> statuses(const std::string& old_fixture,
                                                        const std::string& new_fixture) {
  std::unique_ptr<Scd> old_scd = load_fixture(old_fixture);
  std::unique_ptr<Scd> new_scd = load_fixture(new_fixture);
  const std::vector<ListedCrc> old_ieds = listed_crcs(*old_scd);
  const std::vector<ListedCrc> new_ieds = listed_crcs(*new_scd);
  std::vector<std::pair<std::string, CrcStatus>> result;
  for (const IedCrcChange& change : compare_ied_crcs(old_ieds, new_ieds))
    result.emplace_back(change.name, change.status);
  return result;
}

TEST(CompareIedCrcs, EveryNameOfEitherScdWithItsStatus) {
  using S = CrcStatus;
  EXPECT_EQ(statuses("cmp_base.scd", "cmp_ieds.scd"), (std::vector<std::pair<std::string, S>>{{"B2", S::unchanged},
                                                                                              {"Gateway", S::unchanged},
                                                                                              {"M1", S::unchanged},
                                                                                              {"P1", S::unchanged},
                                                                                              {"P2", S::removed},
                                                                                              {"P3", S::added}}));
  EXPECT_EQ(
      statuses("cmp_base.scd", "cmp_circuits.scd"),
      (std::vector<std::pair<std::string, S>>{
          {"B2", S::unchanged}, {"Gateway", S::gained}, {"M1", S::unchanged}, {"P1", S::unchanged}, {"P2", S::lost}}));
  EXPECT_EQ(statuses("cmp_circuits.scd", "cmp_base.scd")[1], std::make_pair(std::string("Gateway"), S::lost));
  EXPECT_EQ(statuses("cmp_base.scd", "cmp_btype.scd"),
            (std::vector<std::pair<std::string, S>>{{"B2", S::changed},
                                                    {"Gateway", S::unchanged},
                                                    {"M1", S::unchanged},
                                                    {"P1", S::changed},
                                                    {"P2", S::changed}}));
  for (const auto& [name, status] : statuses("cmp_base.scd", "cmp_desc.scd")) {
    EXPECT_EQ(status, S::unchanged) << name << ": descriptions are not measured";
  }
}

// diff drops what the lookups built after each listing: built again, it must
// give the same CRCs, and content handed out before must stay whole.
TEST(CompareIedCrcs, ListingsAfterDroppingWhatTheLookupsBuiltAreTheSame) {
  for (const char* fixture : {"sub_golden.scd", "cmp_base.scd", "cmp_member.scd"}) {
    std::unique_ptr<Scd> scd = load_fixture(fixture);
    const IedCrcMap before = crc_map(listed_crcs(*scd));
    const SharedContentPtr held = scd->lookups().shared(scd->root(), "held", [](SharedContent& content) {
      add_element(content.nodes, "kept");
      content.texts.emplace_back("text");
    });
    scd->lookups().drop_built();
    EXPECT_EQ(crc_map(listed_crcs(*scd)), before) << fixture;
    scd->lookups().drop_built();
    EXPECT_STREQ(held->nodes.first_child().name(), "kept") << fixture;
    EXPECT_EQ(held->texts, std::vector<std::string>{"text"}) << fixture;
  }
}

// What a comparison tells, for comparing two ways of reaching it.
std::string told(const DiffOutcome& diff) {
  std::string text = diff.report.old_scd_crc + diff.report.new_scd_crc + revision_text(diff.report.old_revision);
  for (const IedCrcChange& ied : diff.report.ieds) text += ied.name + crc_status_name(ied.status);
  for (const BrokenBinding& binding : diff.report.bindings->mended) text += binding.int_addr + binding.reason;
  for (const BrokenBinding& binding : diff.report.bindings->still_broken) text += binding.int_addr + binding.reason;
  for (const std::string& change : diff.shadowed_changes) text += change;
  for (const Note& note : diff.closing_notes) text += note.text;
  return text + (diff.changed ? "changed" : "same");
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

// The changes of the IEDs explained by default, as text.
std::string explained(const DiffOutcome& diff, OldCcds& old_ccds, const Scd& new_scd) {
  std::string text;
  for (const auto& [name, comparison] :
       collect_explanations(select_explained(diff.report.ieds, {}).ieds, old_ccds, new_scd, 2)) {
    text += name;
    for (const ReferenceChange& reference : comparison.references) {
      text += reference.name + reference_change_name(reference.kind);
      for (const CcdChange& change : reference.changes) text += change.path + change.subject;
    }
    for (const CcdChange& change : comparison.other) text += change.path + change.subject;
  }
  return text;
}

TEST(DiffListed, TheSameWhenTheOldDocumentIsReleasedBeforeTheNewIsLoaded) {
  const std::vector<std::pair<const char*, const char*>> pairs = {
      {"cli_hostile.scd", "cli_hostile_shadowed_changed.scd"},
      {"cli_revision_1A.scd", "cli_revision_1A_changed.scd"},
      {"sub_unresolved.scd", "sub_golden.scd"},
      {"report_renamed_member.scd", "sub_keys.scd"},
      {"cmp_base.scd", "cmp_member.scd"},
      {"cmp_circuits.scd", "cmp_base.scd"},
      {"cmp_base.scd", "cmp_desc.scd"},
      {"cmp_base.scd", "cmp_ieds.scd"},
      {"cmp_base.scd", "cmp_btype.scd"},
      {"sub_golden.scd", "cmp_base.scd"}};
  ChangeReportRequest request;
  request.date = "2024-05-01";
  request.list_uncovered = true;
  const ScdFile file;
  for (const auto& [old_fixture, new_fixture] : pairs) {
    std::unique_ptr<Scd> old_scd = load_fixture(old_fixture);
    const std::unique_ptr<Scd> new_scd = load_fixture(new_fixture);
    DiffOutcome loaded = diff_listed(*old_scd, listed_crcs(*old_scd), *new_scd, listed_crcs(*new_scd), 1);
    BuiltOldCcds built(*old_scd);
    const std::string both = told(loaded) + explained(loaded, built, *new_scd) + joined(uncovered_lines(loaded.report));
    const std::string report = change_report(loaded, *old_scd, file, *new_scd, file, request).text.value();
    OldReading reading = old_reading(false, {}, true, true);
    const auto detach = [&] {
      Notes notes;
      return diff_with_kept(listed_old(*old_scd, 1, reading, notes), *new_scd, 1, false, notes);
    };
    const DiffOutcome detached = detach();
    reading.report = &file;
    DiffOutcome reported = detach();
    old_scd.reset();
    EXPECT_EQ(told(detached) + explained(detached, *detached.old_ccds, *new_scd) +
                  joined(uncovered_lines(detached.report, detached.old_elements.get())),
              both)
        << old_fixture;
    EXPECT_EQ(change_report(reported, *new_scd, file, request).text.value(), report) << old_fixture;
  }
}

TEST(MeasuredCcd, IsTheFinishedCcdAndKnowsTheBuiltElements) {
  std::unique_ptr<Scd> scd = load_fixture("cmp_base.scd");
  for (const char* name : {"P1", "B2", "M1"}) {
    const std::unique_ptr<MeasuredCcd> ccd = MeasuredCcd::build(*scd, find_ied(*scd, name));
    ASSERT_TRUE(ccd);
    EXPECT_EQ(testing::serialise(ccd->document()), testing::built_ccd(*scd, name, true)) << name;
    EXPECT_EQ(ccd_crc_text(ccd->document()), ied_crc(*scd, find_ied(*scd, name)).value()) << name;
  }
  // A subscribed member keeps only its basic type; the built one still names the member.
  const std::unique_ptr<MeasuredCcd> b2 = MeasuredCcd::build(*scd, find_ied(*scd, "B2"));
  const pugi::xml_node member = b2->root().select_node("GOOSESUB/GOCBref/DataSet/FCDA").node();
  EXPECT_EQ(attr(member, "doName"), "");
  EXPECT_EQ(attr(b2->built(member), "doName"), "Tr");
  EXPECT_FALSE(MeasuredCcd::build(*scd, find_ied(*scd, "Gateway"))) << "no circuits, nothing measured";
}

TEST(CompareCcds, AttributesTextsAndMembersInTheCcdsOwnTerms) {
  ScratchDir dir;
  std::unique_ptr<Scd> base = load_fixture("cmp_base.scd");
  // P1's first member now names the quality of the trip, so B2's input of it is no longer bound;
  // P1's control block loses its appID and its address gets another VLAN.
  std::unique_ptr<Scd> changed =
      base_with(dir, "changed.scd",
                {{"doName=\"Tr\" daName=\"general\" fc=\"ST\"/>", "doName=\"Tr\" daName=\"q\" fc=\"ST\"/>"},
                 {" appID=\"P1_Trip\"", ""},
                 {"<P type=\"VLAN-ID\">000</P>", "<P type=\"VLAN-ID\">00A</P>"}});
  using K = CcdChange::Kind;
  const std::string first_member = "DataSet/FCDA[1] (LD0/PTRC1.Tr.general [ST] -> LD0/PTRC1.Tr.q [ST])";
  const CcdChange app_id{K::attribute, "GSEControl", "appID", "P1_Trip", std::nullopt};
  const CcdChange vlan{K::text, "ConnectedAP/GSE/Address/P[type=VLAN-ID]", "text", "000", "00A"};
  const CcdChange btype{K::attribute, first_member, "bType", "BOOLEAN", "Quality"};
  // The publisher's part is the same in both CCDs; then each has its own.
  const auto after_common_part = [&](std::vector<CcdChange> own) {
    own.insert(own.begin(), {app_id, vlan, btype});
    return own;
  };

  const CcdComparison p1 = compare_ied(*base, *changed, "P1");
  EXPECT_EQ(changes_of_only_reference(p1, ReferenceChange::Kind::changed, "GOOSEPUB", "P1LD0/LLN0$GO$Trip"),
            after_common_part({{K::attribute, first_member, "daName", "general", "q"},
                               {K::removed, first_member, "DAI", "<DAI name=\"general\"/>", std::nullopt}}));
  EXPECT_TRUE(p1.other.empty());

  // B2's measured members hold no reference: the reference comes from the built CCD.
  const CcdComparison b2 = compare_ied(*base, *changed, "B2");
  EXPECT_EQ(
      changes_of_only_reference(b2, ReferenceChange::Kind::changed, "GOOSESUB", "P1LD0/LLN0$GO$Trip"),
      after_common_part({{K::attribute, first_member + "/intAddr[1]", "name", "CTRL/GGIO1.Ind1.stVal", "NULL"},
                         {K::removed, first_member + "/intAddr[1]", "DAI", "<DAI name=\"stVal\"/>", std::nullopt}}));
}

TEST(CompareCcds, ReferencesThatAppearDisappearOrMoveAndEntriesInAnotherOrder) {
  ScratchDir dir;
  const std::string trip =
      "<GSEControl name=\"Trip\" datSet=\"TripSet\" appID=\"P1_Trip\" confRev=\"1\" desc=\"Trip GOOSE\"/>";
  const std::string alarm = "<GSEControl name=\"Alarm\" datSet=\"TripSet\" appID=\"P1_Alarm\" confRev=\"1\"/>";
  const std::string mac = "<P type=\"MAC-Address\">01-0C-CD-01-00-01</P>";
  const std::string appid = "<P type=\"APPID\">0001</P>";
  std::unique_ptr<Scd> two = base_with(dir, "two.scd", {{trip, trip + alarm}});
  std::unique_ptr<Scd> swapped =
      base_with(dir, "swapped.scd", {{trip, alarm + trip}, {mac + "\n\t\t\t\t\t\t" + appid, appid + mac}});
  std::unique_ptr<Scd> base = load_fixture("cmp_base.scd");
  using K = CcdChange::Kind;
  const std::string alarm_reference = "P1LD0/LLN0$GO$Alarm";

  const CcdComparison appeared = compare_ied(*base, *two, "P1");
  EXPECT_TRUE(
      changes_of_only_reference(appeared, ReferenceChange::Kind::appeared, "GOOSEPUB", alarm_reference).empty());
  EXPECT_TRUE(appeared.other.empty());
  const CcdComparison disappeared = compare_ied(*two, *base, "P1");
  EXPECT_TRUE(
      changes_of_only_reference(disappeared, ReferenceChange::Kind::disappeared, "GOOSEPUB", alarm_reference).empty());

  // The same references and address entries in another order: nothing else differs, and the order is told.
  const CcdComparison moved = compare_ied(*two, *swapped, "P1");
  EXPECT_EQ(changes_of_only_reference(moved, ReferenceChange::Kind::changed, "GOOSEPUB", "P1LD0/LLN0$GO$Trip"),
            (std::vector<CcdChange>{{K::order, "ConnectedAP/GSE/Address", "children",
                                     "P[type=MAC-Address], P[type=APPID], P[type=VLAN-ID], P[type=VLAN-PRIORITY]",
                                     "P[type=APPID], P[type=MAC-Address], P[type=VLAN-ID], P[type=VLAN-PRIORITY]"}}));
  EXPECT_EQ(moved.other, (std::vector<CcdChange>{{K::order, "GOOSEPUB", "children",
                                                  "GOCBref P1LD0/LLN0$GO$Trip, GOCBref P1LD0/LLN0$GO$Alarm",
                                                  "GOCBref P1LD0/LLN0$GO$Alarm, GOCBref P1LD0/LLN0$GO$Trip"}}));

  EXPECT_TRUE(compare_ied(*base, *load_fixture("cmp_desc.scd"), "P1").empty());
}

}  // namespace
}  // namespace ccdcrc
