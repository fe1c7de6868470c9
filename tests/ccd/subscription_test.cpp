// Subscribed circuits of a CCD: inputs, the control blocks they lead to, the
// data-set members mapped to the subscriber's internal addresses, and the
// finishing pass that reduces them before the CRC is taken.
//
// Every expected CCD below was written out by hand from the rules of the CCD
// format; a difference from it is a change of the CRC that devices report.

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace ccdcrc {
namespace {

using testing::built_ccd;
using testing::data_path;
using testing::expected_ccd;
using testing::fixture_ccd;
using testing::load_fixture;
using testing::read_file;
using testing::serialise;

using testing::crc_of_serialised;

// ---------------------------------------------------------------------------
// A complete subscriber: it publishes one GOOSE control block and subscribes
// to a GOOSE and a sampled-value control block of another IED. Covers two
// inputs on one member, NULL members, ":" addresses, SDI/DAI paths on both
// sides, LLN0 through the LN0 candidate, dotted doName/daName types, ExtRef
// elements without or with an empty intAddr, and the finishing pass.

TEST(SubscribedCcd, GoldenSubscriberAsBuiltAndMeasured) {
  auto scd = load_fixture("sub_golden.scd");
  ASSERT_TRUE(scd);
  const std::string built = read_file(data_path("sub_golden_SUB.ccd"));
  const std::string measured = read_file(data_path("sub_golden_SUB.measured.ccd"));

  EXPECT_EQ(built_ccd(*scd, "SUB", false), built);
  EXPECT_EQ(built_ccd(*scd, "SUB", true), measured);

  std::optional<std::string> crc = ied_crc(*scd, find_ied(*scd, "SUB"));
  ASSERT_TRUE(crc);
  EXPECT_EQ(*crc, crc_of_serialised(measured));
  EXPECT_EQ(run_ied_crc(data_path("sub_golden.scd"), "SUB"), *crc);
}

// ---------------------------------------------------------------------------
// ExtRef keys are plain concatenations: prefix "PL" + ldInst "D1" equals
// prefix "P" + ldInst "LD1", so the first input (whose own publisher LDevice
// D1 does not exist) still binds to the member, ahead of the second one.
// Missing prefix and lnInst widen the member search; an input without daName
// finds the data object's members but binds only to members without daName.
// Members without daName get no bType; their desc is that of the DOI, or of
// the SDI that further doName pieces name.

TEST(SubscribedCcd, ExtRefKeysAndWidenedMemberSearch) {
  EXPECT_EQ(fixture_ccd("sub_keys.scd", "SUBK"), expected_ccd("sub_SUBK.ccd"));
}

// ---------------------------------------------------------------------------
// Finding the control block of a member:
// - inputs whose publisher IED or LDevice is missing add nothing;
// - a control block in another LDevice of the same server is found by the
//   second search and named after that LDevice (gp in LD0 for members of
//   PROT); its data set, bType and desc are read from LD0, so the PTOC
//   instance in PROT gives neither "Quality" nor "Operate"; its Private
//   child is copied with it;
// - the first matching GSE in the Communication section wins, whatever its
//   access point (AP9);
// - only the server of the first access point with the LDevice is searched
//   (gq under AP2 never appears);
// - the input on Sh lies in DS_A and DS_B: ga is already referenced, so the
//   call stops before gbb, which only the later input on Sh3 adds, after gb;
// - the data set BOTH gives a GOCBref and an SMVCBref.

TEST(SubscribedCcd, ControlBlockSearchAndSeenLists) {
  EXPECT_EQ(fixture_ccd("sub_search.scd", "SUB2"), expected_ccd("sub_SUB2.ccd"));
}

// The control block is first sought in the input's own LDevice by data set
// name: the member found first lies in A's data set DS, but B's LN0 has a
// control block (without a name) for a data set of that name, so that one is
// referenced and B's DS is written; A's control block ca never appears.
// Members keep every attribute of their own (desc and dU too); a member's own
// bType gives way to the resolved one only when daName is set.

TEST(SubscribedCcd, DataSetNameIsSoughtInTheInputLDeviceFirst) {
  EXPECT_EQ(fixture_ccd("sub_dsname.scd", "SUB5"), expected_ccd("sub_SUB5.ccd"));
  // The member's own bType survives the finishing pass when no daName replaced it.
  EXPECT_NE(fixture_ccd("sub_dsname.scd", "SUB5", true).find("\t\t\t\t<FCDA bType=\"Own\">\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Internal addresses of the subscriber:
// A1: two logical nodes named GGIO1 both hold DOI D: the intAddr gets desc and
//     name from each (duplicate attributes), the copy only from the first,
//     whose DAI v exists.
// A2: the DAI's empty desc falls back to the DOI's, not to the SDI's; the
//     following address without "." adds an empty intAddr, since the member
//     already has one.
// A3: only addresses without "." bound: no intAddr at all, and no NULL.
// A4: an address without "." before the first intAddr adds nothing.
// A5: missing LDevice, no "/", nothing after ":", nothing after "/", unknown
//     logical node, an apostrophe, an empty piece between "::": all give an
//     intAddr without attributes.
// A6: the text between the first and the second ":" is used; a third "/"
//     piece is ignored.
// A7: the only input for it has an apostrophe in doName and finds nothing,
//     without stopping the build.
// A8: an LN that is also named LLN0 (placed after the LN0) is a candidate
//     before the LN0: both fill the intAddr, the LN first.

TEST(SubscribedCcd, InternalAddresses) { EXPECT_EQ(fixture_ccd("sub_addr.scd", "SUB3"), expected_ccd("sub_SUB3.ccd")); }

// ---------------------------------------------------------------------------
// Inputs that exist but lead nowhere (unknown IED, no member, a data set
// without control block) still give the IED a CRC: its CCD is the root
// element alone. ExtRef elements without intAddr, with an empty one, or
// outside a logical node are no inputs: such an IED has no CRC.

TEST(SubscribedCcd, InputsThatResolveToNothing) {
  auto scd = load_fixture("sub_unresolved.scd");
  ASSERT_TRUE(scd);
  EXPECT_EQ(built_ccd(*scd, "SUB6"), R"ccd(<?xml version="1.0" encoding="UTF-8"?>
<IED configVersion="" desc="inputs that lead nowhere" manufacturer="" name="SUB6" type="T" />
)ccd");
  EXPECT_EQ(built_ccd(*scd, "SUB6", true), R"ccd(<?xml version="1.0" encoding="UTF-8"?>
<IED name="SUB6" />
)ccd");
  const std::string sub6_crc = crc_text_of(R"(<?xmlversion="1.0"encoding="UTF-8"?><IEDname="SUB6"/>)");
  EXPECT_EQ(ied_crc(*scd, find_ied(*scd, "SUB6")), sub6_crc);
  EXPECT_EQ(run_ied_crc(data_path("sub_unresolved.scd"), "SUB6"), sub6_crc);

  EXPECT_TRUE(build_ied_ccd(*scd, find_ied(*scd, "SUB7"))->nothing_found);
  EXPECT_EQ(ied_crc(*scd, find_ied(*scd, "SUB7")), std::nullopt);
  EXPECT_EQ(run_ied_crc(data_path("sub_unresolved.scd"), "SUB7"), "");

  IedCrcMap all = run_all_ied_crcs(data_path("sub_unresolved.scd"));
  EXPECT_EQ(all.count("SUB7"), 0u);
  EXPECT_EQ(all["SUB6"], sub6_crc);
}

// ---------------------------------------------------------------------------
// The finishing pass on a hand-made CCD.

std::string finished(const char* ccd_text) {
  pugi::xml_document ccd;
  EXPECT_TRUE(ccd.load_string(ccd_text, pugi::parse_full));
  finish_ccd(ccd.document_element());
  return serialise(ccd);
}

TEST(FinishingPass, KeepsOnlyWhatTheCrcCovers) {
  // Root keeps name only; published members lose desc only; subscribed
  // members keep a non-empty bType only, their intAddr children lose desc;
  // intAddr elsewhere and everything outside the members stay.
  EXPECT_EQ(finished(R"ccd(<?xml version="1.0" encoding="UTF-8"?>
<IED configVersion="1" desc="d" manufacturer="m" name="X" type="t">
	<GOOSEPUB>
		<GOCBref name="XLD/LLN0$GO$g" desc="ref">
			<GSEControl desc="cb" name="g" />
			<DataSet desc="ds" name="DS">
				<FCDA bType="BOOLEAN" daName="stVal" desc="pub" doName="Ind" fc="ST" ldInst="LD" lnClass="GGIO" lnInst="1" prefix="">
					<DAI desc="kept" name="stVal" />
					<intAddr desc="kept" name="n" />
				</FCDA>
			</DataSet>
		</GOCBref>
	</GOOSEPUB>
	<GOOSESUB>
		<GOCBref name="PLD/LLN0$GO$g">
			<DataSet desc="ds" name="DS">
				<FCDA bType="Quality" daName="q" desc="sub" doName="Ind" fc="ST" ldInst="LD" lnClass="GGIO" lnInst="1">
					<intAddr desc="a" name="LD/GGIO1.Ind.q" extra="e">
						<DAI desc="inner" name="q">text</DAI>
					</intAddr>
					<other desc="o" />
				</FCDA>
				<FCDA bType="" doName="Mod">
					<intAddr desc="" name="NULL" />
				</FCDA>
				<FCDA doName="Mod" />
			</DataSet>
		</GOCBref>
	</GOOSESUB>
	<SVSUB>
		<SMVCBref name="PLD/LLN0$MS$s">
			<DataSet name="SV">
				<FCDA bType="INT32" desc="sub">
					<intAddr />
				</FCDA>
			</DataSet>
			<FCDA bType="INT32" desc="not a member" />
		</SMVCBref>
	</SVSUB>
</IED>
)ccd"),
            R"ccd(<?xml version="1.0" encoding="UTF-8"?>
<IED name="X">
	<GOOSEPUB>
		<GOCBref name="XLD/LLN0$GO$g" desc="ref">
			<GSEControl desc="cb" name="g" />
			<DataSet desc="ds" name="DS">
				<FCDA bType="BOOLEAN" daName="stVal" doName="Ind" fc="ST" ldInst="LD" lnClass="GGIO" lnInst="1" prefix="">
					<DAI desc="kept" name="stVal" />
					<intAddr desc="kept" name="n" />
				</FCDA>
			</DataSet>
		</GOCBref>
	</GOOSEPUB>
	<GOOSESUB>
		<GOCBref name="PLD/LLN0$GO$g">
			<DataSet desc="ds" name="DS">
				<FCDA bType="Quality">
					<intAddr name="LD/GGIO1.Ind.q" extra="e">
						<DAI desc="inner" name="q">text</DAI>
					</intAddr>
					<other desc="o" />
				</FCDA>
				<FCDA>
					<intAddr name="NULL" />
				</FCDA>
				<FCDA />
			</DataSet>
		</GOCBref>
	</GOOSESUB>
	<SVSUB>
		<SMVCBref name="PLD/LLN0$MS$s">
			<DataSet name="SV">
				<FCDA bType="INT32">
					<intAddr />
				</FCDA>
			</DataSet>
			<FCDA bType="INT32" desc="not a member" />
		</SMVCBref>
	</SVSUB>
</IED>
)ccd");
}

// An intAddr that two logical nodes of the same name filled carries desc and
// name twice. The pass removes the attribute desc once per intAddr, as
// pugixml's remove_attribute does: the second desc stays and is measured.
TEST(FinishingPass, DuplicatedIntAddrDescLosesOnlyItsFirstDesc) {
  auto scd = load_fixture("sub_addr.scd");
  ASSERT_TRUE(scd);
  const std::string measured = built_ccd(*scd, "SUB3", true);
  EXPECT_NE(measured.find("\t\t\t\t\t<intAddr name=\"S/GGIO1.D.v\" desc=\"second\" name=\"S/GGIO1.D.v\">\n"
                          "\t\t\t\t\t\t<DAI name=\"v\" />\n"),
            std::string::npos)
      << measured;
}

TEST(FinishingPass, RootWithoutNameGetsAnEmptyName) {
  EXPECT_EQ(finished(R"(<?xml version="1.0" encoding="UTF-8"?><IED desc="d" type="t"/>)"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<IED name=\"\" />\n");
}

}  // namespace
}  // namespace ccdcrc
