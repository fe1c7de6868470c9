// Temporary names, the same on every system.
#include <charconv>
#include <random>

#include "system/temporary_file.h"

namespace ccdcrc {

// The host's name as it may stand in a file name, so that runs on hosts
// that share the directory tell their own temporary files from the others'.
std::string this_host() {
  std::string shown;
  for (const char c : system_host_name()) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
    shown += plain ? c : '_';
  }
  return shown.empty() ? "host" : shown;
}

// ".ccdcrc-HOST-PID-N.tmp": short and hidden, whatever the length of the target's name.
std::string temporary_name() {
  std::random_device random;
  std::string name(temporary_file_prefix);
  name += this_host();
  name += '-';
  name += std::to_string(process_id());
  name += '-';
  name += std::to_string(random());
  name += temporary_file_suffix;
  return name;
}

unsigned long temporary_file_writer(std::string_view name, const std::string& host) {
  const std::string prefix = std::string(temporary_file_prefix) + host + '-';
  if (!name.starts_with(prefix) || !name.ends_with(temporary_file_suffix)) return 0;
  const std::string_view rest = name.substr(prefix.size(), name.size() - prefix.size() - temporary_file_suffix.size());
  unsigned long pid = 0;
  const char* const end = rest.data() + rest.size();
  const auto [stop, error] = std::from_chars(rest.data(), end, pid);
  return error == std::errc() && stop != rest.data() && stop != end && *stop == '-' ? pid : 0;
}

}  // namespace ccdcrc
