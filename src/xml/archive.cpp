#include "xml/archive.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <memory>
#include <vector>

#include "util/text.h"
#include "xml/packing.h"

namespace ccdcrc {

namespace {

using Kind = LoadProblem::Kind;

constexpr std::size_t block_size = std::size_t{64} * 1024;

bool damaged(LoadProblem& problem, const std::string& reason) {
  problem = {Kind::damaged_archive, "the compressed data cannot be read: " + reason, {}};
  return false;
}

bool out_of_memory(LoadProblem& problem) {
  problem = {Kind::out_of_memory, "not enough memory to load the file", {}};
  return false;
}

bool too_large(LoadProblem& problem, std::size_t limit) {
  problem = {Kind::too_large, "it holds more than " + std::to_string(limit) + " bytes", {}};
  return false;
}

// Adds decompressed bytes to `text`, within the limit.
bool take(std::string_view bytes, const InputOptions& options, SourceText& text, LoadProblem& problem) {
  if (bytes.size() > options.limit - std::min(options.limit, text.size())) return too_large(problem, options.limit);
  return text.append(bytes) || out_of_memory(problem);
}

// gzip data, member after member (as `cat a.gz b.gz` makes them); zlib checks
// each member's CRC-32 and length against its trailer. Zero bytes after the
// last member are padding; anything else there is damage.
bool gunzip(std::string_view packed, const InputOptions& options, SourceText& text, LoadProblem& problem) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return out_of_memory(problem);
  const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
  std::vector<unsigned char> buffer(block_size);
  std::size_t offset = 0;  // of the next input not yet given to zlib
  const auto feed = [&] {
    const std::size_t size = std::min<std::size_t>(packed.size() - offset, UINT_MAX);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + offset));
    stream.avail_in = static_cast<uInt>(size);
    offset += size;
  };
  feed();
  for (;;) {
    if (stream.avail_in == 0 && offset < packed.size()) feed();
    stream.next_out = buffer.data();
    stream.avail_out = static_cast<uInt>(buffer.size());
    const int status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = buffer.size() - stream.avail_out;
    if (produced > 0 && !take({reinterpret_cast<const char*>(buffer.data()), produced}, options, text, problem)) {
      return false;
    }
    if (status == Z_STREAM_END) {
      const std::size_t rest = stream.avail_in + (packed.size() - offset);
      const std::string_view after = packed.substr(packed.size() - rest);
      if (after.empty() || after.find_first_not_of('\0') == std::string_view::npos) return true;
      if (packing_of(after) != Packing::gzip) return damaged(problem, "data follow the end of the gzip data");
      if (inflateReset(&stream) != Z_OK) return damaged(problem, "the gzip data cannot be read on");
      continue;
    }
    if (status == Z_MEM_ERROR) return out_of_memory(problem);
    if (status == Z_DATA_ERROR) {
      const std::string reason = stream.msg ? stream.msg : "invalid data";
      if (reason == "incorrect data check")
        return damaged(problem, "the gzip trailer's CRC-32 does not match the data");
      if (reason == "incorrect length check")
        return damaged(problem, "the gzip trailer's length does not match the data");
      return damaged(problem, reason + " in the gzip data");
    }
    const bool stuck = status == Z_BUF_ERROR || (produced == 0 && stream.avail_in == 0);
    if (stuck && offset >= packed.size() && stream.avail_in == 0) return damaged(problem, "truncated gzip input");
    if (status != Z_OK && status != Z_BUF_ERROR) return damaged(problem, "the gzip data cannot be read");
  }
}

std::string zip_reason(zip_error_t* error) {
  switch (zip_error_code_zip(error)) {
    case ZIP_ER_CRC: return "the CRC-32 of a member does not match its data";
    case ZIP_ER_INCONS: return "the archive's central directory and its local headers disagree";
    case ZIP_ER_NOZIP: return "not a zip archive";
    default: break;
  }
  std::string reason = zip_error_strerror(error);
  if (reason.size() > 1 && std::isupper(static_cast<unsigned char>(reason[0])) &&
      std::islower(static_cast<unsigned char>(reason[1]))) {
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  }
  return reason;
}

bool zip_failed(zip_error_t* error, LoadProblem& problem) {
  if (zip_error_code_zip(error) == ZIP_ER_MEMORY) return out_of_memory(problem);
  if (zip_error_code_zip(error) == ZIP_ER_EXISTS) {
    problem = {
        Kind::member_choice, "the archive holds two members of one name, and which one is meant cannot be told", {}};
    return false;
  }
  return damaged(problem, zip_reason(error));
}

using ZipArchive = std::unique_ptr<zip_t, void (*)(zip_t*)>;
using ZipFile = std::unique_ptr<zip_file_t, int (*)(zip_file_t*)>;

// Files a zip tool adds beside the real ones: macOS resource forks.
bool is_resource_fork(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  return name.starts_with("__MACOSX/") || name.compare(slash == std::string::npos ? 0 : slash + 1, 2, "._") == 0;
}

struct Member {
  zip_uint64_t index = 0;
  std::string name;
  zip_uint64_t size = 0;
};

