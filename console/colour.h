#pragma once
// Colour for the statuses of the text reports on a terminal: the style the
// printers are given (report/style.h) when colour is wanted.

#include "report/style.h"

namespace ccdcrc {

enum class ColourChoice { automatic, always, never };

// Whether statuses are coloured: `always`, `never`, or (automatic) when
// standard output is a terminal and NO_COLOR is unset or empty.
bool colour_wanted(ColourChoice choice, bool out_is_terminal, const char* no_color);

// SGR colours: green what matches, yellow what changed, cyan what is new,
// red what is gone or unreadable.
TextStyle colour_style();

}  // namespace ccdcrc
