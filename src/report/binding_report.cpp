#include "report/binding_report.h"

#include <utility>

namespace ccdcrc {

void write_bindings(JsonStream& json, const BindingChanges& bindings) {
  json.key("bindings");
  json.open_object();
  for (const auto& [key, list] : {std::pair{"broken", &bindings.broken}, std::pair{"mended", &bindings.mended}}) {
    json.key(key);
    json.open_array();
    for (const BrokenBinding& binding : *list) {
      json.open_object();
      json.member("ied", binding.ied);
      json.member("int_addr", binding.int_addr);
      json.member("source", binding.source);
      json.member("reason", binding.reason);
      json.close();
    }
    json.close();
  }
  json.close();
}

}  // namespace ccdcrc
