// The interactive menu that runs without arguments: one action through the C
// entry points. They are silent by contract; when one gives nothing, the
// library's core is asked why, and the reason goes to standard error.

#include "console/menu.h"

#include <cctype>
#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <string>

#include "ccdcrc/ccdcrc.h"
#include "ccdcrc/legacy.h"
#include "console/command.h"
#include "console/diagnostics.h"
#include "console/scd_input.h"
#include "operations/export.h"
#include "operations/messages.h"
#include "operations/scd_input.h"
#include "scd/ied_selection.h"
#include "system/files.h"
#include "util/text.h"
#include "workflows/export_workflow.h"
#include "workflows/named_ieds.h"

namespace ccdcrc {

namespace {

// Answers longer than these are not kept: no path is longer, and no IED name
// comes near.
constexpr std::size_t longest_name = 4096;

void say(std::ostream& out, const std::string& line) { out << line << std::endl; }

// One blank-delimited word of at most `longest` bytes; stays empty when the
// input has ended. A longer word is read to its end but not kept, and makes
// `too_long` true. A word that opens with a double quote runs to the next one
// on its line, blanks and all, and is taken without its quotes: Explorer's
// "Copy as path" gives paths so.
std::string ask(std::istream& in, std::ostream& out, const char* prompt, std::size_t longest, bool& too_long) {
  say(out, prompt);
  std::string answer;
  too_long = false;
  in >> std::ws;
  // Straight from the stream's buffer: a word may be gigabytes long.
  std::streambuf& buffer = *in.rdbuf();
  const bool quoted = buffer.sgetc() == '"';
  if (quoted) buffer.sbumpc();
  const auto ends_word = [quoted](int c) { return quoted ? c == '"' || c == '\n' : std::isspace(c) != 0; };
  int c = buffer.sgetc();
  for (; c != std::char_traits<char>::eof() && !ends_word(c); c = buffer.snextc()) {
    if (answer.size() < longest) {
      answer += static_cast<char>(c);
    } else {
      too_long = true;
    }
  }
  if (quoted && c == '"') buffer.sbumpc();
  if (too_long) answer.clear();
  return answer;
}

// A zero byte would cut a path or a name short where the C functions read
// it: such an answer is refused, never taken for a shorter one.
bool holds_zero_byte(const std::string& answer, Diagnostics& diagnostics) {
  if (answer.find('\0') == std::string::npos) return false;
  diagnostics.note("an answer holds a zero byte, which no path or IED name holds");
  return true;
}

// The SCD as the entry points load it, or null after saying why it cannot be.
std::unique_ptr<Scd> load_for_reason(const std::string& path, Diagnostics& diagnostics) {
  if (path.empty()) {
    diagnostics.note("no SCD file was given");
    return nullptr;
  }
  LoadProblem problem;
  std::unique_ptr<Scd> scd = load_scd_input(path, file_as_given(), nullptr, problem);
  if (!scd) diagnostics.error(problem.where(), problem.message);
  return scd;
}

// Why an IED gave no CRC or file: the SCD, the name or its circuits; the exit
// status that says so.
int ied_failure(const std::string& path, const std::string& name, Diagnostics& diagnostics, pugi::xml_node* found) {
  const std::unique_ptr<Scd> scd = load_for_reason(path, diagnostics);
  if (!scd) return exit_usage;
  Notes notes;
  const pugi::xml_node ied = NamedIeds(*scd).find(name, "the first one is taken", notes);
  diagnostics.tell(notes);
  if (!ied) return exit_ied_problem;
  if (!has_circuits(*scd, ied)) {
    diagnostics.error(path, no_circuits_message(name));
    return exit_ied_problem;
  }
  if (found) *found = ied;
  return exit_ok;
}

int all_ied_crcs(std::istream& in, std::ostream& out, Diagnostics& diagnostics) {
  bool too_long = false;
  const std::string path = ask(in, out, "Please input the path of SCD file:", longest_path(), too_long);
  if (holds_zero_byte(path, diagnostics)) return exit_usage;
  say(out, "Please wait..");
  if (too_long) {
    diagnostics.note("the path of the SCD file is too long");
    return exit_usage;
  }
  CrcPair** pairs = nullptr;
  int count = 0;
  char* scd_crc = compute_all_ied_crcs(&pairs, path.c_str(), &count);
  const auto release = [&] {
    ccdcrc_free_pairs(pairs, count);
    ccdcrc_free_text(scd_crc);
  };
  if (!scd_crc) {
    diagnostics.note("not enough memory");
    return exit_usage;
  }
  // No IED with a CRC: an SCD without circuits has the SCD CRC 00000000; a
  // file that was never read has none, and no CRC line may suggest one.
  if (count == 0) {
    const std::unique_ptr<Scd> scd = load_for_reason(path, diagnostics);
    if (!scd) {
      release();
      return exit_usage;
    }
    diagnostics.warning(scd->path(), no_circuits_in_scd_message(*scd));
  }
  say(out, std::string("SCD CRC:") + scd_crc);
  std::map<std::string, std::string> crcs;
  for (int i = 0; i < count; ++i) crcs[pairs[i]->name] = pairs[i]->crc;
  for (const auto& [name, crc] : crcs) {
    std::string line = name;
    line += ':';
    line += crc;
    say(out, line);
  }
  say(out, std::string("The CRC of SCD is:") + scd_crc);
  release();
  return exit_ok;
}

int one_ied_crc(std::istream& in, std::ostream& out, Diagnostics& diagnostics) {
  bool path_too_long = false;
  bool name_too_long = false;
  const std::string path = ask(in, out, "Please input the path of SCD file:", longest_path(), path_too_long);
  const std::string name = ask(in, out, "Please input the name of IED:", longest_name, name_too_long);
  if (holds_zero_byte(path + name, diagnostics)) return exit_usage;
  char* crc = path_too_long || name_too_long ? nullptr : compute_ied_crc(path.c_str(), name.c_str());
  const std::string crc_text = crc ? crc : "";
  say(out, "The CRC of IED is:" + crc_text);
  ccdcrc_free_text(crc);
  if (path_too_long || name_too_long) {
    diagnostics.note(path_too_long ? "the path of the SCD file is too long" : "the IED name is too long");
    return exit_usage;
  }
  if (!crc_text.empty()) return exit_ok;
  const int status = ied_failure(path, name, diagnostics, nullptr);
  if (status != exit_ok) return status;
  diagnostics.error(path, "IED " + quoted(name) + ": its CRC could not be computed");
  return exit_usage;
}

// The file an export replaces, as it is before: a new one is another file.
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity identity(const std::string& path) {
  const FileStatus info = path_status(path, false);
  if (info.error != 0) return {};
  return {true, info.device, info.inode};
}

// Why nothing was exported.
int why_not_exported(const std::string& path, const std::string& name, const std::string& directory,
                     Diagnostics& diagnostics) {
  pugi::xml_node ied;
  if (const int status = ied_failure(path, name, diagnostics, &ied); status != exit_ok) return status;
  if (!is_safe_file_name(name)) {
    diagnostics.error(path, export_failure(name, {ExportStatus::unsafe_name, {}, {}, {}}).reason);
    return exit_ied_problem;
  }
  if (directory.empty()) {
    diagnostics.note("no export directory was given");
    return exit_usage;
  }
  Notes notes;
  const bool usable = prepare_export_directory(directory, false, notes);
  diagnostics.tell(notes);
  if (!usable) return exit_usage;
  diagnostics.error(file_in(directory, name + ".ccd"), "the CCD file could not be written");
  return exit_ied_problem;
}

int export_ccd(std::istream& in, std::ostream& out, Diagnostics& diagnostics) {
  bool too_long[3] = {false, false, false};
  const std::string path = ask(in, out, "Please input the path of SCD file:", longest_path(), too_long[0]);
  const std::string name = ask(in, out, "Please input the name of IED:", longest_name, too_long[1]);
  const std::string directory = ask(in, out, "Please input the path of export directory:", longest_path(), too_long[2]);
  if (too_long[0] || too_long[1] || too_long[2]) {
    diagnostics.note(too_long[1] ? "the IED name is too long" : "a path is too long");
    return exit_usage;
  }
  if (holds_zero_byte(path + name + directory, diagnostics)) return exit_usage;
  // A missing directory is made, as `export -o` makes it.
  if (!directory.empty()) {
    Notes notes;
    const bool usable = prepare_export_directory(directory, true, notes);
    diagnostics.tell(notes);
    if (!usable) return exit_usage;
  }
  const std::string file = file_in(directory, name + ".ccd");
  const FileIdentity before = is_safe_file_name(name) ? identity(file) : FileIdentity{};
  export_ied_ccd(path.c_str(), name.c_str(), directory.c_str());
  const FileIdentity after = is_safe_file_name(name) ? identity(file) : FileIdentity{};
  // An export replaces the file by a new one: the same file is no export.
  if (after.exists && after != before) {
    diagnostics.note("the CCD of IED " + quoted(name) + " was written to " + printable_path(file));
    return exit_ok;
  }
  return why_not_exported(path, name, directory, diagnostics);
}

}  // namespace

int run_menu(std::istream& in, std::ostream& out, std::ostream& err) {
  Diagnostics diagnostics(err, false);
  say(out, "Please select the action you want to take:");
  say(out, "1. Calculate the CRC of all IEDs and the CRC of SCDs");
  say(out, "2. Calculate the CRC of the specified IED");
  say(out, "3. Export the CCD of the specified IED");
  say(out, "Please enter the action number(1-3):");
  int action = -1;
  if (!(in >> action)) action = -1;
  int status = exit_ok;
  switch (action) {
    case 1: status = all_ied_crcs(in, out, diagnostics); break;
    case 2: status = one_ied_crc(in, out, diagnostics); break;
    case 3: status = export_ccd(in, out, diagnostics); break;
    default: say(out, "Please input the correct number!"); break;
  }
  // An answer that did not reach its reader is no answer.
  out.flush();
  if (!out) {
    diagnostics.note("cannot write to standard output");
    return exit_usage;
  }
  // The dialogue ends here; on Windows the program then waits for a key
  // (console/main.cpp), a Linux terminal has no "pause" to wait on.
  return status;
}

}  // namespace ccdcrc
