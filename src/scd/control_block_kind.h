#pragma once
// The two kinds of control block, GOOSE and sampled values, and every name
// that depends on the kind, in one table.

#include <array>
#include <cstddef>
#include <string_view>

namespace ccdcrc {

// The values are those the CCD's sections and reference texts are ordered by.
enum class ControlBlockKind : unsigned char { goose = 0, sampled_values = 1 };

inline constexpr std::array<ControlBlockKind, 2> control_block_kinds{ControlBlockKind::goose,
                                                                     ControlBlockKind::sampled_values};

struct ControlBlockNames {
  const char* control;          // the SCL element: GSEControl, SampledValueControl
  const char* address;          // its entry under a ConnectedAP: GSE, SMV
  const char* reference;        // the CCD element that references it: GOCBref, SMVCBref
  const char* reference_infix;  // between logical device and name in the reference text
  const char* published;        // the CCD section of the blocks an IED sends: GOOSEPUB, SVPUB
  const char* subscribed;       // the CCD section of the blocks it receives: GOOSESUB, SVSUB
  const char* block;            // the control block as reports name it: GOCB, SVCB
};

inline constexpr std::array<ControlBlockNames, 2> control_block_names{{
    {"GSEControl", "GSE", "GOCBref", "/LLN0$GO$", "GOOSEPUB", "GOOSESUB", "GOCB"},
    {"SampledValueControl", "SMV", "SMVCBref", "/LLN0$MS$", "SVPUB", "SVSUB", "SVCB"},
}};

constexpr const ControlBlockNames& names_of(ControlBlockKind kind) {
  return control_block_names[static_cast<std::size_t>(kind)];
}

// True for the name of a control block element of either kind.
constexpr bool is_control_block(std::string_view name) {
  return name == names_of(ControlBlockKind::goose).control ||
         name == names_of(ControlBlockKind::sampled_values).control;
}

// True for the name of an address entry (under a ConnectedAP) of either kind.
constexpr bool is_control_block_address(std::string_view name) {
  return name == names_of(ControlBlockKind::goose).address ||
         name == names_of(ControlBlockKind::sampled_values).address;
}

// True for the name of a CCD section of published control blocks.
constexpr bool is_published_section(std::string_view name) {
  return name == names_of(ControlBlockKind::goose).published ||
         name == names_of(ControlBlockKind::sampled_values).published;
}

// The kind of a CCD reference element (GOCBref or SMVCBref); anything else is taken as sampled values.
constexpr ControlBlockKind kind_of_reference(std::string_view element) {
  return element == names_of(ControlBlockKind::goose).reference ? ControlBlockKind::goose
                                                                : ControlBlockKind::sampled_values;
}

// One value per kind.
template <typename T>
struct PerKind {
  std::array<T, 2> values{};
  T& operator[](ControlBlockKind kind) { return values[static_cast<std::size_t>(kind)]; }
  const T& operator[](ControlBlockKind kind) const { return values[static_cast<std::size_t>(kind)]; }
};

}  // namespace ccdcrc
