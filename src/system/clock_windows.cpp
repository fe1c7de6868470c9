#include "system/clock.h"

namespace ccdcrc {

std::tm local_time(std::time_t when) {
  std::tm parts{};
  localtime_s(&parts, &when);
  return parts;
}

std::tm universal_time(std::time_t when) {
  std::tm parts{};
  gmtime_s(&parts, &when);
  return parts;
}

}  // namespace ccdcrc
