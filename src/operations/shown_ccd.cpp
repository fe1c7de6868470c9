#include "operations/shown_ccd.h"

#include "operations/export.h"

namespace ccdcrc {

ShownCcd show_ccd(const Scd& scd, pugi::xml_node ied, CcdForm form) {
  ShownCcd shown;
  shown.built = build_ied_ccd(scd, ied);
  if (shown.built->nothing_found) {
    shown.status = ShownCcd::Status::no_circuits;
    return shown;
  }
  if (form == CcdForm::measured) {
    shown.finished = finish_copy(shown.built->root);
  } else {
    add_crc_element(*shown.built);
  }
  shown.depth = nesting_depth(shown.document().document_element());
  shown.status = shown.depth > max_written_depth ? ShownCcd::Status::too_deep : ShownCcd::Status::shown;
  return shown;
}

}  // namespace ccdcrc
