#include "history/listing_cache.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <zlib.h>

#include "ccdcrc/version.h"
#include "files/staged_file.h"
#include "system/files.h"
#include "xml/input.h"

namespace ccdcrc {

namespace {

constexpr std::string_view magic = "ccdcrc listing cache 2";  // 2: no listing of a file read in part

// A station of publishers and a subscriber of both kinds of circuits: its
// CRCs change whenever the way CRCs are computed does.
constexpr std::string_view probe_station = R"(<SCL xmlns="http://www.iec.ch/61850/2003/SCL">
<Communication><SubNetwork name="S"><ConnectedAP iedName="P1" apName="A"><GSE ldInst="LD0" cbName="Trip"><Address>
<P type="MAC-Address">01-0C-CD-01-00-01</P><P type="APPID">0001</P></Address></GSE></ConnectedAP>
<ConnectedAP iedName="M1" apName="A"><SMV ldInst="MU" cbName="Sv"><Address><P type="APPID">4001</P></Address></SMV>
</ConnectedAP></SubNetwork></Communication>
<IED name="P1"><AccessPoint name="A"><Server><LDevice inst="LD0"><LN0 lnClass="LLN0" inst="" lnType="L0">
<DataSet name="Ds"><FCDA ldInst="LD0" prefix="" lnClass="PTRC" lnInst="1" doName="Tr" daName="general" fc="ST"/></DataSet>
<GSEControl name="Trip" datSet="Ds" appID="P1_Trip" confRev="1"/></LN0><LN lnClass="PTRC" inst="1" lnType="T"/>
</LDevice></Server></AccessPoint></IED>
<IED name="M1"><AccessPoint name="A"><Server><LDevice inst="MU"><LN0 lnClass="LLN0" inst="" lnType="L0">
<DataSet name="Sv"><FCDA ldInst="MU" prefix="I" lnClass="TCTR" lnInst="1" doName="Amp" fc="MX"/></DataSet>
<SampledValueControl name="Sv" datSet="Sv" smvID="M1_SV" confRev="1" nofASDU="1" smpRate="80"/></LN0>
<LN prefix="I" lnClass="TCTR" inst="1" lnType="C"/></LDevice></Server></AccessPoint></IED>
<IED name="B2"><AccessPoint name="A"><Server><LDevice inst="C"><LN0 lnClass="LLN0" inst="" lnType="L0"><Inputs>
<ExtRef iedName="P1" ldInst="LD0" prefix="" lnClass="PTRC" lnInst="1" doName="Tr" daName="general" intAddr="a"/>
<ExtRef iedName="M1" ldInst="MU" prefix="I" lnClass="TCTR" lnInst="1" doName="Amp" intAddr="b"/>
</Inputs></LN0></LDevice></Server></AccessPoint></IED>
<DataTypeTemplates><LNodeType id="L0" lnClass="LLN0"/><LNodeType id="T" lnClass="PTRC"><DO name="Tr" type="A"/>
</LNodeType><LNodeType id="C" lnClass="TCTR"><DO name="Amp" type="S"/></LNodeType><DOType id="A" cdc="ACT">
<DA name="general" bType="BOOLEAN" fc="ST"/></DOType><DOType id="S" cdc="SAV"><DA name="instMag" bType="Struct"
type="V" fc="MX"/><DA name="q" bType="Quality" fc="MX"/></DOType><DAType id="V"><BDA name="i" bType="INT32"/>
</DAType></DataTypeTemplates></SCL>)";

// A field of a line: bytes other than visible ASCII, and '%', as %XX.
void add_field(std::string& line, std::string_view text) {
  line += '\t';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F && c != '%') {
      line += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      line += escape;
    }
  }
}

