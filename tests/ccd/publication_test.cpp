// The publication side of a CCD: control block references with the copied control
// block, its reduced ConnectedAP and its data set, and what the finishing pass
// leaves of them. Expected texts are written out in full: every byte is measured.

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "ccd/builder.h"
#include "crc/canonical.h"
#include "operations/crc_runs.h"
#include "scd/queries.h"
#include "support/test_support.h"
#include "util/nodes.h"

namespace ccdcrc {
namespace {

using testing::built_ccd;
using testing::data_path;
using testing::expected_ccd;
using testing::fixture_ccd;
using testing::load_fixture;
using testing::read_file;
using testing::serialise;

// Expected CCD texts are written with two spaces per level; the CCD has one tab.
// A leading line feed (after the opening of the raw string) is dropped.
std::string tabbed(const char* text) {
  std::istringstream in(text);
  std::string line;
  std::string out;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.empty()) {
      first = false;
      continue;
    }
    first = false;
    std::size_t spaces = line.find_first_not_of(' ');
    if (spaces == std::string::npos) spaces = line.size();
    out += std::string(spaces / 2, '\t') + line.substr(spaces) + "\n";
  }
  return out;
}

// One element and its subtree, serialised like the CCD (no declaration added).
std::string serialised_element(pugi::xml_node element) {
  std::ostringstream out;
  element.print(out, "\t", pugi::format_indent);
  return out.str();
}

// The CCD of the IED at this position under the SCD root, whatever the root's name.
std::string built_ccd_at(const Scd& scd, std::size_t index, bool* nothing_found = nullptr) {
  std::unique_ptr<Ccd> ccd = build_ied_ccd(scd, scd.ieds().at(index));
  if (nothing_found) *nothing_found = ccd->nothing_found;
  return serialise(ccd->document);
}

bool nothing_found(const Scd& scd, const std::string& ied_name) {
  return build_ied_ccd(scd, find_ied(scd, ied_name))->nothing_found;
}

// ---------------------------------------------------------------------------
// Control block references (GOOSEPUB / SVPUB)
// ---------------------------------------------------------------------------

// P1 has two access points. AP1: LDevice PROT with gcb1, msv1 and gcb2 in its LN0
// and a GSEControl in an LN (not published); LDevice CTRL with gcbC, which has no
// address and names a missing data set. AP2: LDevice LD2 with gcbX (empty datSet).
// Its ConnectedAP holds its own Address, GSE entries for gcb1 and gcb2, gcb1 of
// another LDevice, entries without cbName, an SMV and a PhysConn; a second
// SubNetwork repeats AP1 with another gcb1 address, which must not be used.
TEST(PublishedControlBlocks, OneReferencePerControlBlockWithReducedConnectedAp) {
  auto scd = load_fixture("pub_control_blocks.scd");
  ASSERT_TRUE(scd);
  EXPECT_FALSE(nothing_found(*scd, "P1"));
  EXPECT_EQ(built_ccd(*scd, "P1"), read_file(data_path("expected/pub_P1.ccd")));
}

