#include "system/clock.h"

namespace ccdcrc {

std::tm local_time(std::time_t when) {
  std::tm parts{};
  localtime_r(&when, &parts);
  return parts;
}

std::tm universal_time(std::time_t when) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  return parts;
}

}  // namespace ccdcrc