// The regular files of an archive, in the order of its central directory:
// no directories, no symbolic links.
bool regular_members(zip_t* archive, std::vector<Member>& members, LoadProblem& problem) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0) return zip_failed(zip_get_error(archive), problem);
    const std::string name = (stat.valid & ZIP_STAT_NAME) && stat.name ? stat.name : "";
    if (name.empty() || name.back() == '/') continue;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX &&
        ((attributes >> 16) & 0170000) != 0 && ((attributes >> 16) & 0170000) != 0100000) {
      continue;  // a symbolic link or another kind of file
    }
    members.push_back({index, name, (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0});
  }
  return true;
}

// Reads a member through, checking its CRC-32; its bytes go to `text` when
// one is given.
bool read_member(zip_t* archive, const Member& member, const InputOptions& options, SourceText* text,
                 LoadProblem& problem) {
  const ZipFile file(zip_fopen_index(archive, member.index, 0), zip_fclose);
  if (!file) return zip_failed(zip_get_error(archive), problem);
  if (text && member.size > 0 && member.size <= options.limit) text->reserve(member.size);  // a hint only
  std::vector<char> buffer(block_size);
  zip_uint64_t total = 0;
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
    if (got < 0) return zip_failed(zip_file_get_error(file.get()), problem);
    if (got == 0) break;
    total += static_cast<zip_uint64_t>(got);
    if (text && !take({buffer.data(), static_cast<std::size_t>(got)}, options, *text, problem)) return false;
  }
  if (total != member.size) return damaged(problem, "the size of " + quoted(member.name) + " is not as recorded");
  return true;
}

// With a name given, the member of that name; otherwise an SCL file before
// any other file, and of several of the same rank none (the user must
// choose). Null with `problem` filled when there is no single one.
const Member* chosen_member(const std::vector<Member>& members, const InputOptions& options, LoadProblem& problem) {
  std::vector<const Member*> candidates;
  std::vector<std::string> names;
  if (!options.member.empty()) {
    for (const Member& member : members) {
      if (member.name == options.member) candidates.push_back(&member);
    }
    if (candidates.size() == 1) return candidates.front();
    for (const Member& member : members) names.push_back(member.name);
    if (candidates.empty()) {
      problem = {Kind::member_choice, "the archive has no member " + quoted(options.member)};
      problem.members = names;
    } else {
      problem = {Kind::member_choice,
                 "the archive holds " + std::to_string(candidates.size()) + " members named " + quoted(options.member) +
                     ", and which one is meant cannot be told",
                 {}};
    }
    return nullptr;
  }
  int best = -1;
  for (const Member& member : members) {
    if (is_resource_fork(member.name)) continue;
    const int rank = has_scl_extension(member.name) ? 1 : 0;
    if (rank > best) candidates.clear();
    if (rank >= best) {
      best = rank;
      candidates.push_back(&member);
    }
  }
  if (candidates.size() == 1) return candidates.front();
  for (const Member* member : candidates) names.push_back(member->name);
  problem = {Kind::member_choice, candidates.empty()
                                      ? "the archive holds no file"
                                      : "the archive holds " + std::to_string(candidates.size()) +
                                            (best == 1 ? " SCL files" : " files and none is an SCL file by its name")};
  problem.members = std::move(names);
  return nullptr;
}

bool unzip(std::string_view packed, const InputOptions& options, Input& input, LoadProblem& problem) {
  zip_error_t error;
  zip_error_init(&error);
  const std::unique_ptr<zip_error_t, void (*)(zip_error_t*)> error_end(&error, zip_error_fini);
  zip_source_t* source = zip_source_buffer_create(packed.data(), packed.size(), 0, &error);
  if (!source) return zip_failed(&error, problem);
  // ZIP_CHECKCONS: every entry of the central directory must agree with its
  // local header, so that no reader that walks the local headers sees
  // another archive.
  const ZipArchive archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error), zip_discard);
  if (!archive) {
    zip_source_free(source);
    return zip_failed(&error, problem);
  }
  std::vector<Member> members;
  if (!regular_members(archive.get(), members, problem)) return false;
  const Member* chosen = chosen_member(members, options, problem);
  if (!chosen) return false;
  // Every member is read through: a damaged one beside the SCD makes the
  // whole archive suspect.
  for (const Member& member : members) {
    if (!read_member(archive.get(), member, options, &member == chosen ? &input.text : nullptr, problem)) {
      input.text.release();
      return false;
    }
  }
  input.member = chosen->name;
  return true;
}

}  // namespace

bool has_scl_extension(std::string_view name) {
  static constexpr std::array<std::string_view, 7> extensions{".scd", ".cid", ".icd", ".iid", ".ssd", ".sed", ".xml"};
  if (name.size() < 4) return false;
  std::string ending(name.substr(name.size() - 4));
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return std::find(extensions.begin(), extensions.end(), ending) != extensions.end();
}

bool unpack(std::string_view packed, Packing packing, const InputOptions& options, Input& input, LoadProblem& problem) {
  input.packing = packing;
  input.text.release();
  const bool read =
      packing == Packing::gzip ? gunzip(packed, options, input.text, problem) : unzip(packed, options, input, problem);
  if (!read) input.text.release();
  return read;
}

}  // namespace ccdcrc
