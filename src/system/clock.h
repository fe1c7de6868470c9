#pragma once
// The calendar time of an instant, in the zone of the process or in UTC
// (clock_posix.cpp, clock_windows.cpp).

#include <ctime>

namespace ccdcrc {

std::tm local_time(std::time_t when);
std::tm universal_time(std::time_t when);

}  // namespace ccdcrc
