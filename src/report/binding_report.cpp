#include "report/binding_report.h"

#include <utility>

namespace ccdcrc {

namespace {

void write_binding(JsonStream& json, const BrokenBinding& binding) {
  json.open_object();
  json.member("ied", binding.ied);
  json.member("int_addr", binding.int_addr);
  json.member("source", binding.source);
  json.member("reason", binding.reason);
  json.close();
}

}  // namespace

void write_bindings(JsonStream& json, const BindingChanges& bindings) {
  json.key("bindings");
  json.open_object();
  for (const auto& [key, list] : {std::pair{"broken", &bindings.broken}, std::pair{"mended", &bindings.mended}}) {
    json.key(key);
    json.open_array();
    for (const BrokenBinding& binding : *list) write_binding(json, binding);
    json.close();
  }
  json.close();
}

void write_broken_bindings(std::ostream& out, Format format, const std::string& scd_path,
                           const std::vector<BrokenBinding>& broken) {
  if (format == Format::json) {
    JsonStream json(out);
    json.open_object();
    json.member("scd", scd_path);
    json.key("broken_bindings");
    json.open_array();
    for (const BrokenBinding& binding : broken) write_binding(json, binding);
    json.close();
    json.close();
    return;
  }
  if (format == Format::csv) {
    out << "ied,int_addr,source,reason\n";
    for (const BrokenBinding& binding : broken) {
      out << csv_field(binding.ied) << ',' << csv_field(binding.int_addr) << ',' << csv_field(binding.source) << ','
          << csv_field(binding.reason) << '\n';
    }
    return;
  }
  for (const BrokenBinding& binding : broken) {
    out << printable(binding.ied) << ": input " << printable(binding.int_addr) << " (" << printable(binding.source)
        << ") resolves to nothing: " << printable(binding.reason) << '\n';
  }
}

}  // namespace ccdcrc