// "-" for none, "=" and the text for a text (which may be empty).
void add_optional(std::string& line, const std::optional<std::string>& text) {
  if (!text) return add_field(line, "-");
  add_field(line, "=" + *text);
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The fields of a line, unescaped; nullopt when one is malformed.
std::optional<std::vector<std::string>> fields_of(std::string_view line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c != '%') {
      fields.back() += c;
    } else {
      if (i + 2 >= line.size()) return std::nullopt;
      const int high = hex_value(line[i + 1]);
      const int low = hex_value(line[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      fields.back() += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return fields;
}

std::optional<std::optional<std::string>> optional_of(const std::string& field) {
  if (field == "-") return std::optional<std::string>();
  if (!field.starts_with('=')) return std::nullopt;
  return std::optional<std::string>(field.substr(1));
}

std::string checksum(std::string_view text) {
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(crc));
  return hex;
}

void add_entry(std::string& text, const std::string& key, const RevisionListing& listing) {
  text += 'K';
  add_field(text, key);
  add_field(text, listing.scd_crc);
  add_optional(text, listing.header.id);
  add_optional(text, listing.header.version);
  add_optional(text, listing.header.revision);
  text += '\n';
  for (const RevisionIed& ied : listing.ieds) {
    text += 'I';
    add_field(text, ied.name);
    add_optional(text, ied.crc);
    text += '\n';
  }
  for (const BrokenBinding& binding : listing.bindings) {
    text += 'B';
    for (const std::string* field : {&binding.ied, &binding.source, &binding.int_addr, &binding.reason}) {
      add_field(text, *field);
    }
    text += '\n';
  }
  for (const auto& [name, place] : listing.bays) {
    text += 'P';
    for (const std::string* field :
         {&name, &place.voltage_level, &place.voltage_level_desc, &place.bay, &place.bay_desc}) {
      add_field(text, *field);
    }
    text += '\n';
  }
}

// Adds a line to the entries; false when it is malformed.
bool add_line(const std::vector<std::string>& fields, std::list<std::pair<std::string, RevisionListing>>& entries) {
  const std::string& kind = fields[0];
  if (kind == "K" && fields.size() == 6) {
    RevisionListing listing;
    listing.scd_crc = fields[2];
    const auto id = optional_of(fields[3]);
    const auto version = optional_of(fields[4]);
    const auto revision = optional_of(fields[5]);
    if (!id || !version || !revision) return false;
    listing.header = {*id, *version, *revision};
    entries.emplace_back(fields[1], std::move(listing));
    return true;
  }
  if (entries.empty()) return false;
  RevisionListing& listing = entries.back().second;
  if (kind == "I" && fields.size() == 3) {
    const auto crc = optional_of(fields[2]);
    if (!crc) return false;
    listing.ieds.push_back({fields[1], *crc});
    return true;
  }
  if (kind == "B" && fields.size() == 5) {
    listing.bindings.push_back({fields[1], fields[2], fields[3], fields[4]});
    return true;
  }
  if (kind == "P" && fields.size() == 6) {
    listing.bays[fields[1]] = {fields[2], fields[3], fields[4], fields[5]};
    return true;
  }
  return false;
}

}  // namespace

std::string cache_text(const std::list<std::pair<std::string, RevisionListing>>& entries, const std::string& identity) {
  std::string text(magic);
  add_field(text, identity);
  text += '\n';
  for (const auto& [key, listing] : entries) add_entry(text, key, listing);
  const std::string sum = checksum(text);
  text += "end\t";
  text += sum;
  text += '\n';
  return text;
}

std::list<std::pair<std::string, RevisionListing>> cache_entries(std::string_view text, const std::string& identity) {
  // The last line gives the checksum of everything before it.
  const std::size_t end = text.rfind("end\t");
  if (end == std::string_view::npos || (end != 0 && text[end - 1] != '\n')) return {};
  if (text.substr(end) != "end\t" + checksum(text.substr(0, end)) + '\n') return {};
  std::string head(magic);
  add_field(head, identity);
  head += '\n';
  if (!text.starts_with(head)) return {};
  std::list<std::pair<std::string, RevisionListing>> entries;
  for (std::size_t at = head.size(); at < end;) {
    const std::size_t line_end = text.find('\n', at);
    const std::optional<std::vector<std::string>> fields = fields_of(text.substr(at, line_end - at));
    if (!fields || !add_line(*fields, entries)) return {};
    at = line_end + 1;
  }
  return entries;
}

ListingCache::ListingCache(std::string path, std::size_t capacity)
    : path_(std::move(path)), capacity_(capacity), identity_(listing_identity()) {
  Input input;
  LoadProblem problem;
  InputOptions options;
  options.pipes = false;
  options.unpack = false;
  if (!read_input(path_, options, input, problem)) return;
  entries_ = cache_entries(std::string_view(input.text.data(), input.text.size()), identity_);
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) by_key_[entry->first] = entry;
}

void ListingCache::use(Entries::iterator entry) { entries_.splice(entries_.end(), entries_, entry); }

std::optional<RevisionListing> ListingCache::find(const std::string& key) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = by_key_.find(key);
  if (found == by_key_.end()) return std::nullopt;
  use(found->second);
  changed_ = true;  // the order of use is kept too
  return found->second->second;
}

void ListingCache::put(const std::string& key, const RevisionListing& listing) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (const auto found = by_key_.find(key); found != by_key_.end()) {
    found->second->second = listing;
    use(found->second);
  } else {
    entries_.emplace_back(key, listing);
    by_key_[key] = std::prev(entries_.end());
  }
  while (entries_.size() > capacity_) {
    by_key_.erase(entries_.front().first);
    entries_.pop_front();
  }
  changed_ = true;
}

int ListingCache::save() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!changed_) return 0;
  std::error_code error;
  std::filesystem::create_directories(native_path(path_).parent_path(), error);
  if (error) return error.value();
  if (const int failure = replace_file(path_, cache_text(entries_, identity_)); failure != 0) return failure;
  changed_ = false;
  return 0;
}

std::string default_cache_path() {
  const std::string folder = cache_folder();
  return folder.empty() ? folder : folder + path_separator() + "history.cache";
}

std::string listing_identity() {
  std::string identity = "ccdcrc ";
  identity += CCDCRC_VERSION;
  SourceText text;
  std::unique_ptr<Scd> scd;
  if (text.assign(probe_station)) scd = Scd::parse(std::move(text), "probe");
  if (!scd) return identity + " unknown";
  for (const RevisionIed& ied : list_revision(*scd, 1).ieds) identity += " " + ied.name + "=" + ied.crc.value_or("-");
  return identity;
}

}  // namespace ccdcrc