TEST(PublishedControlBlocks, EdgesOfWhatIsPublishedAndCopied) {
  auto scd = load_fixture("pub_control_blocks.scd");
  ASSERT_TRUE(scd);

  // A control block named "dU" is referenced (its name ends the reference text)
  // but not copied; its ConnectedAP still is.
  EXPECT_FALSE(nothing_found(*scd, "P2"));
  EXPECT_EQ(built_ccd(*scd, "P2"), read_file(data_path("expected/pub_P2.ccd")));

  // A GSEControl in an LN is not published and does not count as publishing.
  EXPECT_TRUE(nothing_found(*scd, "P3"));
  EXPECT_EQ(built_ccd(*scd, "P3"), tabbed(R"(
<?xml version="1.0" encoding="UTF-8"?>
<IED configVersion="" desc="control block in an LN only" manufacturer="" name="P3" type="" />
)"));

  // Neither an address nor a data set: the reference holds the copy only, and the
  // IED still publishes.
  auto bare = load_fixture("pub_no_templates.scd");
  ASSERT_TRUE(bare);
  EXPECT_FALSE(nothing_found(*bare, "N2"));
  EXPECT_EQ(built_ccd(*bare, "N2"), read_file(data_path("expected/pub_N2.ccd")));
}

// The address query starts at /SCL: under a root with another name no reference gets
// a ConnectedAP, while the type templates (a child of the root) are still used.
// The copied ConnectedAP keeps only this control block's entry: every odd
// entry is left out exactly as copying the whole ConnectedAP and then
// removing what the two queries written for it select would leave it out.
TEST(PublishedControlBlocks, ConnectedApCopiedAsTheQueriesTrimIt) {
  pugi::xml_document source;
  ASSERT_TRUE(source.load_string(R"(<ConnectedAP iedName="P" apName="S1">text<?pi x?>
    <Address><P type="IP">1</P></Address>
    <GSE cbName="g" ldInst="LD"><Address /></GSE>
    <GSE cbName="g" ldInst="LD2" />
    <GSE cbName="h" ldInst="LD" />
    <GSE ldInst="LD" />
    <GSE cbName="g" />
    <GSE />
    <?GSE cbName="x"?>
    <SMV cbName="other" ldInst="LD" />
    <SMV cbName="g" ldInst="LD" desc="d" />
    <GSE cbName="g" cbName="h" ldInst="LD" />
    <GSE cbName="h" cbName="g" ldInst="LD" />
    <GSE name="dU" cbName="g" ldInst="LD" />
    <Address />
    <PhysConn type="Plug" />
  </ConnectedAP>)",
                                 pugi::parse_full));
  for (ControlBlockKind kind : control_block_kinds) {
    pugi::xml_document direct;
    pugi::xml_document queried;
    copy_connected_ap(direct, source.first_child(), kind, "g", "LD");
    copy_element_tree(queried, source.first_child());
    pugi::xml_node copy = queried.first_child();
    const std::string others = format_query(query::other_addresses, {"g", "LD", names_of(kind).address});
    for (const pugi::xpath_node& other : select(copy, others)) copy.remove_child(other.node());
    for (const pugi::xpath_node& own : select(copy, query::own_address)) copy.remove_child(own.node());
    EXPECT_EQ(serialise(direct), serialise(queried));
  }
  pugi::xml_document direct;
  copy_connected_ap(direct, source.first_child(), ControlBlockKind::goose, "g", "LD");
  // Of the entries that repeat cbName, the one whose last cbName is "g" stays.
  EXPECT_NE(serialise(direct).find("<GSE cbName=\"g\" ldInst=\"LD\" />"), std::string::npos) << serialise(direct);
  EXPECT_EQ(serialise(direct).find("<GSE cbName=\"g\" ldInst=\"LD2\" />"), std::string::npos) << serialise(direct);
}

