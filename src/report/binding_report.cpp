#include "report/binding_report.h"

namespace ccdcrc {

namespace {

void write_list(JsonStream& json, const char* key, const std::vector<BrokenBinding>& list) {
  json.key(key);
  json.open_array();
  for (const BrokenBinding& binding : list) {
    json.open_object();
    json.member("ied", binding.ied);
    json.member("int_addr", binding.int_addr);
    json.member("source", binding.source);
    json.member("reason", binding.reason);
    json.close();
  }
  json.close();
}

}  // namespace

void write_bindings(JsonStream& json, const BindingChanges& bindings) {
  json.key("bindings");
  json.open_object();
  write_list(json, "broken", bindings.broken);
  write_list(json, "mended", bindings.mended);
  json.close();
}

void write_broken_bindings(std::ostream& out, const std::string& scd_path, const std::vector<BrokenBinding>& broken) {
  JsonStream json(out);
  json.open_object();
  json.member("scd", scd_path);
  write_list(json, "broken", broken);
  json.close();
}

}  // namespace ccdcrc
