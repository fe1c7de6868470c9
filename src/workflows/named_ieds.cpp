#include "workflows/named_ieds.h"

#include "operations/messages.h"

namespace ccdcrc {

pugi::xml_node NamedIeds::find(const std::string& name, const std::string& consequence, Notes& notes,
                               std::string* reason) const {
  if (pugi::xml_node ied = lookup_.find(name)) {
    if (const std::size_t count = lookup_.count(name); count > 1) {
      add_warning(notes, scd_.path(), shared_name_warning(count, name, consequence));
    }
    return ied;
  }
  std::string why = unknown_ied_message(scd_, lookup_, name);
  add_error(notes, scd_.path(), why);
  if (reason) *reason = std::move(why);
  return {};
}

}  // namespace ccdcrc
