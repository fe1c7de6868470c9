#include "operations/shown_ccd.h"

#include "crc/canonical.h"
#include "operations/export.h"

namespace ccdcrc {

namespace {

// Collects what pugixml writes.
class StringWriter final : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& text) : text_(text) {}
  void write(const void* data, std::size_t size) override { text_.append(static_cast<const char*>(data), size); }

 private:
  std::string& text_;
};

}  // namespace

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
    add_crc_element(*shown.built, scd, ied);
  }
  shown.depth = nesting_depth(shown.document().document_element());
  shown.status = shown.depth > max_written_depth ? ShownCcd::Status::too_deep : ShownCcd::Status::shown;
  return shown;
}

std::string shown_text(const ShownCcd& shown) {
  std::string text;
  StringWriter writer(text);
  save_ccd(shown.document(), writer);
  return text;
}

}  // namespace ccdcrc