TEST(PublishedControlBlocks, RootNotNamedSclGivesNoConnectedAp) {
  auto scd = load_fixture("pub_other_root.scd");
  ASSERT_TRUE(scd);
  bool nothing = true;
  EXPECT_EQ(built_ccd_at(*scd, 0, &nothing), tabbed(R"(
<?xml version="1.0" encoding="UTF-8"?>
<IED configVersion="" desc="" manufacturer="" name="R1" type="">
  <GOOSEPUB>
    <GOCBref name="R1LD0/LLN0$GO$gcb">
      <GSEControl appID="R1/gcb" datSet="DS" name="gcb" />
      <DataSet name="DS">
        <FCDA bType="Dbpos" daName="stVal" desc="Position" doName="Pos" fc="ST" ldInst="LD0" lnClass="XCBR" lnInst="1">
          <DAI name="stVal" />
        </FCDA>
      </DataSet>
    </GOCBref>
  </GOOSEPUB>
  <SVPUB>
    <SMVCBref name="R1LD0/LLN0$MS$msv">
      <SampledValueControl datSet="DS" name="msv" smvID="R1/msv" />
      <DataSet name="DS">
        <FCDA bType="Dbpos" daName="stVal" desc="Position" doName="Pos" fc="ST" ldInst="LD0" lnClass="XCBR" lnInst="1">
          <DAI name="stVal" />
        </FCDA>
      </DataSet>
    </SMVCBref>
  </SVPUB>
</IED>
)"));
  EXPECT_FALSE(nothing);
}

// ---------------------------------------------------------------------------
// Published data sets
// ---------------------------------------------------------------------------

// Members of DS in LDevice LD0, in this order:
//  1 LLN0 with empty lnInst finds the LN0 with inst="": bType, DAI copy, empty desc
//  2 empty daName: no bType, the DOI's desc, the whole DOI (no dU DAI, no comment)
//  3 missing doName, 4 empty doName: an FCDA without anything
//  5 prefix PTOC1 finds only the prefixed LN (an unprefixed one comes first)
//  6 no prefix finds the LN without prefix attribute (other lnType: INT8U)
//  7 prefix "" finds an LN with prefix=""; DOI and DAI without desc: desc=""
//  8 ldInst LD9 is still looked up in LD0 (LD9 has other types and descs)
//  9 no DOI: own attributes and bType only
// 10 own bType is replaced by the resolved one (the type id occurs twice); the
//    first of two DAI stVal gives the (DOI's) desc
// 11 empty daName keeps the member's own bType and dU; desc comes from the DOI
// 12 dotted doName and daName walk SDI levels to the DAI and SDO/BDA levels
// 13 daName "stVal." resolves to BOOLEAN but still finds the DAI
// 14 "Ind2.zz": no SDO zz, the type of Ind2 is used; no SDI zz: no child
// 15 a missing middle structure level: BOOLEAN, DOI desc, no child
// 16 origin.orCat: Enum and the DAI's desc
// 17 a DA without bType gives an empty bType
// 18 no logical node: the member keeps its own desc
// Ind1 and its DAI occur twice in GGIO1: the first wins (member 8).
// LD1 has an LN0 without inst; LD2 has an LN of class LLN0 before its LN0, and a
// second DataSet DS1 in LD1 must not be used.
TEST(PublishedDataSets, MembersCarryTypeDescriptionAndInstanceData) {
  EXPECT_EQ(fixture_ccd("pub_data_sets.scd", "D1"), expected_ccd("pub_D1.ccd"));
}

// Without DataTypeTemplates every member is BOOLEAN, also one that brings its own
// bType; descriptions and instance data are found as usual.
TEST(PublishedDataSets, MissingTypeTemplatesGiveBoolean) {
  EXPECT_EQ(fixture_ccd("pub_no_templates.scd", "N1"), expected_ccd("pub_N1.ccd"));
}

// Text as the copies keep it: CDATA as escaped text, multi-line text with its line
// breaks, the first text chunk before the children, a raw carriage return, comment
// and processing instruction left out; control characters of attribute values as
// character references.
TEST(PublishedDataSets, CopiedTextAsSerialised) {
  auto scd = load_fixture("pub_text_content.scd");
  ASSERT_TRUE(scd);
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<IED configVersion=\"\" desc=\"\xC3\x9Cn\xC3\xAF"
      "code &lt;tag> a > b\" manufacturer=\"\" name=\"T1\" type=\"\">\n"
      "\t<GOOSEPUB>\n"
      "\t\t<GOCBref name=\"T1LD0/LLN0$GO$gcb\">\n"
      "\t\t\t<GSEControl appID=\"a&#09;tab &#10;newline\" confRev=\"1\" datSet=\"DS\" name=\"gcb\">\n"
      "\t\t\t\t<Private type=\"cdata\">&lt;b&gt;bold&lt;/b&gt; &amp; more</Private>\n"
      "\t\t\t\t<Private type=\"multi\">first line\n"
      "second line \"quoted\n"
      "\tthird</Private>\n"
      "\t\t\t\t<Private type=\"mixed\">lead \"q<Inner a=\"1\" />\n"
      "\t\t\t\t</Private>\n"
      "\t\t\t\t<Private type=\"cr\">a\rb</Private>\n"
      "\t\t\t\t<Private type=\"comment\" />\n"
      "\t\t\t\t<Private type=\"pi\">after pi</Private>\n"
      "\t\t\t</GSEControl>\n"
      "\t\t\t<ConnectedAP apName=\"AP1\" iedName=\"T1\">\n"
      "\t\t\t\t<GSE cbName=\"gcb\" ldInst=\"LD0\">\n"
      "\t\t\t\t\t<Address>\n"
      "\t\t\t\t\t\t<P type=\"MAC-Address\"> 01-0C-CD-01-00-01 </P>\n"
      "\t\t\t\t\t</Address>\n"
      "\t\t\t\t</GSE>\n"
      "\t\t\t</ConnectedAP>\n"
      "\t\t\t<DataSet name=\"DS\">\n"
      "\t\t\t\t<FCDA bType=\"VisString255\" daName=\"vendor\" desc=\"Name &quot;plate&quot;\" doName=\"NamPlt\" "
      "fc=\"DC\" ldInst=\"LD0\" lnClass=\"LLN0\" lnInst=\"\">\n"
      "\t\t\t\t\t<DAI name=\"vendor\">\n"
      "\t\t\t\t\t\t<Val>Maker \"Quote</Val>\n"
      "\t\t\t\t\t</DAI>\n"
      "\t\t\t\t</FCDA>\n"
      "\t\t\t\t<FCDA desc=\"Name &quot;plate&quot;\" doName=\"NamPlt\" fc=\"DC\" ldInst=\"LD0\" lnClass=\"LLN0\" "
      "lnInst=\"\">\n"
      "\t\t\t\t\t<DOI name=\"NamPlt\">\n"
      "\t\t\t\t\t\t<DAI name=\"vendor\">\n"
      "\t\t\t\t\t\t\t<Val>Maker \"Quote</Val>\n"
      "\t\t\t\t\t\t</DAI>\n"
      "\t\t\t\t\t\t<DAI name=\"swRev\">\n"
      "\t\t\t\t\t\t\t<Val>  padded  </Val>\n"
      "\t\t\t\t\t\t</DAI>\n"
      "\t\t\t\t\t</DOI>\n"
      "\t\t\t\t</FCDA>\n"
      "\t\t\t</DataSet>\n"
      "\t\t</GOCBref>\n"
      "\t</GOOSEPUB>\n"
      "</IED>\n";
  EXPECT_EQ(built_ccd(*scd, "T1"), expected);
}

// ---------------------------------------------------------------------------
// Golden CCD of a publishing IED, as built (exported form) and as measured
// ---------------------------------------------------------------------------

TEST(PublishedGolden, BuiltAndMeasuredCcdMatchTheGoldenFiles) {
  auto scd = load_fixture("pub_golden.scd");
  ASSERT_TRUE(scd);
  EXPECT_EQ(built_ccd(*scd, "PROT1"), read_file(data_path("pub_golden_PROT1.ccd")));
  const std::string measured = read_file(data_path("pub_golden_PROT1.measured.ccd"));
  EXPECT_EQ(built_ccd(*scd, "PROT1", true), measured);

  // The CRC of the IED is the CRC of the measured golden text, line by line.
  const std::string crc = testing::crc_of_serialised(measured);
  EXPECT_EQ(run_ied_crc(data_path("pub_golden.scd"), "PROT1"), crc);
  EXPECT_EQ(run_all_ied_crcs(data_path("pub_golden.scd")), (IedCrcMap{{"PROT1", crc}}));
}

// ---------------------------------------------------------------------------
// Finishing pass on the publication side
// ---------------------------------------------------------------------------

TEST(FinishCcd, RootKeepsItsNameAndPublishedMembersLoseOnlyDesc) {
  pugi::xml_document ccd;
  ASSERT_TRUE(ccd.load_string(R"(<IED configVersion="1" desc="d" manufacturer="m" name="P1" type="t">
<GOOSEPUB>
<GOCBref name="r" desc="kept">
<GSEControl desc="kept" name="g" />
<DataSet desc="kept" name="DS">
<FCDA bType="BOOLEAN" daName="stVal" desc="gone" doName="Pos" fc="ST" ldInst="LD0" lnClass="XCBR" lnInst="1" prefix="">
<DAI desc="kept" name="stVal" />
</FCDA>
<FCDA doName="NoDesc" />
<Other desc="kept" />
</DataSet>
<FCDA desc="kept, not in a DataSet" />
</GOCBref>
<SMVCBref name="s">
<DataSet>
<FCDA desc="kept, SMVCBref under GOOSEPUB" />
</DataSet>
</SMVCBref>
</GOOSEPUB>
<SVPUB>
<SMVCBref name="s">
<DataSet>
<FCDA desc="gone" dU="kept" Desc="kept" />
</DataSet>
</SMVCBref>
</SVPUB>
</IED>)"));
  finish_ccd(ccd.document_element());
  EXPECT_EQ(serialised_element(ccd.document_element()), tabbed(R"(
<IED name="P1">
  <GOOSEPUB>
    <GOCBref name="r" desc="kept">
      <GSEControl desc="kept" name="g" />
      <DataSet desc="kept" name="DS">
        <FCDA bType="BOOLEAN" daName="stVal" doName="Pos" fc="ST" ldInst="LD0" lnClass="XCBR" lnInst="1" prefix="">
          <DAI desc="kept" name="stVal" />
        </FCDA>
        <FCDA doName="NoDesc" />
        <Other desc="kept" />
      </DataSet>
      <FCDA desc="kept, not in a DataSet" />
    </GOCBref>
    <SMVCBref name="s">
      <DataSet>
        <FCDA desc="kept, SMVCBref under GOOSEPUB" />
      </DataSet>
    </SMVCBref>
  </GOOSEPUB>
  <SVPUB>
    <SMVCBref name="s">
      <DataSet>
        <FCDA dU="kept" Desc="kept" />
      </DataSet>
    </SMVCBref>
  </SVPUB>
</IED>
)"));

  // A root without name ends with an empty one; a null root is left alone.
  pugi::xml_document nameless;
  nameless.append_child("IED").append_attribute("type").set_value("t");
  finish_ccd(nameless.document_element());
  EXPECT_EQ(serialised_element(nameless.document_element()), "<IED name=\"\" />\n");
  finish_ccd(pugi::xml_node());
}

// ---------------------------------------------------------------------------
// Query texts
// ---------------------------------------------------------------------------

TEST(FormatQuery, InsertsArgumentsByteForByteWithoutRescanning) {
  EXPECT_EQ(format_query("/SCL/IED[@name='{0}']", {"P1"}), "/SCL/IED[@name='P1']");
  EXPECT_EQ(format_query("/SCL/IED[@name='{0}']", {"{0}"}), "/SCL/IED[@name='{0}']");
  EXPECT_EQ(format_query("./LN0/{0}[@datSet='{1}']", {"GSEControl", "a\"b]{1}"}),
            "./LN0/GSEControl[@datSet='a\"b]{1}']");
  EXPECT_EQ(format_query("{10}{1}{01}", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}), "ten11");
}

}  // namespace
}  // namespace ccdcrc
