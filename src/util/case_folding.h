#pragma once
// Names told apart as a case-insensitive file system tells them.

#include <string>
#include <string_view>

namespace ccdcrc {

// UTF-8 text with every character case-folded (its upper case, simply
// case-folded, from the Unicode tables): two names give the same text when
// NTFS, SMB shares, vfat or exFAT would take them for one. Bytes that are
// not UTF-8 stay as they are.
std::string case_folded(std::string_view text);

}  // namespace ccdcrc
