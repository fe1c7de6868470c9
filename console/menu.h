#pragma once
#include <istream>
#include <ostream>

namespace ccdcrc {
// The interactive menu: asks for one action and its inputs, runs it through the
// C entry points and prints the result. Always returns exit status 0.
int run_menu(std::istream& in, std::ostream& out);
}  // namespace ccdcrc
