#include "report/scd_revision.h"

namespace ccdcrc {

std::string revision_text(const ScdRevision& revision) {
  if (!revision.version && !revision.revision) return "no version or revision";
  return "version " + printable(revision.version.value_or("-")) + ", revision " +
         printable(revision.revision.value_or("-"));
}

void write_revision(JsonStream& json, const ScdRevision& revision) {
  json.open_object();
  json.member("version", json_text(revision.version));
  json.member("revision", json_text(revision.revision));
  json.close();
}

void write_header(JsonStream& json, const ScdHeader& header) {
  json.open_object();
  json.member("id", json_text(header.id));
  json.member("version", json_text(header.version));
  json.member("revision", json_text(header.revision));
  json.close();
}

}  // namespace ccdcrc
