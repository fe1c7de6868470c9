#pragma once
#include <istream>
#include <ostream>

namespace ccdcrc {
// The interactive menu: asks for one action and its inputs, runs it through the
// C entry points and prints the result on `out`. When there is no result, says
// why on `err` and returns a status other than 0 (see ExitStatus).
int run_menu(std::istream& in, std::ostream& out, std::ostream& err);
}  // namespace ccdcrc
