#pragma once
// A small station written at run time, scaled in one direction at a time:
// publisher P1 sends GOOSE "Trip" with data set TripSet, subscriber S1 takes
// it in. Used for inputs too large, too deep or too many to ship as files.

#include <cstddef>
#include <fstream>
#include <string>

namespace ccdcrc::testing {

struct StationShape {
  std::size_t members = 1;           // FCDA members of TripSet
  std::size_t sdi_levels = 0;        // SDI nesting under P1's DOI Tr and S1's DOI Ind
  std::size_t other_gse_levels = 0;  // nesting under a second GSE entry of P1's access point
  std::size_t app_id_length = 7;     // length of the appID of P1's GSEControl
  std::size_t silent_ieds = 0;       // IEDs without circuits
  std::size_t publishers = 0;        // more publishers Q0, Q1, ... like P1, without its nesting (no subscribers)
  std::size_t instances = 0;         // more members of TripSet, PTRC2 to PTRC(n+1), each named by an input of S1
  bool instances_bound = true;       // whether those inputs ask for their attribute, or for one no member has
};

namespace station_detail {

inline void nested(std::ostream& out, const char* open, const char* close, std::size_t levels, const char* inner) {
  for (std::size_t i = 0; i < levels; ++i) out << open;
  out << inner;
  for (std::size_t i = 0; i < levels; ++i) out << close;
}

inline void publisher(std::ostream& out, const std::string& name, const StationShape& shape, bool deep) {
  out << "\t<IED name=\"" << name << "\" manufacturer=\"Maker\" type=\"Protection\" configVersion=\"1\">\n"
      << "\t\t<AccessPoint name=\"AP1\"><Server><LDevice inst=\"LD0\">\n"
      << "\t\t\t<LN0 lnClass=\"LLN0\" inst=\"\" lnType=\"LLN0_T\">\n"
      << "\t\t\t\t<DataSet name=\"TripSet\">\n";
  for (std::size_t i = 0; i < shape.members; ++i) {
    out << "\t\t\t\t\t<FCDA ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"1\" doName=\"Tr\" daName=\"general\" "
           "fc=\"ST\"/>\n";
  }
  for (std::size_t i = 2; deep && i < shape.instances + 2; ++i) {
    out << "\t\t\t\t\t<FCDA ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"" << i
        << "\" doName=\"Tr\" daName=\"general\" fc=\"ST\"/>\n";
  }
  if (deep && shape.sdi_levels > 0) {
    // The whole DOI, and the attribute at the bottom of its nesting.
    out << "\t\t\t\t\t<FCDA ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"1\" doName=\"Tr\" fc=\"ST\"/>\n"
        << "\t\t\t\t\t<FCDA ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"1\" doName=\"Tr";
    for (std::size_t i = 0; i < shape.sdi_levels; ++i) out << ".s";
    out << "\" daName=\"general\" fc=\"ST\"/>\n";
  }
  out << "\t\t\t\t</DataSet>\n"
      << "\t\t\t\t<GSEControl name=\"Trip\" datSet=\"TripSet\" confRev=\"1\" appID=\""
      << std::string(shape.app_id_length, 'A') << "\"/>\n"
      << "\t\t\t</LN0>\n"
      << "\t\t\t<LN lnClass=\"PTRC\" inst=\"1\" lnType=\"PTRC_T\">";
  if (deep && shape.sdi_levels > 0) {
    out << "<DOI name=\"Tr\">";
    nested(out, "<SDI name=\"s\">", "</SDI>", shape.sdi_levels, "<DAI name=\"general\"><Val>true</Val></DAI>");
    out << "</DOI>";
  }
  out << "</LN>\n"
      << "\t\t</LDevice></Server></AccessPoint>\n"
      << "\t</IED>\n";
}

inline std::string publisher_name(std::size_t index) {
  std::string name = "Q";
  name += std::to_string(index);
  return name;
}

inline std::string two_hex_digits(std::size_t value) {
  const char* digits = "0123456789ABCDEF";
  return {digits[value / 16 % 16], digits[value % 16]};
}

inline void address(std::ostream& out, const std::string& name, std::size_t index) {
  out << "\t\t\t<ConnectedAP iedName=\"" << name << "\" apName=\"AP1\">\n"
      << "\t\t\t\t<GSE ldInst=\"LD0\" cbName=\"Trip\"><Address><P type=\"MAC-Address\">01-0C-CD-01-"
      << two_hex_digits(index / 256) << "-" << two_hex_digits(index) << "</P>"
      << "<P type=\"APPID\">0001</P></Address></GSE>\n";
}

}  // namespace station_detail

inline void write_station(const std::string& path, const StationShape& shape) {
  using namespace station_detail;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<SCL xmlns=\"http://www.iec.ch/61850/2003/SCL\" version=\"2007\" revision=\"B\">\n"
      << "\t<Header id=\"generated\"/>\n"
      << "\t<Communication>\n\t\t<SubNetwork name=\"Station\">\n";
  address(out, "P1", 0);
  if (shape.other_gse_levels > 0) {
    out << "\t\t\t\t<GSE ldInst=\"LD0\" cbName=\"Other\">";
    nested(out, "<Private>", "</Private>", shape.other_gse_levels, "");
    out << "</GSE>\n";
  }
  out << "\t\t\t</ConnectedAP>\n";
  for (std::size_t i = 0; i < shape.publishers; ++i) {
    address(out, publisher_name(i), i + 1);
    out << "\t\t\t</ConnectedAP>\n";
  }
  out << "\t\t</SubNetwork>\n\t</Communication>\n";

  publisher(out, "P1", shape, true);
  for (std::size_t i = 0; i < shape.publishers; ++i) publisher(out, publisher_name(i), shape, false);

  out << "\t<IED name=\"S1\" manufacturer=\"Maker\" type=\"Bay\" configVersion=\"1\">\n"
      << "\t\t<AccessPoint name=\"AP1\"><Server><LDevice inst=\"CTRL\">\n"
      << "\t\t\t<LN0 lnClass=\"LLN0\" inst=\"\" lnType=\"LLN0_T\"><Inputs>\n"
      << "\t\t\t\t<ExtRef iedName=\"P1\" ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"1\" doName=\"Tr\" "
         "daName=\"general\" intAddr=\"CTRL/GGIO1.Ind\"/>\n";
  for (std::size_t i = 2; i < shape.instances + 2; ++i) {
    out << "\t\t\t\t<ExtRef iedName=\"P1\" ldInst=\"LD0\" prefix=\"\" lnClass=\"PTRC\" lnInst=\"" << i
        << "\" doName=\"Tr\" daName=\"" << (shape.instances_bound ? "general" : "q")
        << "\" intAddr=\"CTRL/GGIO1.Ind\"/>\n";
  }
  out << "\t\t\t</Inputs></LN0>\n"
      << "\t\t\t<LN lnClass=\"GGIO\" inst=\"1\" lnType=\"GGIO_T\"><DOI name=\"Ind\">";
  nested(out, "<SDI name=\"s\">", "</SDI>", shape.sdi_levels, "<DAI name=\"stVal\"/>");
  out << "</DOI></LN>\n"
      << "\t\t</LDevice></Server></AccessPoint>\n"
      << "\t</IED>\n";

  for (std::size_t i = 0; i < shape.silent_ieds; ++i) {
    out << "\t<IED name=\"Silent" << i << "\"><AccessPoint name=\"AP1\"><Server><LDevice inst=\"LD0\">"
        << "<LN0 lnClass=\"LLN0\" inst=\"\" lnType=\"LLN0_T\"/></LDevice></Server></AccessPoint></IED>\n";
  }

  out << "\t<DataTypeTemplates>\n"
      << "\t\t<LNodeType id=\"LLN0_T\" lnClass=\"LLN0\"/>\n"
      << "\t\t<LNodeType id=\"PTRC_T\" lnClass=\"PTRC\"><DO name=\"Tr\" type=\"ACT_T\"/></LNodeType>\n"
      << "\t\t<LNodeType id=\"GGIO_T\" lnClass=\"GGIO\"><DO name=\"Ind\" type=\"SPS_T\"/></LNodeType>\n"
      << "\t\t<DOType id=\"ACT_T\" cdc=\"ACT\"><DA name=\"general\" bType=\"BOOLEAN\" fc=\"ST\"/></DOType>\n"
      << "\t\t<DOType id=\"SPS_T\" cdc=\"SPS\"><DA name=\"stVal\" bType=\"BOOLEAN\" fc=\"ST\"/></DOType>\n"
      << "\t</DataTypeTemplates>\n"
      << "</SCL>\n";
}

}  // namespace ccdcrc::testing
